#ifndef LAUNCHER_LAUNCHER_RUN_BUILD_H_
#define LAUNCHER_LAUNCHER_RUN_BUILD_H_

#include "launcher/kit_admission.h"
#include "platform/platform_services.h"

// The run sequence of the program as built, called by the entry. The
// library the program links defines it: LauncherMain in every build but the
// report build (launcher/run_build.cpp), the report build's own run there
// (report/run_build.cpp). Returns the process's exit code.
int RunBuild(PlatformServices& platform, const KitTrust& trust);

#endif  // LAUNCHER_LAUNCHER_RUN_BUILD_H_
