// Processes: starting programs, waiting for them, handles, and this
// process's own end.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/simulated/internal.h"

using simulated::LastPart;
using simulated::ParentOf;

Handle SimulatedPlatform::NewHandle() { return next_handle_++; }

std::string SimulatedPlatform::ResolveProgram(
    const std::string& candidate) const {
  std::string name = candidate;
  if (LastPart(name).find('.') == std::string::npos) name += ".exe";
  auto is_program = [this](const std::string& key) {
    return !key.empty() && tree_.count(key) != 0 && !IsFolder(key);
  };
  if (name.find_first_of("\\/:") != std::string::npos) {
    std::string key = Resolve(name, true);
    return is_program(key) ? key : "";
  }
  std::vector<std::string> folders = {ParentOf(module_file_name),
                                      current_directory, system_directory,
                                      ParentOf(system_directory)};
  folders.insert(folders.end(), search_path.begin(), search_path.end());
  for (const std::string& folder : folders) {
    std::string path = folder;
    path.append("\\").append(name);
    std::string key = Resolve(path, true);
    if (is_program(key)) return key;
  }
  return "";
}

std::string SimulatedPlatform::ResolveCommandLineHead(
    const std::string& line) const {
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    return ResolveProgram(line.substr(
        1, close == std::string::npos ? std::string::npos : close - 1));
  }
  for (std::size_t end = line.find(' ');; end = line.find(' ', end + 1)) {
    std::string found = ResolveProgram(line.substr(0, end));
    if (!found.empty() || end == std::string::npos) return found;
  }
}

bool SimulatedPlatform::CreateProcessA(const char* application,
                                       char* command_line,
                                       const char* current_directory,
                                       ProcessInformation* info) {
  return StartProcess(Op::CreateProcessA, application, command_line,
                      current_directory, false, info);
}

bool SimulatedPlatform::StartProcess(Op op, const char* application,
                                     const char* command_line,
                                     const char* current_directory,
                                     bool suspended, ProcessInformation* info) {
  std::string line = command_line != nullptr ? command_line : "";
  if (Record(op, application != nullptr ? application : "", line)) {
    return false;
  }
  // The child's folder must exist; it is the child's, not the search's.
  std::string folder =
      Resolve(current_directory != nullptr ? current_directory
                                           : this->current_directory,
              true);
  if (folder.empty() || !IsFolder(folder)) return false;
  folder = tree_.find(folder)->first;  // spelled as created
  std::string image;
  if (application != nullptr) {
    std::string key = Resolve(application, true);
    if (!key.empty() && tree_.count(key) != 0 && !IsFolder(key)) image = key;
  } else {
    image = ResolveCommandLineHead(line);
  }
  if (image.empty() || !MayStart(image)) return false;
  Process process{image, line, folder, NewHandle(), NewHandle()};
  process.suspended = suspended;
  handles_.insert(process.process);
  handles_.insert(process.thread);
  processes_.push_back(process);
  info->process = process.process;
  info->thread = process.thread;
  if (!suspended) BeginRunning(processes_.size() - 1);
  return true;
}

void SimulatedPlatform::BeginRunning(std::size_t index) {
  auto run = runs.find(processes_[index].image);
  Run how = run != runs.end() ? run->second : Run();
  processes_[index].suspended = false;
  processes_[index].started_at = now_;
  processes_[index].ends_at = now_ + how.milliseconds;
  Handle children_job = processes_[index].job;
  if (how.own_job && !how.children.empty()) {
    Handle nested = NewHandle();
    jobs_[nested].parent = children_job;
    children_job = nested;
  }
  for (const std::string& child : how.children) {
    if (how.break_away && children_job != 0 &&
        !BreakawayAllowed(children_job)) {
      continue;  // CreateProcess refuses the breakaway: it does not start
    }
    Process started{simulated::KeyOf(child), child,
                    processes_[index].current_directory, 0, 0};
    started.job = how.break_away ? 0 : children_job;
    processes_.push_back(started);
    Post(started.job, JobMessage::Other);
    BeginRunning(processes_.size() - 1);
  }
  auto program = programs.find(processes_[index].image);
  if (program != programs.end()) program->second();
}

std::uint32_t SimulatedPlatform::WaitForSingleObject(
    Handle handle, std::uint32_t milliseconds) {
  if (Record(Op::WaitForSingleObject, std::to_string(handle))) {
    return kWaitFailed;
  }
  Process* process = FindProcess(handle);
  if (process == nullptr || handles_.count(handle) == 0) return kWaitFailed;
  AdvanceTo(now_);
  if (process->ended) return kWaitObject0;
  // A suspended process never ends: the wait lasts its whole time.
  bool ends_in_time =
      !process->suspended &&
      (milliseconds == kInfinite || process->ends_at - now_ <= milliseconds);
  if (!ends_in_time && milliseconds == kInfinite) return kWaitFailed;
  std::uint32_t end = process->ends_at;  // AdvanceTo may move the vector
  AdvanceTo(ends_in_time ? end : now_ + milliseconds);
  return ends_in_time ? kWaitObject0 : kWaitTimeout;
}

bool SimulatedPlatform::CloseHandle(Handle handle) {
  if (Record(Op::CloseHandle, std::to_string(handle))) return false;
  // Closing the last handle to a mutex ends it; closing a file's releases it.
  mutex_handles_.erase(handle);
  files_.erase(handle);
  auto job = jobs_.find(handle);
  if (job != jobs_.end() && job->second.kill_on_close) {
    for (Process& process : processes_) {
      if (!process.ended && InJob(process.job, handle)) {
        process.terminated = true;
        End(process);
      }
    }
  }
  jobs_.erase(handle);
  return handles_.erase(handle) != 0;
}

bool SimulatedPlatform::LookupsConfined() {
  return !Record(Op::LookupsConfined, "") && lookups_confined;
}

void SimulatedPlatform::SetDefaultDllDirectories() {
  Record(Op::SetDefaultDllDirectories, "");  // reports nothing
}

void SimulatedPlatform::exit(int code) {
  Record(Op::exit, std::to_string(code));  // cannot fail
  exited_ = true;
  exit_code_ = code;
}
