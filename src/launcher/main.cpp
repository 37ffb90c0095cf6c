// Process entry of the Windows program. The runtime's own argument split is
// not used: the count comes from the command line by fixed rules. Which run
// sequence and which admission of the kit the program has come from the
// libraries it links (run_build.h, kit_admission.h); only the trust it was
// built with is chosen here.
#include <memory>

#include "kit_pins.h"
#include "launcher/run_build.h"
#include "platform/platform_services.h"
#if LAUNCHER_SIGNED_KIT
#include "platform/signature_services.h"
#include "publisher_keys.h"
#endif

int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
#if LAUNCHER_SIGNED_KIT
  // No pins compiled in: they come from the kit's signed manifest.
  std::unique_ptr<SignatureServices> signatures =
      CreateWindowsSignatureServices();
  const KitTrust trust(kSignedKit, *signatures);
#else
  const KitTrust trust(kKitPins);
#endif
  return RunBuild(*platform, trust);
}
