#ifndef LAUNCHER_LAUNCHER_SUSPENDED_START_H_
#define LAUNCHER_LAUNCHER_SUSPENDED_START_H_

#include <string>

#include "platform/platform_services.h"

// The new installer is started suspended before the old version is removed
// and resumed after: a data.exe that Windows refuses (policy, or no program
// for this Windows) then costs nothing, where a refusal found after the
// removal would leave neither version. A program started suspended either
// runs or ends: left suspended it would hold its file and folder (the kit
// cache) until the next restart.

// Whether anything is at `path`. A failed query must not pass for an
// absence: it is missing only when a second query agrees.
bool IsThere(PlatformServices& platform, const std::string& path);

// Whether the new installer `application` is missing: its name not found in
// its folder, which is there. Any other failure to see it leaves the old
// version in place, as a data.exe that is there but does not start does.
bool IsMissing(PlatformServices& platform, const std::string& application);

// Lets the suspended program run. One that cannot be resumed is ended
// (EndSuspended) and false returned; its handles are closed then.
bool ResumeOrEnd(PlatformServices& platform, ProcessInformation* process);

// Ends a program started suspended that must not run, waits a moment for
// its end, and closes its handles.
void EndSuspended(PlatformServices& platform, ProcessInformation* process);

#endif  // LAUNCHER_LAUNCHER_SUSPENDED_START_H_
