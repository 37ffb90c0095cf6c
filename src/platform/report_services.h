#ifndef LAUNCHER_PLATFORM_REPORT_SERVICES_H_
#define LAUNCHER_PLATFORM_REPORT_SERVICES_H_

#include <cstdint>
#include <memory>

#include "platform/platform_services.h"

// The operating-system operations of the report build alone, which waits
// for a whole installation, judges it and keeps a log: jobs and their
// completion ports, exit codes, another installation's mutex, the tick
// count and the local time, and log files with their security. Only
// report/ includes this; the report build's code takes it beside
// PlatformServices, whose handles (CloseHandle) and files it shares.

// What a job's completion port gave: the job has no active process left
// (JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO), another message (a process started
// or ended), nothing within the time asked (the wait timed out), or a
// failure.
enum class JobMessage { NoActiveProcess, Other, TimedOut, Failed };

constexpr std::uint32_t kWaitTimeout = 0x102;
// GetExitCodeProcess's code for a process that has not ended.
constexpr std::uint32_t kStillActive = 259;

// The local time as GetLocalTime gives it, with the zone's bias: minutes to
// add to the local time to get UTC (negative east of Greenwich).
struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int bias = 0;
};

// What a file or folder is, read through a handle opened on the path itself
// (a link at the end of the path is the link, never its target), and who
// can change it.
struct FileSecurity {
  bool folder = false;
  bool link = false;             // a reparse point: junction, symbolic link
  std::uint32_t names = 0;       // hard links: the names of the same file
  bool others_can_write = true;  // see GetFileSecurityA
};

class ReportServices {
 public:
  virtual ~ReportServices() = default;

  // A new job with a completion port of its own that receives its
  // messages. Its processes may start children outside it where they ask
  // to break away (JOB_OBJECT_LIMIT_BREAKAWAY_OK); closing its last handle
  // ends every process in it (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE), so that
  // a launcher that is killed leaves no suspended program behind, until
  // ClearKillOnJobClose. CloseHandle releases both.
  virtual bool CreateJobObjectA(Handle* job, Handle* port) = 0;
  // Clears the job's kill-on-close limit, keeping the breakaway: once its
  // program has been resumed, what it starts outlives the launcher.
  virtual bool ClearKillOnJobClose(Handle job) = 0;
  // Puts the suspended process in the job; its children then start in it.
  // Fails on Windows 7 and older for a launcher that runs in a job which
  // allows no breakaway.
  virtual bool AssignProcessToJobObject(Handle job, Handle process) = 0;
  // The next message of the job's port, waiting up to `milliseconds`.
  virtual JobMessage GetQueuedCompletionStatus(Handle port,
                                               std::uint32_t milliseconds) = 0;
  // The number of the job's processes that have not ended
  // (QueryInformationJobObject, basic accounting).
  virtual bool QueryInformationJobObject(Handle job,
                                         std::uint32_t* active_processes) = 0;
  // kStillActive while the process runs.
  virtual bool GetExitCodeProcess(Handle process, std::uint32_t* code) = 0;
  // Whether a mutex of `name` exists: opened for SYNCHRONIZE and closed at
  // once (OpenMutexA), so it is never made; one whose security refuses
  // this process, or another kind of object of that name, counts as one.
  // False when that cannot be told.
  virtual bool OpenMutexA(const char* name, bool* exists) = 0;
  // Milliseconds since the system started; wraps after 49.7 days, so only
  // differences count.
  virtual std::uint32_t GetTickCount() = 0;
  virtual LocalTime GetLocalTime() = 0;
  virtual std::uint32_t GetCurrentThreadId() = 0;
  // What `path` is and who can change it, without following a link at its
  // end. `others_can_write` is false only when the owner and every account
  // that the DACL lets write, append, create entries, delete, change the
  // DACL or take ownership are SYSTEM, Administrators, TrustedInstaller or
  // this process's own user (inherit-only entries do not apply to the path
  // itself); no DACL at all lets everyone write. False when nothing is
  // there or it cannot be read.
  virtual bool GetFileSecurityA(const char* path, FileSecurity* security) = 0;
  // Opens the file `path` for appending, creating it when missing (it then
  // inherits its folder's DACL), without following a link at its end, and
  // shared for reading and appending. Refuses a link, a folder and a file
  // with more than one name (hard links).
  virtual bool OpenAppendFileA(const char* path, Handle* file) = 0;
};

// The realisation over the real Win32 API; only built for Windows.
std::unique_ptr<ReportServices> CreateWindowsReportServices();

#endif  // LAUNCHER_PLATFORM_REPORT_SERVICES_H_
