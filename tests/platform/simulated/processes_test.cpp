// Processes. The simulated platform is only useful while it behaves as Windows
// does; these cases pin the behaviours the launcher's correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedPlatformTest, ProgramResolutionWithoutApplicationName) {
  struct Case {
    std::vector<std::string> programs;
    const char* line;
    const char* image;  // "" when nothing starts
  };
  const Case cases[] = {
      // Unquoted heads with spaces: shortest first, ".exe" added.
      {{"C:\\Program.exe", "C:\\Program Files\\x\\setup.exe"},
       "C:\\Program Files\\x\\setup.exe -s",
       "C:\\Program.exe"},
      {{"C:\\Program Files\\x\\setup.exe"},
       "C:\\Program Files\\x\\setup.exe -s",
       "C:\\Program Files\\x\\setup.exe"},
      {{"C:\\Program Files\\x\\setup.exe"},
       "\"C:\\Program Files\\x\\setup.exe\" -s",
       "C:\\Program Files\\x\\setup.exe"},
      {{}, "C:\\Program Files\\x\\setup.exe -s", ""},
      // A bare name: beside the launcher first, then the current folder...
      {{"D:\\Setup\\data.exe", "C:\\Users\\admin\\data.exe"},
       "data.exe",
       "D:\\Setup\\data.exe"},
      {{"C:\\Users\\admin\\data.exe"},
       "data.exe",
       "C:\\Users\\admin\\data.exe"},
      // ...then the system folders.
      {{"C:\\Windows\\data.exe"}, "data.exe", "C:\\Windows\\data.exe"},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    for (const std::string& program : c.programs) p.AddFile(program);
    std::string line = c.line;
    ProcessInformation info;
    bool started = p.CreateProcessA(nullptr, line.data(), nullptr, &info);
    EXPECT_EQ(started, *c.image != '\0') << c.line;
    if (started) {
      EXPECT_EQ(p.processes().back().image, c.image) << c.line;
      EXPECT_EQ(p.processes().back().command_line, c.line);
    }
  }
}

TEST(SimulatedPlatformTest, ApplicationNameIsNeverSearchedFor) {
  SimulatedPlatform p;
  p.AddFile("C:\\Users\\admin\\data.exe");
  p.AddFile("C:\\My.exe");
  std::string line = "C:\\My Setup\\data.exe -s";
  ProcessInformation info;
  EXPECT_FALSE(
      p.CreateProcessA("D:\\Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_FALSE(
      p.CreateProcessA("C:\\My Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_TRUE(p.processes().empty());
  p.AddFile("C:\\My Setup\\data.exe");
  // A child starts in the folder it is given, which must exist, or in ours.
  EXPECT_FALSE(p.CreateProcessA("C:\\My Setup\\data.exe", line.data(),
                                "C:\\Nowhere", &info));
  EXPECT_TRUE(p.CreateProcessA("C:\\My Setup\\data.exe", line.data(),
                               "c:\\windows\\SYSTEM32", &info));
  EXPECT_EQ(p.processes().back().current_directory, "C:\\Windows\\system32");
  EXPECT_TRUE(
      p.CreateProcessA("C:\\My Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_EQ(p.processes().back().current_directory, "C:\\Users\\admin");
  EXPECT_EQ(p.WaitForSingleObject(info.process, kInfinite), kWaitObject0);
  EXPECT_TRUE(p.CloseHandle(info.process));
  EXPECT_EQ(p.WaitForSingleObject(info.process, kInfinite), kWaitFailed);
  EXPECT_FALSE(p.CloseHandle(info.process));
}

}  // namespace
