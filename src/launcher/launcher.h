#ifndef LAUNCHER_LAUNCHER_LAUNCHER_H_
#define LAUNCHER_LAUNCHER_LAUNCHER_H_

#include <string>

#include "launcher/locations.h"
#include "platform/platform_services.h"

// The launcher's entry: probes the Windows width, selects the mode from the
// argument count (exactly one argument: Silent), runs the run sequence and
// returns the exit code, which is always 0.
int LauncherMain(PlatformServices& platform);

// True unless "<system drive>\Windows\SysWOW64" exists.
bool Is32BitWindows(PlatformServices& platform);

LaunchMode ModeForArgumentCount(int argc);

// The one run sequence: find the launcher folder and the maintenance folder
// for the width, compose the new installer's command line, remove the
// previous installation when its maintenance folder exists, then hand off.
// Returns only when the new installer could not be started, or when the
// launcher's own folder is unknown (then nothing is removed or started).
void RunLauncher(PlatformServices& platform, bool is32Bit, LaunchMode mode);

// Starts `application` with `command_line` and ends the process with exit
// code 0 at once, without waiting; returns when the start fails.
void LaunchNewInstaller(PlatformServices& platform,
                        const std::string& application,
                        std::string command_line);

#endif  // LAUNCHER_LAUNCHER_LAUNCHER_H_
