// Owners and DACLs as data, folders made by this process, appended files.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

TEST(SimulatedSecurityTest, WhoCanChangeWhat) {
  SimulatedPlatform p;
  p.AddFolder("C:\\open");
  p.SetSecurity("C:\\open", "Administrators", {"SYSTEM", "Users"});
  p.AddFolder("C:\\mine");
  p.SetSecurity("C:\\mine", "admin", {"admin"});
  p.AddFolder("C:\\target");
  p.AddLink("C:\\link", "C:\\target", true);
  p.AddFile("C:\\target\\twice.log");
  p.SetNames("C:\\target\\twice.log", 2);
  struct Case {
    const char* path;
    bool found, folder, link, others;
    std::uint32_t names;
  };
  const Case cases[] = {
      {"C:\\Windows\\Logs", true, true, false, false, 1},
      {"C:\\open", true, true, false, true, 1},
      {"C:\\mine", true, true, false, false, 1},  // the process's own user
      {"C:\\link", true, true, true, false, 1},   // the link, not its target
      {"C:\\link\\twice.log", true, false, false, false, 2},
      {"C:\\none", false, false, false, false, 0},
  };
  for (const Case& c : cases) {
    FileSecurity s;
    ASSERT_EQ(p.GetFileSecurityA(c.path, &s), c.found) << c.path;
    if (!c.found) continue;
    EXPECT_EQ(s.folder, c.folder) << c.path;
    EXPECT_EQ(s.link, c.link) << c.path;
    EXPECT_EQ(s.others_can_write, c.others) << c.path;
    EXPECT_EQ(s.names, c.names) << c.path;
  }
  // A made folder is the launcher's; an existing one is never taken over.
  EXPECT_EQ(p.CreateDirectoryA("C:\\open\\new"), FolderResult::Created);
  EXPECT_EQ(p.Find("C:\\open\\new")->writers,
            (std::vector<std::string>{"SYSTEM", "Administrators"}));
  EXPECT_EQ(p.CreateDirectoryA("C:\\open"), FolderResult::AlreadyExists);
  EXPECT_EQ(p.CreateDirectoryA("C:\\missing\\new"), FolderResult::Failed);
  // Appending: never through a link or to a file of several names; a new
  // file takes its folder's writers.
  Handle file = 0;
  EXPECT_FALSE(p.OpenAppendFileA("C:\\link\\twice.log", &file));
  p.AddLink("C:\\open\\x.log", "C:\\mine\\x.log", false);
  EXPECT_FALSE(p.OpenAppendFileA("C:\\open\\x.log", &file));
  EXPECT_FALSE(p.Exists("C:\\mine\\x.log"));
  ASSERT_TRUE(p.OpenAppendFileA("C:\\open\\y.log", &file));
  EXPECT_TRUE(p.WriteFile(file, "ab", 2));
  EXPECT_TRUE(p.WriteFile(file, "c", 1));
  EXPECT_EQ(p.Find("C:\\open\\y.log")->content, "abc");
  EXPECT_EQ(p.Find("C:\\open\\y.log")->writers,
            (std::vector<std::string>{"SYSTEM", "Users"}));
}

// A new folder takes any name but one in use, a link's included; opened as
// itself it is never a link's target, and held it cannot be removed.
TEST(SimulatedPlatformTest, NewFoldersAndTheirOpens) {
  SimulatedPlatform p;
  p.AddFolder("C:\\Elsewhere");
  p.SetSecurity("C:\\Elsewhere", "alice", {"alice"});
  p.AddLink("C:\\Windows\\Temp\\link", "C:\\Elsewhere", true);
  EXPECT_EQ(p.CreateDirectoryA("C:\\Windows\\Temp\\link"),
            FolderResult::AlreadyExists);
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
  EXPECT_EQ(p.Find("C:\\Windows\\Temp\\new\\a")->writers,
            p.Find("C:\\Windows\\Temp\\new")->writers);
  ASSERT_TRUE(p.GetProtectedDacl(folder, &administrators));
  EXPECT_TRUE(administrators);
  p.CloseHandle(folder);
  ASSERT_TRUE(p.OpenFolderA("C:\\Elsewhere", &folder));
  ASSERT_TRUE(p.GetSecurityInfo(folder, &administrators));
  EXPECT_FALSE(administrators);  // a user made it
  ASSERT_TRUE(p.GetProtectedDacl(folder, &administrators));
  EXPECT_FALSE(administrators);
  // Until it is held, a new folder can be swapped for another; the owner
  // and the DACL, read through the handle, tell.
  ASSERT_EQ(p.CreateDirectoryA("C:\\Windows\\Temp\\fresh"),
            FolderResult::Created);
  ASSERT_TRUE(p.RenameByOtherProcess("C:\\Windows\\Temp\\fresh",
                                     "C:\\Windows\\Temp\\away"));
  p.AddFolder("C:\\Windows\\Temp\\fresh");
  p.SetSecurity("C:\\Windows\\Temp\\fresh", "Administrators",
                {"SYSTEM", "Administrators", "Users"}, true);
  ASSERT_TRUE(p.OpenFolderA("C:\\Windows\\Temp\\fresh", &folder));
  ASSERT_TRUE(p.GetSecurityInfo(folder, &administrators));
  EXPECT_TRUE(administrators);
  ASSERT_TRUE(p.GetProtectedDacl(folder, &administrators));
  EXPECT_FALSE(administrators);  // Users may write it
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
