#ifndef LAUNCHER_LAUNCHER_ARGUMENT_COUNT_H_
#define LAUNCHER_LAUNCHER_ARGUMENT_COUNT_H_

#include <string_view>

#include "platform/platform_services.h"

// The argument count a C runtime's start-up gives `main` for `command_line`:
// 1 for the program name plus one for each argument, split by the platform's
// standard rules (quotes group, backslashes escape quotes only, "" inside a
// group gives a literal quote and ends the group, an empty quoted argument
// counts). Bytes in `lead_bytes` are taken together with the byte after them.
// Counted here rather than taken from the runtime, whose rules differ between
// Windows versions and which may expand wildcards.
int CountArguments(std::string_view command_line, const LeadBytes& lead_bytes);

// The count for this process: its command line, or the module file name when
// the command line is empty, as the runtime does.
int ProcessArgumentCount(PlatformServices& platform);

#endif  // LAUNCHER_LAUNCHER_ARGUMENT_COUNT_H_
