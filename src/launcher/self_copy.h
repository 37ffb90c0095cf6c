#ifndef LAUNCHER_LAUNCHER_SELF_COPY_H_
#define LAUNCHER_LAUNCHER_SELF_COPY_H_

#include <string>

#include "platform/platform_services.h"

// Every build refuses a data.exe that is the launcher itself, which would
// start itself again and again.
//
// True when the file `data` has exactly the bytes of the file `launcher`.
// The sizes are compared first, the bytes only when they are equal, read
// through a link as a start would find them, holding nothing; a file that
// cannot be sized or read is not taken for a copy.
bool IsCopyOf(PlatformServices& platform, const std::string& launcher,
              const std::string& data);

#endif  // LAUNCHER_LAUNCHER_SELF_COPY_H_
