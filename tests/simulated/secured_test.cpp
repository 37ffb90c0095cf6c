// Folders and files made with security, opens that follow no link or hold
// nothing, the clock and restarts, as the kit cache relies on them.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

// A new folder takes any name but one in use, a link's included; opened as
// itself it is never a link's target, and held it cannot be removed.
TEST(SimulatedPlatformTest, NewFoldersAndTheirOpens) {
  SimulatedPlatform p;
  p.AddFolder("C:\\Elsewhere");
  p.SetSecurity("C:\\Elsewhere", "alice", {"alice"});
  p.AddLink("C:\\Windows\\Temp\\link", "C:\\Elsewhere", true);
  EXPECT_EQ(p.CreateDirectoryA("C:\\Windows\\Temp\\link"),
            FolderResult::AlreadyExists);
  EXPECT_EQ(p.CreateDirectoryA("C:\\No\\new"), FolderResult::Failed);
  ASSERT_EQ(p.CreateDirectoryA("C:\\Windows\\Temp\\new"),
            FolderResult::Created);
  Handle folder = 0;
  EXPECT_FALSE(p.OpenFolderA("C:\\Windows\\Temp\\link", &folder));
  ASSERT_TRUE(p.OpenFolderA("C:\\Windows\\Temp\\new", &folder));
  bool administrators = false;
  ASSERT_TRUE(p.GetSecurityInfo(folder, &administrators));
  EXPECT_TRUE(administrators);
  EXPECT_FALSE(p.RemoveDirectoryA("C:\\Windows\\Temp\\new"));
  Handle file = 0;
  ASSERT_TRUE(p.CreateNewFileA("C:\\Windows\\Temp\\new\\a", &file));
  EXPECT_FALSE(p.CreateNewFileA("C:\\Windows\\Temp\\new\\a", &file));
  EXPECT_TRUE(p.WriteFile(file, "abc", 3));
  EXPECT_TRUE(p.WriteFile(file, "de", 2));
  EXPECT_EQ(p.Find("C:\\Windows\\Temp\\new\\a")->content, "abcde");
  EXPECT_EQ(p.Find("C:\\Windows\\Temp\\new\\a")->writers,
            p.Find("C:\\Windows\\Temp\\new")->writers);
  p.CloseHandle(folder);
  ASSERT_TRUE(p.OpenFolderA("C:\\Elsewhere", &folder));
  ASSERT_TRUE(p.GetSecurityInfo(folder, &administrators));
  EXPECT_FALSE(administrators);  // a user made it
}

// A shared open holds nothing; a node kept from everyone refuses opens and
// reads until the clock, moved by Sleep, reaches its time.
TEST(SimulatedPlatformTest, SharedOpensAndLockedFiles) {
  SimulatedPlatform p;
  p.AddFile("C:\\Kit\\data.exe", "bytes");
  p.SetLocked("C:\\Kit\\data.exe", 100);
  Handle file = 0;
  EXPECT_EQ(p.OpenFileShared("C:\\Kit\\data.exe", &file), OpenResult::InUse);
  EXPECT_FALSE(p.CreateFileA("C:\\Kit\\data.exe", false, &file));
  p.Sleep(100);
  ASSERT_EQ(p.OpenFileShared("C:\\Kit\\data.exe", &file), OpenResult::Opened);
  EXPECT_TRUE(p.WriteByOtherProcess("C:\\Kit\\data.exe", "other"));
  p.SetLocked("C:\\Kit\\data.exe", 200);
  char buffer[8];
  std::uint32_t read = 0;
  EXPECT_FALSE(p.ReadFile(file, buffer, sizeof(buffer), &read));
  EXPECT_EQ(p.OpenFileShared("C:\\Kit\\none", &file), OpenResult::Failed);
}

// Deletions kept for the restart happen then, in order: a folder whose
// files were scheduled before it goes too, one that still holds others
// stays.
TEST(SimulatedPlatformTest, DeletionsAtTheNextRestart) {
  SimulatedPlatform p;
  p.AddFile("C:\\Cache\\a");
  p.AddFile("C:\\Full\\a");
  p.AddFile("C:\\Full\\b");
  for (const char* path :
       {"C:\\Cache\\a", "C:\\Cache", "C:\\Full\\a", "C:\\Full"}) {
    EXPECT_TRUE(p.MoveFileExA(path));
  }
  EXPECT_FALSE(p.MoveFileExA("C:\\None"));
  EXPECT_TRUE(p.Exists("C:\\Cache\\a"));
  p.Restart();
  EXPECT_FALSE(p.Exists("C:\\Cache"));
  EXPECT_FALSE(p.Exists("C:\\Full\\a"));
  EXPECT_TRUE(p.Exists("C:\\Full\\b"));
}

}  // namespace
