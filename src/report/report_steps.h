#ifndef LAUNCHER_REPORT_REPORT_STEPS_H_
#define LAUNCHER_REPORT_REPORT_STEPS_H_

#include <string>

#include "launcher/kit_hold.h"
#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "report/job_wait.h"
#include "report/run_log.h"

// The two steps of the report build's run, each waited for whole and judged,
// and the wait for another installation before them.

// Windows Installer runs one installation at a time, and holds the mutex
// kInstallationMutex while it does; an uninstaller or installer that needs
// it then fails. Waits, up to `wait_ms`, while one runs; false when it
// still runs then (nothing may be removed or started: the run ends with
// 1618, which deployment tools retry later). A mutex that cannot be
// looked for counts as none, as in a build that does not look.
constexpr char kInstallationMutex[] = "Global\\_MSIExecute";
bool WaitForOtherInstallation(PlatformServices& platform,
                              ReportServices& report, RunLog& log,
                              std::uint32_t wait_ms);

// Removes the previous installation whose maintenance folder is `M`, as the
// default build does, but deletes M only when the uninstaller's whole tree
// has ended with exit code 0 and a trusted setup.log of this run says
// ResultCode=0. Returns 0 when M was deleted (or its deletion attempted),
// else the exit code of the failure: M is then kept, so that the old
// version stays removable, and nothing else may be started.
int RemoveAndReport(PlatformServices& platform, ReportServices& report,
                    RunLog& log, const Deadline& deadline, const std::string& M,
                    const std::string& L);

// How the new installer is started and where its result is read.
struct NewInstallerStart {
  std::string application;  // its full path
  std::string command_line;
  std::string current_directory;  // "" keeps the launcher's own
  std::string result_file;        // the setup.log to judge; "": none
};

// Starts the new installer suspended, in its job (StartTree), so that a
// data.exe that cannot start is known before the old version goes. False
// when it did not start.
bool StartNewInstaller(PlatformServices& platform, ReportServices& report,
                       RunLog& log, const NewInstallerStart& start,
                       StartedTree* tree);

// Lets the new installer of StartNewInstaller run, releases `hold` once it
// runs, waits for its whole tree and returns the run's exit code: its own
// non-zero exit code, else what its setup.log says (when one is to be
// judged), else 0; kExitNotStarted when it could not be resumed (it is
// ended then).
int InstallAndReport(PlatformServices& platform, ReportServices& report,
                     RunLog& log, const Deadline& deadline,
                     const NewInstallerStart& start, StartedTree* tree,
                     KitHold* hold);

#endif  // LAUNCHER_REPORT_REPORT_STEPS_H_
