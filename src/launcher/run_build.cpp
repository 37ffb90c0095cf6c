// The run of every build but the report build.
#include "launcher/run_build.h"

#include "launcher/launcher.h"

int RunBuild(PlatformServices& platform, const KitTrust& trust) {
  return LauncherMain(platform, trust);
}
