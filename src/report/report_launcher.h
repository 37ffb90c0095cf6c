#ifndef LAUNCHER_REPORT_REPORT_LAUNCHER_H_
#define LAUNCHER_REPORT_REPORT_LAUNCHER_H_

#include <cstdint>

#include "launcher/kit_admission.h"
#include "platform/platform_services.h"
#include "platform/report_services.h"

// The entry of the report build: the default build's run,
// but it waits for everything the uninstaller and the new installer start,
// judges each by its exit code and setup.log, keeps the maintenance folder
// when the removal failed, logs each event, and returns an exit code that
// tells success from failure (see install_results.h). `time_limit_ms` 0:
// no limit. Before anything it waits up to `installer_wait_ms` for another
// installation to end (WaitForOtherInstallation). It shows no window: in
// interactive mode the new installer's own windows are what the user sees.
int ReportingLauncherMain(PlatformServices& platform, ReportServices& report,
                          const KitTrust& trust, std::uint32_t time_limit_ms,
                          std::uint32_t installer_wait_ms);

#endif  // LAUNCHER_REPORT_REPORT_LAUNCHER_H_
