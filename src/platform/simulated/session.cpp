// What this process's logon session and the system's policy let it reach:
// the drive letters it has, and the programs it may start.
#include <string>

#include "platform/simulated/simulated_platform.h"

bool SimulatedPlatform::HasDrive(const std::string& drive) const {
  return absent_drives.count(drive) == 0;
}

// Windows reads a program's headers before it makes the process: a file
// that does not begin as an executable ("MZ") fails with
// ERROR_BAD_EXE_FORMAT, and policy (AppLocker, WDAC, Smart App Control)
// refuses what it does not allow, however readable the file is.
bool SimulatedPlatform::MayStart(const std::string& key) const {
  const std::string& content = tree_.at(key).content;
  bool program = content.empty() || content.compare(0, 2, "MZ") == 0;
  return program && refused_programs.count(key) == 0;
}
