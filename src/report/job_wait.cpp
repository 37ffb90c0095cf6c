#include "report/job_wait.h"

#include <algorithm>

#include "launcher/suspended_start.h"

namespace {

// How long one wait for a message lasts before the count is read instead.
constexpr std::uint32_t kPollMs = 1000;

WaitResult WaitForProcess(PlatformServices& platform, Handle process,
                          const Deadline& deadline) {
  switch (platform.WaitForSingleObject(process, deadline.Remaining())) {
    case kWaitObject0:
      return WaitResult::Ended;
    case kWaitTimeout:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

}  // namespace

Deadline::Deadline(ReportServices& report, std::uint32_t limit_ms)
    : report_(report),
      start_(limit_ms != 0 ? report.GetTickCount() : 0),
      limit_ms_(limit_ms) {}

std::uint32_t Deadline::Remaining() const {
  if (limit_ms_ == 0) return kInfinite;
  // Unsigned arithmetic keeps the difference right across the tick's wrap.
  std::uint32_t elapsed = report_.GetTickCount() - start_;
  return elapsed >= limit_ms_ ? 0 : limit_ms_ - elapsed;
}

bool StartTree(PlatformServices& platform, ReportServices& report, RunLog& log,
               const std::string& application, std::string command_line,
               const char* current_directory, StartedTree* tree) {
  if (!platform.CreateProcessSuspendedA(application.c_str(),
                                        command_line.data(), current_directory,
                                        &tree->process)) {
    return false;
  }
  tree->in_job = report.CreateJobObjectA(&tree->job, &tree->port);
  if (tree->in_job &&
      !report.AssignProcessToJobObject(tree->job, tree->process.process)) {
    platform.CloseHandle(tree->port);
    platform.CloseHandle(tree->job);
    tree->in_job = false;
  }
  if (!tree->in_job) {
    log.Warning("No job for " + application +
                ": waiting for it alone, not for the programs it starts");
  }
  return true;
}

bool ResumeTree(PlatformServices& platform, ReportServices& report, RunLog& log,
                const std::string& application, StartedTree* tree) {
  if (platform.ResumeThread(tree->process.thread)) {
    if (tree->in_job && !report.ClearKillOnJobClose(tree->job)) {
      log.Warning("The job of " + application +
                  " still ends what it holds when the launcher ends");
    }
    return true;
  }
  log.Error("Could not resume " + application + ": it is ended unrun");
  EndTree(platform, tree);
  return false;
}

void EndTree(PlatformServices& platform, StartedTree* tree) {
  EndSuspended(platform, &tree->process);
  CloseTree(platform, tree);
}

WaitResult WaitForTree(PlatformServices& platform, ReportServices& report,
                       RunLog& log, const StartedTree& tree,
                       const Deadline& deadline) {
  if (!tree.in_job)
    return WaitForProcess(platform, tree.process.process, deadline);
  for (;;) {
    std::uint32_t remaining = deadline.Remaining();
    if (remaining == 0) return WaitResult::TimedOut;
    switch (report.GetQueuedCompletionStatus(tree.port,
                                             std::min(remaining, kPollMs))) {
      case JobMessage::NoActiveProcess: {
        // Also sent by a job nested in this one (an installer's own job for
        // its children), to the port of every job above it: only the job's
        // own count tells that the whole tree has ended.
        std::uint32_t active = 1;
        if (!report.QueryInformationJobObject(tree.job, &active)) {
          log.Warning(
              "The job's count could not be read: waiting for the first "
              "program alone");
          return WaitForProcess(platform, tree.process.process, deadline);
        }
        if (active == 0) return WaitResult::Ended;
        break;
      }
      case JobMessage::Other:
        break;
      case JobMessage::TimedOut: {
        std::uint32_t active = 1;
        if (report.QueryInformationJobObject(tree.job, &active) &&
            active == 0) {
          return WaitResult::Ended;
        }
        break;
      }
      case JobMessage::Failed:
        log.Warning(
            "The job's messages failed: waiting for the first "
            "program alone");
        return WaitForProcess(platform, tree.process.process, deadline);
    }
  }
}

void CloseTree(PlatformServices& platform, StartedTree* tree) {
  if (tree->in_job) {
    platform.CloseHandle(tree->port);
    platform.CloseHandle(tree->job);
  }
  // EndSuspended has closed them already.
  if (tree->process.process != 0) {
    platform.CloseHandle(tree->process.thread);
    platform.CloseHandle(tree->process.process);
  }
  *tree = StartedTree();
}
