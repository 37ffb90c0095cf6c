#include "launcher/locations.h"

#include <gtest/gtest.h>

#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

namespace {

TEST(LocationsTest, MaintenanceFolderAndUninstallCommandLineByWidth) {
  struct Case {
    bool is32Bit;
    const std::string& M;
    std::size_t m_length;
    std::size_t u_length;
  };
  for (const Case& c : {Case{true, kMaintenance32, 94, 229},
                        Case{false, kMaintenance64, 100, 241}}) {
    std::string M = MaintenanceFolder("C:\\", c.is32Bit);
    EXPECT_EQ(M, c.M);
    EXPECT_EQ(M.size(), c.m_length);
    std::string U = UninstallCommandLine(M);
    EXPECT_EQ(U, M + "\\setup.exe -s -uninst -f1\"" + M + "\\uninstall.iss\"");
    EXPECT_EQ(U.size(), c.u_length);
    EXPECT_EQ(StagedDestination(M), M + "\\uninstall.iss");
    EXPECT_EQ(UninstallerPath(M), M + "\\setup.exe");
  }
}

TEST(LocationsTest, ProbePathAndRelativeLocationsWhenRootIsEmpty) {
  EXPECT_EQ(ProbePath("C:\\"), "C:\\Windows\\SysWOW64");
  EXPECT_EQ(ProbePath(""), "Windows\\SysWOW64");
  EXPECT_EQ(MaintenanceFolder("", true), kMaintenance32.substr(3));
}

TEST(LocationsTest, NewInstallerCommandLines) {
  struct Case {
    LaunchMode mode;
    const char* L;
    const char* expected;
  };
  const Case cases[] = {
      {LaunchMode::Interactive, "D:\\Setup", "data.exe"},
      {LaunchMode::Silent, "D:\\Setup",
       "D:\\Setup\\data.exe -s -f1\"D:\\Setup\\setup.iss\""},
      // At a drive root the separator is doubled, left as composed.
      {LaunchMode::Silent, "E:\\", "E:\\\\data.exe -s -f1\"E:\\\\setup.iss\""},
      // A folder with a space stays unquoted at the head.
      {LaunchMode::Silent, "D:\\My Setup",
       "D:\\My Setup\\data.exe -s -f1\"D:\\My Setup\\setup.iss\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NewInstallerCommandLine(c.mode, c.L), c.expected) << c.L;
  }
  EXPECT_EQ(StagedSource("E:\\"), "E:\\\\uninstall.iss");
  EXPECT_EQ(NewInstallerPath("E:\\"), "E:\\\\data.exe");
  EXPECT_EQ(NewInstallerPath("D:\\My Setup"), "D:\\My Setup\\data.exe");
}

TEST(LocationsTest, LongValuesAreComposedWhole) {
  // 2 x 200 + 28 characters: far past the 255 of a fixed buffer.
  std::string L = "D:\\" + std::string(197, 'a');
  std::string line = NewInstallerCommandLine(LaunchMode::Silent, L);
  EXPECT_EQ(line.size(), 2 * L.size() + 28);
  EXPECT_EQ(line, L + "\\data.exe -s -f1\"" + L + "\\setup.iss\"");
  std::string M = "C:\\" + std::string(250, 'm');
  EXPECT_EQ(UninstallCommandLine(M).size(), 2 * M.size() + 41);
}

TEST(LocationsTest, SystemDriveRoot) {
  struct Case {
    const char* system_directory;
    bool fails;
    const char* root;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\system32", false, "C:\\"},
      {"E:\\WINNT\\system32", false, "E:\\"},
      {"C:", false, "C:"},
      {"C:\\Windows\\system32", true, ""},  // query failed: relative paths
  };
  for (const Case& c : cases) {
    SimulatedPlatform platform;
    platform.system_directory = c.system_directory;
    if (c.fails) platform.FailOn(SimulatedPlatform::Op::GetSystemDirectoryA);
    EXPECT_EQ(SystemDriveRoot(platform), c.root) << c.system_directory;
  }
}

TEST(LocationsTest, LauncherFolder) {
  struct Case {
    std::string module;
    bool fails;
    std::optional<std::string> folder;
    bool shift_jis = false;  // 0x95 leads a double-byte character
  };
  std::string long_folder = "D:\\" + std::string(246, 'f');  // 249 characters
  const Case cases[] = {
      {"D:\\Setup\\launcher.exe", false, std::string("D:\\Setup")},
      {"E:\\x.exe", false, std::string("E:\\")},
      {"D:\\My Setup\\launcher.exe", false, std::string("D:\\My Setup")},
      // 259 characters fit the 260-byte buffer with the terminator.
      {long_folder + "\\launc.exe", false, long_folder},
      // One more and the platform cuts the name short: its folder is unknown.
      {long_folder + "\\launch.exe", false, std::nullopt},
      {"D:\\Setup\\launcher.exe", true, std::nullopt},
      // "D:\Kit\<0x95 0x5C>.exe": a trail byte 0x5C is no separator.
      {"D:\\Kit\\\x95\\.exe", false, std::string("D:\\Kit"), true},
  };
  for (const Case& c : cases) {
    SimulatedPlatform platform;
    platform.module_file_name = c.module;
    if (c.fails) platform.FailOn(SimulatedPlatform::Op::GetModuleFileNameA);
    if (c.shift_jis) platform.lead_bytes.set(0x95);
    EXPECT_EQ(LauncherFolder(platform), c.folder) << c.module;
  }
}

}  // namespace
