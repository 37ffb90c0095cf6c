// Process entry of the Windows program. The runtime's own argument split is
// not used: the count comes from the command line by fixed rules.
#include <memory>

#include "kit_pins.h"
#include "launcher/launcher.h"
#include "platform/platform_services.h"
#if LAUNCHER_REPORT
#include "launcher/report_launcher.h"
#endif
#if LAUNCHER_SIGNED_KIT
#include "publisher_keys.h"
#endif

int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
#if LAUNCHER_SIGNED_KIT
  // No pins compiled in: they come from the kit's signed manifest.
  const KitTrust trust(kSignedKit);
#else
  const KitTrust& trust = kKitPins;
#endif
#if LAUNCHER_REPORT
  return ReportingLauncherMain(*platform, trust, LAUNCHER_REPORT_TIME_LIMIT_MS);
#else
  return LauncherMain(*platform, trust);
#endif
}
