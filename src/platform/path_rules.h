#ifndef LAUNCHER_PLATFORM_PATH_RULES_H_
#define LAUNCHER_PLATFORM_PATH_RULES_H_

#include "platform/platform_services.h"

// How PlatformServices::PathRemoveFileSpecA cuts a path, in every
// realisation: removes the last part of `path` and the backslash before it,
// in place. A root keeps its backslash ("\x" gives "\", "E:\x" gives
// "E:\"), and a path with no backslash becomes empty. A byte of
// `lead_bytes` takes the byte after it along, so the trail byte of a
// double-byte character (0x5C in some of them) is never a separator. False
// when nothing was removed.
bool RemoveLastPathPart(char* path, const LeadBytes& lead_bytes);

#endif  // LAUNCHER_PLATFORM_PATH_RULES_H_
