// The session's drives and the programs Windows lets start.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

// Elevated, the launcher is still told its module name on its user's mapped
// drive, but no path there names anything.
TEST(SimulatedSessionTest, DriveOfAnotherSessionNamesNothing) {
  SimulatedPlatform p;
  p.module_file_name = "Z:\\Kit\\setup.exe";
  p.AddFile(p.module_file_name);
  p.absent_drives.insert("z:");
  char module[kMaxPath] = {};
  EXPECT_EQ(p.GetModuleFileNameA(module, sizeof(module)), 16u);
  EXPECT_FALSE(p.PathFileExistsA(module));
  EXPECT_EQ(p.GetFileAttributesA("Z:\\Kit"), kInvalidFileAttributes);
  EXPECT_TRUE(p.Exists("Z:\\Kit\\setup.exe"));
}

// A program starts only when it is one and policy allows it; either way a
// refused file is still there.
TEST(SimulatedSessionTest, StartsThatWindowsRefuses) {
  const struct {
    const char* content;
    bool refused;
    bool starts;
  } cases[] = {{"MZ", false, true},
               {"", false, true},  // bytes that do not matter
               {"[a text file]", false, false},
               {"MZ", true, false}};
  for (const auto& c : cases) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe", c.content);
    if (c.refused) p.refused_programs.insert("d:\\setup\\DATA.EXE");
    std::string line = "data.exe";
    ProcessInformation info;
    EXPECT_EQ(p.CreateProcessSuspendedA("D:\\Setup\\data.exe", line.data(),
                                        nullptr, &info),
              c.starts);
    EXPECT_EQ(p.CreateProcessA(nullptr, line.data(), nullptr, &info), c.starts);
    EXPECT_TRUE(p.PathFileExistsA("D:\\Setup\\data.exe"));
  }
}

}  // namespace
