// Process entry of the Windows program. The runtime's own argument split is
// not used: the count comes from the command line by fixed rules.
#include <memory>

#include "kit_pins.h"
#include "launcher/launcher.h"
#include "platform/platform_services.h"

int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
  return LauncherMain(*platform, kKitPins);
}
