// Jobs and time: processes that run for a while and end with an exit code,
// the children they start, jobs and their completion ports, the clock, and
// what the process is told of the time and its thread.
#include <algorithm>
#include <string>

#include "platform/simulated/internal.h"
#include "platform/simulated/simulated_platform.h"

SimulatedPlatform::Process* SimulatedPlatform::FindProcess(Handle process) {
  if (process == 0) return nullptr;
  auto it = std::find_if(
      processes_.begin(), processes_.end(),
      [process](const Process& p) { return p.process == process; });
  return it == processes_.end() ? nullptr : &*it;
}

bool SimulatedPlatform::InJob(Handle inner, Handle job) const {
  for (auto it = jobs_.find(inner); it != jobs_.end();
       it = jobs_.find(it->second.parent)) {
    if (it->first == job) return true;
  }
  return false;
}

std::size_t SimulatedPlatform::ActiveIn(Handle job) const {
  return static_cast<std::size_t>(std::count_if(
      processes_.begin(), processes_.end(),
      [this, job](const Process& p) { return !p.ended && InJob(p.job, job); }));
}

void SimulatedPlatform::Post(Handle job, JobMessage message) {
  for (auto it = jobs_.find(job); it != jobs_.end();
       it = jobs_.find(it->second.parent)) {
    it->second.messages.push_back(message);
  }
}

std::size_t SimulatedPlatform::open_jobs() const {
  return static_cast<std::size_t>(std::count_if(
      jobs_.begin(), jobs_.end(),
      [this](const auto& job) { return handles_.count(job.first) != 0; }));
}

std::size_t SimulatedPlatform::running_processes() const {
  return static_cast<std::size_t>(
      std::count_if(processes_.begin(), processes_.end(),
                    [](const Process& p) { return !p.ended; }));
}

bool SimulatedPlatform::NextEnd(std::uint32_t* time) const {
  bool found = false;
  for (const Process& p : processes_) {
    if (p.ended || p.suspended) continue;
    if (!found || p.ends_at < *time) *time = p.ends_at;
    found = true;
  }
  return found;
}

void SimulatedPlatform::End(Process& process) {
  process.ended = true;
  Post(process.job, JobMessage::Other);
  // Each job that is left empty says so, to its port and those above.
  for (auto job = jobs_.find(process.job);
       job != jobs_.end() && !lose_job_messages;
       job = jobs_.find(job->second.parent)) {
    if (ActiveIn(job->first) == 0) {
      Post(job->first, JobMessage::NoActiveProcess);
    }
  }
}

void SimulatedPlatform::AdvanceTo(std::uint32_t time) {
  for (std::uint32_t next = 0; NextEnd(&next) && next <= time;) {
    for (Process& p : processes_) {
      if (!p.ended && !p.suspended && p.ends_at == next) End(p);
    }
  }
  now_ = std::max(now_, time);
}

bool SimulatedPlatform::CreateProcessSuspendedA(const char* application,
                                                char* command_line,
                                                const char* current_directory,
                                                ProcessInformation* info) {
  return StartProcess(Op::CreateProcessSuspendedA, application, command_line,
                      current_directory, true, info);
}

bool SimulatedPlatform::ResumeThread(Handle thread) {
  if (Record(Op::ResumeThread, std::to_string(thread))) return false;
  for (std::size_t i = 0; i < processes_.size(); ++i) {
    if (processes_[i].thread == thread && thread != 0 &&
        handles_.count(thread) != 0) {
      // A process that was terminated stays as it ended.
      if (processes_[i].suspended && !processes_[i].ended) BeginRunning(i);
      return true;
    }
  }
  return false;
}

// A suspended process ends as it is, having run nothing.
bool SimulatedPlatform::TerminateProcess(Handle process,
                                         std::uint32_t exit_code) {
  if (Record(Op::TerminateProcess, std::to_string(process))) return false;
  AdvanceTo(now_);
  Process* p = FindProcess(process);
  if (p == nullptr || handles_.count(process) == 0) return false;
  if (p->ended) return true;  // too late: it keeps its own exit code
  p->terminated = true;
  p->exit_code = exit_code;
  End(*p);
  return true;
}

