#ifndef LAUNCHER_REPORT_INSTALL_RESULTS_H_
#define LAUNCHER_REPORT_INSTALL_RESULTS_H_

#include <string>

#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "report/run_log.h"

// The report build's exit codes. 0 and the new installer's own non-zero
// code are passed on; the launcher's own failures lie in 69001-69099, which
// no Windows Installer code (1600-1699, 1700s, 2000-3999, 3010, 1641), no
// deployment tool's default (0, 1707, 3010, 1641, 1618) and no range of the
// common deployment toolkits (60000-68999) reaches.
constexpr int kExitSuccess = 0;
constexpr int kExitClaimTaken = 1618;  // another launcher runs: retry later
constexpr int kExitInstallationRunning = 1618;  // so does another installation
constexpr int kExitKitRefused = 69001;
constexpr int kExitNotStarted = 69002;       // data.exe did not start
constexpr int kExitRemovalFailed = 69003;    // previous version kept
constexpr int kExitResultCode = 69004;       // setup.log: ResultCode not 0
constexpr int kExitNoResult = 69005;         // no trusted setup.log of this run
constexpr int kExitTimeLimit = 69006;        // the wait outlasted the limit
constexpr int kExitLauncherUnknown = 69007;  // the launcher's own folder
constexpr int kExitDataIsLauncher = 69008;   // data.exe is the launcher
constexpr int kExitWaitFailed = 69009;       // the end could not be seen

// The ResultCode of an InstallShield setup.log: the value of "ResultCode="
// in its [ResponseResult] section. ANSI or UTF-16 text. False when there is
// none or it is no number.
bool ParseResultCode(const std::string& content, long* code);

// A setup.log as the launcher found it after a run.
struct SetupLog {
  bool found = false;    // present and readable
  bool trusted = false;  // it and its folder changeable by no other account
  bool has_code = false;
  long code = 0;
  std::string content;
};

// Reads the setup.log at `path`, judging it and its folder.
SetupLog ReadSetupLog(PlatformServices& platform, ReportServices& report,
                      const std::string& path);

// Makes sure no setup.log of an earlier run lies at `path`: one that is
// there is copied into the log and deleted. False when one stays.
bool ClearStaleSetupLog(PlatformServices& platform, ReportServices& report,
                        RunLog& log, const std::string& path);

// What a step's setup.log says, logged, as an exit code: 0 for a trusted
// ResultCode of 0, else kExitResultCode or kExitNoResult. The file's text
// is copied into the log under `label`.
int JudgeSetupLog(PlatformServices& platform, ReportServices& report,
                  RunLog& log, const std::string& label,
                  const std::string& path);

#endif  // LAUNCHER_REPORT_INSTALL_RESULTS_H_
