#ifndef LAUNCHER_LAUNCHER_LAUNCHER_H_
#define LAUNCHER_LAUNCHER_LAUNCHER_H_

#include <string>

#include "launcher/kit_admission.h"
#include "launcher/locations.h"
#include "platform/platform_services.h"

// The launcher's entry: before anything else, keeps DLLs of the current
// folder out of the process; then claims the launcher mutex, probes the
// Windows width, selects the mode from the argument count (exactly one
// argument: Silent), runs the run sequence and returns the exit code, which
// is always 0. When another launcher holds the claim it does nothing else.
// `trust` is how the build trusts its kit (kit_admission.h): the kit files
// it was built for, none at all, or a signed manifest.
int LauncherMain(PlatformServices& platform, const KitTrust& trust);

// Claims the launcher mutex for the rest of the process: its handles are
// never closed, so the claim ends with the process however it ends, and the
// children do not inherit it.
//
// A process with the Administrators group enabled (elevated, or SYSTEM)
// claims inside the private namespace that only such a process can create
// or open, so no ordinary user can squat the claim; it also takes the plain
// name, whatever becomes of that, so that unelevated launchers still wait
// their turn. False when another launcher holds the private claim or it is
// refused there, or when the plain name's mutex is there and owned by
// Administrators or SYSTEM: an elevated launcher whose namespace failed
// holds it. When any step of the private namespace fails, and for
// every other process, the claim is the plain mutex in the global namespace:
// false when another launcher holds it, also when another user's launcher
// made it and access to it is denied.
//
// True when the claim is held, and also when the mutex could not be made
// for any other reason: the guard must never be what stops an installation.
bool ClaimLauncherMutex(PlatformServices& platform);

// True unless "<system drive>\Windows\SysWOW64" exists.
bool Is32BitWindows(PlatformServices& platform);

LaunchMode ModeForArgumentCount(int argc);

// The one run sequence: find the launcher folder (which this process must
// see) and the maintenance folder for the width, admit the kit (AdmitKit:
// its files verified and held, elevated as a verified copy in a fresh
// cache), make sure data.exe is not the launcher itself, compose the
// new installer's command line, start it suspended, remove the previous
// installation when its maintenance folder exists, then let the new
// installer run. A data.exe that is there but does not start leaves the
// previous installation in place; only a missing one lets the removal go
// on. Returns only when the new installer could not be started or resumed,
// when the launcher's own folder is unknown or out of sight, or when the
// kit fails a check (then nothing is removed or started).
void RunLauncher(PlatformServices& platform, bool is32Bit, LaunchMode mode,
                 const KitTrust& trust);

// Lets the new installer, started suspended, run; once it runs, releases
// `hold` and ends the process with exit code 0 at once, without waiting.
// False when it cannot be resumed: it is ended then, never left suspended.
bool LaunchNewInstaller(PlatformServices& platform, ProcessInformation* process,
                        KitHold* hold);

#endif  // LAUNCHER_LAUNCHER_LAUNCHER_H_
