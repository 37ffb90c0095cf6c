#ifndef LAUNCHER_LAUNCHER_LAUNCHER_H_
#define LAUNCHER_LAUNCHER_LAUNCHER_H_

#include <string>

#include "launcher/locations.h"
#include "platform/platform_services.h"

// The launcher's entry: claims the launcher mutex, probes the Windows width,
// selects the mode from the argument count (exactly one argument: Silent),
// runs the run sequence and returns the exit code, which is always 0. When
// another launcher holds the claim it does nothing else.
int LauncherMain(PlatformServices& platform);

// Claims the launcher mutex for the rest of the process: its handle is never
// closed, so the claim ends with the process however it ends, and the
// children do not inherit it. False when another launcher holds it, also
// when another user's launcher made it and access to it is denied. True when
// the claim is held, and also when the mutex could not be made for any
// other reason: the guard must never be what stops an installation.
bool ClaimLauncherMutex(PlatformServices& platform);

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
