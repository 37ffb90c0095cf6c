#include "launcher/suspended_start.h"

namespace {

// The exit code of a program ended before it ran: ERROR_CANCELLED.
constexpr std::uint32_t kNeverRan = 1223;
// How long the end of a terminated program is waited for. Termination
// completes once its pending I/O has, which a program that never ran has
// none of; the wait only bounds a platform that does not end it.
constexpr std::uint32_t kEndWaitMs = 5000;

}  // namespace

bool IsThere(PlatformServices& platform, const std::string& path) {
  return platform.PathFileExistsA(path.c_str()) ||
         platform.GetFileAttributesA(path.c_str()) != kInvalidFileAttributes;
}

bool IsMissing(PlatformServices& platform, const std::string& application) {
  return !platform.PathFileExistsA(application.c_str()) &&
         platform.GetFilePresence(application.c_str()) == Presence::NotThere;
}

bool ResumeOrEnd(PlatformServices& platform, ProcessInformation* process) {
  if (platform.ResumeThread(process->thread)) return true;
  EndSuspended(platform, process);
  return false;
}

void EndSuspended(PlatformServices& platform, ProcessInformation* process) {
  if (platform.TerminateProcess(process->process, kNeverRan)) {
    platform.WaitForSingleObject(process->process, kEndWaitMs);
  }
  platform.CloseHandle(process->thread);
  platform.CloseHandle(process->process);
  *process = ProcessInformation();
}
