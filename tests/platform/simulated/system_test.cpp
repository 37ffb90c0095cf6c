// The clock since Windows started, and what a restart deletes.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

// The system time runs on from the start of Windows with the tick count;
// what this process makes carries the time it was made; a restart starts
// the tick count afresh, later.
TEST(SimulatedSystemTest, TheClockSinceWindowsStarted) {
  SimulatedPlatform p;
  p.Sleep(500);
  std::uint64_t ticks = 0;
  ASSERT_TRUE(p.GetTickCount64(&ticks));
  EXPECT_EQ(ticks, p.uptime_ms + 500);
  EXPECT_EQ(p.GetSystemTimeAsFileTime(), p.boot_time + ticks * 10000);
  ASSERT_EQ(p.CreateDirectoryA("C:\\new"), FolderResult::Created);
  EXPECT_EQ(p.Find("C:\\new")->created, p.boot_time + ticks * 10000);
  p.Restart();
  ASSERT_TRUE(p.GetTickCount64(&ticks));
  EXPECT_EQ(ticks, 0u);
  EXPECT_GT(p.boot_time, p.Find("C:\\new")->created);
}

// The restart deletes by name, following a link that has taken a folder's
// place on the way, as the Session Manager does; a link named itself goes
// as a link.
TEST(SimulatedSystemTest, RestartDeletionsFollowALinkInAFoldersPlace) {
  SimulatedPlatform p;
  p.AddFile("C:\\Cache\\data.exe");
  p.AddFile("C:\\Important\\data.exe");
  ASSERT_TRUE(p.MoveFileExA("C:\\Cache\\data.exe"));
  ASSERT_TRUE(p.MoveFileExA("C:\\Cache"));
  p.Remove("C:\\Cache");
  p.AddLink("C:\\Cache", "C:\\Important", true);
  p.Restart();
  EXPECT_FALSE(p.Exists("C:\\Important\\data.exe"));
  EXPECT_FALSE(p.Exists("C:\\Cache"));
  EXPECT_TRUE(p.Exists("C:\\Important"));
}

}  // namespace
