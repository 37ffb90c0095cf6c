// The report build's run: the Windows realisation of its own services,
// and the time limit and the wait for another installation the build was
// configured with.
#include "launcher/run_build.h"

#include <memory>

#include "report/report_launcher.h"
#include "report/report_options.h"

int RunBuild(PlatformServices& platform, const KitTrust& trust) {
  std::unique_ptr<ReportServices> report = CreateWindowsReportServices();
  return ReportingLauncherMain(platform, *report, trust, kReportTimeLimitMs,
                               kReportInstallerWaitMs);
}
