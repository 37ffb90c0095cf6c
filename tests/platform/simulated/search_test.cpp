// Folder search. The simulated platform is only useful while it behaves as
// Windows does; these cases pin the behaviours the launcher's correctness
// depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedPlatformTest, SearchListsDotsThenEntriesInNameOrder) {
  SimulatedPlatform p;
  p.AddFile("C:\\t\\b");
  p.AddFile("C:\\t\\A.txt");
  p.AddFolder("C:\\t\\c");
  Handle search = 0;
  FolderEntry entry;
  std::vector<std::string> names;
  for (bool ok = p.FindFirstFileA("C:\\t\\*.*", &search, &entry); ok;
       ok = p.FindNextFileA(search, &entry)) {
    names.push_back(entry.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.txt", "b", "c"}));
  EXPECT_TRUE(p.FindClose(search));
  EXPECT_FALSE(p.FindClose(search));
  // Drive roots list no dots; a file is no folder to search in.
  ASSERT_TRUE(p.FindFirstFileA("C:\\*.*", &search, &entry));
  EXPECT_NE(entry.name, ".");
  p.FindClose(search);
  EXPECT_FALSE(p.FindFirstFileA("C:\\t\\b\\*.*", &search, &entry));
  EXPECT_FALSE(p.FindFirstFileA("C:\\t\\*.x", &search, &entry));
}

}  // namespace
