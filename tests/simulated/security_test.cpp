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

}  // namespace
