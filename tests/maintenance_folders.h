#ifndef LAUNCHER_TESTS_MAINTENANCE_FOLDERS_H_
#define LAUNCHER_TESTS_MAINTENANCE_FOLDERS_H_

#include <string>

// The maintenance folders for the default product code on a system drive
// C:, written out in full so that the tests check the launcher's
// composition rather than repeat it.
const std::string kMaintenance32 =
    "C:\\Program Files\\InstallShield Installation Information\\"
    "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";
const std::string kMaintenance64 =
    "C:\\Program Files (x86)\\InstallShield Installation Information\\"
    "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

#endif  // LAUNCHER_TESTS_MAINTENANCE_FOLDERS_H_
