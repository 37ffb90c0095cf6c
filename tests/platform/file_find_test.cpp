#include "platform/file_find.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

class FileFindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_.AddFile("C:\\t\\a.txt");
    platform_.AddFile("C:\\t\\b");
    platform_.AddFolder("C:\\t\\c");
  }

  // The names a whole walk handles, in order.
  std::vector<std::string> Walk(const std::string& pattern) {
    std::vector<std::string> names;
    CFileFind find(platform_);
    for (bool more = find.FindFile(pattern.c_str()); more;) {
      more = find.FindNextFile();
      names.push_back(find.GetFileName() + (find.IsDots() ? "*" : ""));
    }
    return names;
  }

  SimulatedPlatform platform_;
};

TEST_F(FileFindTest, WalkHandlesTheLastEntryAfterTheFinalAdvance) {
  EXPECT_EQ(Walk("C:\\t\\*.*"),
            (std::vector<std::string>{".*", "..*", "a.txt", "b", "c"}));
  EXPECT_EQ(Walk("C:\\t\\b"), (std::vector<std::string>{"b"}));
  EXPECT_TRUE(Walk("C:\\t\\missing").empty());
  EXPECT_EQ(platform_.open_searches(), 0u);
}

TEST_F(FileFindTest, NoEntryIsCurrentUntilTheFirstAdvance) {
  CFileFind find(platform_);
  ASSERT_TRUE(find.FindFile("C:\\t\\*.*"));
  EXPECT_EQ(find.GetFileName(), "");
  EXPECT_FALSE(find.IsDots());
  EXPECT_FALSE(find.MatchesMask(kAttributeDirectory));
  EXPECT_TRUE(find.FindNextFile());
  EXPECT_TRUE(find.IsDots());
}

TEST_F(FileFindTest, MatchesMaskAndDotsReadTheCurrentEntry) {
  platform_.AddFolder("C:\\u\\..x");
  platform_.AddFile("C:\\u\\r", "", kAttributeReadOnly);
  CFileFind find(platform_);
  ASSERT_TRUE(find.FindFile("C:\\u\\*.*"));
  find.FindNextFile();  // .
  find.FindNextFile();  // ..
  find.FindNextFile();  // ..x: a folder, but not a dots entry
  EXPECT_EQ(find.GetFileName(), "..x");
  EXPECT_FALSE(find.IsDots());
  EXPECT_TRUE(find.MatchesMask(kAttributeDirectory));
  EXPECT_FALSE(find.FindNextFile());  // r
  EXPECT_FALSE(find.MatchesMask(kAttributeDirectory));
  EXPECT_TRUE(find.MatchesMask(kAttributeReadOnly | kAttributeDirectory));
  // Past the end nothing is current.
  EXPECT_FALSE(find.FindNextFile());
  EXPECT_EQ(find.GetFileName(), "");
}

TEST_F(FileFindTest, FailedFetchEndsTheWalkAfterTheCurrentEntry) {
  platform_.FailOn(Op::FindNextFileA);
  // The first advance makes "." current and its fetch of ".." fails.
  EXPECT_EQ(Walk("C:\\t\\*.*"), (std::vector<std::string>{".*"}));
  EXPECT_EQ(platform_.open_searches(), 0u);
}

TEST_F(FileFindTest, CloseIsIdempotentAndNewSearchClosesTheOld) {
  {
    CFileFind find(platform_);
    ASSERT_TRUE(find.FindFile("C:\\t\\*.*"));
    ASSERT_TRUE(find.FindFile("C:\\t\\a.txt"));  // closes the first
    EXPECT_EQ(platform_.open_searches(), 1u);
    find.FindNextFile();
    find.Close();
    find.Close();
    EXPECT_EQ(find.GetFileName(), "");
  }  // and the destructor does not close again
  std::vector<Op> ops = platform_.ops();
  EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::FindClose), 2);
  EXPECT_EQ(platform_.open_searches(), 0u);
}

TEST_F(FileFindTest, DestructorClosesAnOpenSearch) {
  {
    CFileFind find(platform_);
    find.FindFile("C:\\t\\*.*");
  }
  EXPECT_EQ(platform_.open_searches(), 0u);
}

TEST_F(FileFindTest, PatternsAtThePathLimitAreRefusedWithoutAPlatformCall) {
  std::string folder = "C:\\" + std::string(252, 'd');
  platform_.AddFile(folder + "\\x");
  CFileFind find(platform_);
  EXPECT_TRUE(find.FindFile((folder + "\\*.*").c_str()));    // 259 characters
  EXPECT_FALSE(find.FindFile((folder + "\\*.**").c_str()));  // 260
  EXPECT_EQ(platform_.ops().size(), 2u);  // the first search and its close
  EXPECT_EQ(find.GetFileName(), "");
}

}  // namespace
