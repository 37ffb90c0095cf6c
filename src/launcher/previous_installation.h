#ifndef LAUNCHER_LAUNCHER_PREVIOUS_INSTALLATION_H_
#define LAUNCHER_LAUNCHER_PREVIOUS_INSTALLATION_H_

#include <string>

#include "platform/platform_services.h"

// Removes the previous installation whose maintenance folder is `M`: stages
// L\uninstall.iss into M unless M holds one, runs M\setup.exe silently and
// waits for it without a time limit, clears M's own attributes and deletes M
// with everything in it. The deletion is attempted whatever happened before;
// nothing is reported.
void RemovePreviousInstallation(PlatformServices& platform,
                                const std::string& M, const std::string& L);

// The first step of RemovePreviousInstallation alone: copies
// L\uninstall.iss into M, leaving a response file already there as it is,
// and makes the launcher's own copy deletable.
void StageUninstallResponse(PlatformServices& platform, const std::string& M,
                            const std::string& L);

#endif  // LAUNCHER_LAUNCHER_PREVIOUS_INSTALLATION_H_
