#ifndef LAUNCHER_REPORT_RUN_LOG_H_
#define LAUNCHER_REPORT_RUN_LOG_H_

#include <string>

#include "platform/platform_services.h"
#include "platform/report_services.h"

// The report build's log: one line per event in CMTrace's format, appended
// run after run to <Windows folder>\Logs\Software\InstallerLauncher-<product
// code>.log. The folder is created, owned by Administrators with a
// protected DACL, when it is missing; an existing one is used only when it
// is a folder, not a link, and no account but the trusted ones can change
// it. The file is opened without following a link, and a link or a file of
// several names is refused. Without a safe log the run goes on unlogged.

// Event types, as CMTrace colours them.
enum class LogType { Information = 1, Warning = 2, Error = 3 };

// <Windows folder>\Logs\Software; "" when the folder is unknown.
std::string LogFolder(PlatformServices& platform);
// The log and the setup.log the new installer is told to write (-f2), both
// in the log folder `folder`.
std::string LogFilePath(const std::string& folder);
std::string NewInstallerResultPath(const std::string& folder);

// One CMTrace line, with its CR LF:
// <![LOG[message]LOG]!><time="HH:MM:SS.mmm+BBB" date="MM-DD-YYYY"
// component="InstallerLauncher" context="" type="T" thread="N" file="">
// where BBB is the zone's bias in minutes with its sign.
std::string CmTraceLine(const std::string& message, LogType type,
                        const LocalTime& time, std::uint32_t thread);

// Whether a folder read so may hold the log and results: a folder, not a
// link, that no other account can change.
bool IsSafeFolder(const FileSecurity& security);

class RunLog {
 public:
  RunLog(PlatformServices& platform, ReportServices& report)
      : platform_(platform), report_(report) {}
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Finds or creates the log folder and opens the log; false when no safe
  // log can be kept (then every event is dropped).
  bool Open();
  // The safe log folder, "" when there is none.
  const std::string& folder() const { return folder_; }

  void Write(LogType type, const std::string& message);
  void Info(const std::string& message) {
    Write(LogType::Information, message);
  }
  void Warning(const std::string& message) { Write(LogType::Warning, message); }
  void Error(const std::string& message) { Write(LogType::Error, message); }
  // Copies a whole file's text into the log, one event per line, each
  // headed by `label`.
  void CopyText(const std::string& label, const std::string& text);

 private:
  PlatformServices& platform_;
  ReportServices& report_;
  std::string folder_;
  Handle file_ = 0;
  bool open_ = false;
};

#endif  // LAUNCHER_REPORT_RUN_LOG_H_
