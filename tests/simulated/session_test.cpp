// The session's drives and the programs Windows lets start, as the run
// sequence relies on them before anything is removed.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

// Drive letters belong to the logon session: elevated, the launcher is
// still told the module name on its user's mapped drive, but no path there
// names anything, whatever the tree holds.
TEST(SimulatedSessionTest, DriveOfAnotherSessionNamesNothing) {
  for (bool absent : {false, true}) {
    SimulatedPlatform p;
    p.module_file_name = "Z:\\Kit\\setup.exe";
    p.AddFile(p.module_file_name, "MZ launcher image");
    p.AddFile("Z:\\Kit\\data.exe", "MZ new installer");
    if (absent) p.absent_drives.insert("z:");
    char module[kMaxPath] = {};
    EXPECT_EQ(p.GetModuleFileNameA(module, sizeof(module)), 16u);
    EXPECT_STREQ(module, "Z:\\Kit\\setup.exe");
    EXPECT_EQ(p.PathFileExistsA("Z:\\Kit"), !absent);
    EXPECT_EQ(
        p.GetFileAttributesA("Z:\\Kit\\data.exe") != kInvalidFileAttributes,
        !absent);
    std::string line = "data.exe";
    ProcessInformation info;
    EXPECT_EQ(p.CreateProcessSuspendedA("Z:\\Kit\\data.exe", line.data(),
                                        nullptr, &info),
              !absent);
    EXPECT_TRUE(p.PathFileExistsA("C:\\Windows"));
  }
}

// A program starts only when it is one and policy allows it; a refused
// file is still there to be read.
TEST(SimulatedSessionTest, StartsThatWindowsRefuses) {
  struct Case {
    const char* what;
    const char* content;
    bool refused;
    bool starts;
  };
  const Case cases[] = {
      {"a program", "MZ program", false, true},
      {"bytes that do not matter", "", false, true},
      {"a text file", "[not a program]", false, false},
      {"refused by policy", "MZ program", true, false},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe", c.content);
    if (c.refused) p.refused_programs.insert("d:\\setup\\DATA.EXE");
    std::string line = "data.exe";
    ProcessInformation info;
    EXPECT_EQ(
        p.CreateProcessA("D:\\Setup\\data.exe", line.data(), nullptr, &info),
        c.starts)
        << c.what;
    EXPECT_EQ(p.CreateProcessA(nullptr, line.data(), nullptr, &info), c.starts)
        << c.what;
    EXPECT_TRUE(p.PathFileExistsA("D:\\Setup\\data.exe")) << c.what;
    EXPECT_EQ(p.processes().size(), c.starts ? 2u : 0u) << c.what;
  }
}

}  // namespace