bool SimulatedPlatform::CreateJobObjectA(Handle* job, Handle* port) {
  if (Record(Op::CreateJobObjectA, "")) return false;
  *job = NewHandle();
  *port = NewHandle();
  handles_.insert(*job);
  handles_.insert(*port);
  Job& made = jobs_[*job];
  made.port = *port;
  made.breakaway_ok = true;
  made.kill_on_close = true;
  return true;
}

bool SimulatedPlatform::ClearKillOnJobClose(Handle job) {
  if (Record(Op::ClearKillOnJobClose, std::to_string(job))) return false;
  auto it = jobs_.find(job);
  if (it == jobs_.end()) return false;
  it->second.kill_on_close = false;
  return true;
}

bool SimulatedPlatform::BreakawayAllowed(Handle job) const {
  for (auto it = jobs_.find(job); it != jobs_.end();
       it = jobs_.find(it->second.parent)) {
    if (!it->second.breakaway_ok) return false;
  }
  return true;
}

bool SimulatedPlatform::AssignProcessToJobObject(Handle job, Handle process) {
  if (Record(Op::AssignProcessToJobObject, std::to_string(job),
             std::to_string(process))) {
    return false;
  }
  Process* p = FindProcess(process);
  if (in_job_without_breakaway || jobs_.count(job) == 0 || p == nullptr ||
      p->ended || p->job != 0) {
    return false;
  }
  p->job = job;
  Post(job, JobMessage::Other);
  return true;
}

JobMessage SimulatedPlatform::GetQueuedCompletionStatus(
    Handle port, std::uint32_t milliseconds) {
  if (Record(Op::GetQueuedCompletionStatus, std::to_string(port))) {
    return JobMessage::Failed;
  }
  auto job = std::find_if(jobs_.begin(), jobs_.end(), [port](const auto& j) {
    return j.second.port == port;
  });
  if (job == jobs_.end()) return JobMessage::Failed;
  Handle key = job->first;
  std::uint32_t deadline = milliseconds == kInfinite ? 0 : now_ + milliseconds;
  for (;;) {
    std::vector<JobMessage>& messages = jobs_[key].messages;
    if (!messages.empty()) {
      JobMessage message = messages.front();
      messages.erase(messages.begin());
      return message;
    }
    std::uint32_t next = 0;
    bool ends = NextEnd(&next);
    if (milliseconds != kInfinite && (!ends || next > deadline)) {
      AdvanceTo(deadline);
      return JobMessage::TimedOut;
    }
    // Windows would wait for ever; the simulation reports it.
    if (!ends) return JobMessage::Failed;
    AdvanceTo(next);
  }
}

bool SimulatedPlatform::QueryInformationJobObject(
    Handle job, std::uint32_t* active_processes) {
  if (Record(Op::QueryInformationJobObject, std::to_string(job))) return false;
  if (jobs_.count(job) == 0) return false;
  AdvanceTo(now_);
  *active_processes = static_cast<std::uint32_t>(ActiveIn(job));
  return true;
}

bool SimulatedPlatform::GetExitCodeProcess(Handle process,
                                           std::uint32_t* code) {
  if (Record(Op::GetExitCodeProcess, std::to_string(process))) return false;
  AdvanceTo(now_);
  Process* p = FindProcess(process);
  if (p == nullptr || handles_.count(process) == 0) return false;
  auto run = runs.find(p->image);
  *code = !p->ended           ? kStillActive
          : p->terminated     ? p->exit_code
          : run != runs.end() ? run->second.exit_code
                              : 0;
  return true;
}

std::uint32_t SimulatedPlatform::GetTickCount() {
  Record(Op::GetTickCount, "");  // cannot fail
  return tick_base + now_;
}

LocalTime SimulatedPlatform::GetLocalTime() {
  Record(Op::GetLocalTime, "");  // cannot fail
  LocalTime time = local_time;
  std::uint64_t ms =
      ((static_cast<std::uint64_t>(time.hour) * 60 + time.minute) * 60 +
       time.second) *
          1000 +
      time.millisecond + now_;
  time.millisecond = static_cast<int>(ms % 1000);
  time.second = static_cast<int>(ms / 1000 % 60);
  time.minute = static_cast<int>(ms / 60000 % 60);
  time.hour = static_cast<int>(ms / 3600000 % 24);
  return time;
}

std::uint32_t SimulatedPlatform::GetCurrentThreadId() {
  Record(Op::GetCurrentThreadId, "");  // cannot fail
  return thread_id;
}
