#include "launcher/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/simulated/simulated_platform.h"
#include "random_tree.h"

namespace {

using Op = SimulatedPlatform::Op;

class FolderTreeTest : public ::testing::Test {
 protected:
  std::size_t Count(Op op) const {
    std::vector<Op> ops = platform_.ops();
    return static_cast<std::size_t>(std::count(ops.begin(), ops.end(), op));
  }
  SimulatedPlatform platform_;
};

TEST_F(FolderTreeTest, RemovesWhatThePlatformAllows) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> read_only;
    bool removed;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"empty folder", {}, {}, true, {}},
      {"one file", {"a.txt"}, {}, true, {}},
      {"names without dots", {"README", "sub\\Makefile"}, {}, true, {}},
      {"nested three levels",
       {"a\\b\\c\\deep.txt", "a\\top.txt"},
       {},
       true,
       {}},
      {"read-only file",
       {"a\\b\\other.txt", "keep.txt"},
       {"a\\b\\locked.txt"},
       false,
       {"a\\b\\locked.txt", "a\\b", "a"}},
      // "?.txt" in the code page, with no short name to use instead.
      {"no exact name",
       {"b\\\xe4\xb8\xad.txt"},
       {},
       false,
       {"b\\\xe4\xb8\xad.txt", "b"}},
      {"double-byte name", {"a\x81\x7c"}, {}, true, {}},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.lead_bytes.set(0x81);  // "\x81\x7c" is one character
    const std::string top = "C:\\T";
    p.AddFolder(top);
    for (const std::string& f : c.files) p.AddFile(top + "\\" + f);
    for (const std::string& f : c.read_only) {
      p.AddFile(top + "\\" + f, "", kAttributeReadOnly);
    }
    EXPECT_EQ(DeleteFolderTree(p, top), c.removed) << c.name;
    EXPECT_EQ(p.Exists(top), !c.removed) << c.name;
    std::size_t below = 0;
    for (const auto& entry : p.tree()) {
      if (entry.first.rfind(top + "\\", 0) == 0) ++below;
    }
    EXPECT_EQ(below, c.left.size()) << c.name;
    for (const std::string& f : c.left)
      EXPECT_TRUE(p.Exists(top + "\\" + f)) << f;
    for (const std::string& f : c.read_only) {
      EXPECT_EQ(p.Find(top + "\\" + f)->attributes, kAttributeReadOnly);
    }
    EXPECT_EQ(p.open_searches(), 0u) << c.name;
  }
}

TEST_F(FolderTreeTest,
       InnermostFolderRemovedFirstAndSearchClosedBeforeRemoval) {
  platform_.AddFile("C:\\T\\a\\b\\c\\f");
  EXPECT_TRUE(DeleteFolderTree(platform_, "C:\\T"));
  std::vector<std::string> removed;
  for (const auto& call : platform_.calls()) {
    if (call.op == Op::RemoveDirectoryA) removed.push_back(call.first);
  }
  EXPECT_EQ(removed, (std::vector<std::string>{"C:\\T\\a\\b\\c", "C:\\T\\a\\b",
                                               "C:\\T\\a", "C:\\T"}));
  // Each removal directly follows the close of that folder's search.
  const auto& calls = platform_.calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].op == Op::RemoveDirectoryA) {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(calls[i - 1].op, Op::FindClose) << calls[i].first;
    }
  }
}

TEST_F(FolderTreeTest, PathsThatAreNotFolders) {
  platform_.AddFile("C:\\file.txt", "x");
  EXPECT_FALSE(DeleteFolderTree(platform_, "C:\\file.txt"));
  EXPECT_TRUE(platform_.Exists("C:\\file.txt"));
  EXPECT_FALSE(DeleteFolderTree(platform_, "C:\\missing"));
}

TEST_F(FolderTreeTest, LinksAreRemovedNeverFollowed) {
  platform_.AddFile("E:\\data\\precious.doc", "keep");
  platform_.AddFile("E:\\data\\sub\\more.doc", "keep");
  platform_.AddFile("C:\\T\\a.txt");
  platform_.AddLink("C:\\T\\junction", "E:\\data", true);
  platform_.AddLink("C:\\T\\sub\\file-link", "E:\\data\\precious.doc", false);
  platform_.AddLink("C:\\Top", "E:\\data", true);
  SimulatedPlatform::Tree outside = platform_.tree();

  EXPECT_TRUE(DeleteFolderTree(platform_, "C:\\T"));
  EXPECT_TRUE(DeleteFolderTree(platform_, "C:\\Top"));
  EXPECT_FALSE(platform_.Exists("C:\\T"));
  EXPECT_FALSE(platform_.Exists("C:\\Top"));
  for (const auto& call : platform_.calls()) {
    EXPECT_EQ(call.first.find("E:"), std::string::npos);
    EXPECT_NE(call.first, "C:\\Top\\*.*");
  }
  for (const char* path : {"E:\\data", "E:\\data\\precious.doc",
                           "E:\\data\\sub", "E:\\data\\sub\\more.doc"}) {
    ASSERT_TRUE(platform_.Exists(path)) << path;
    EXPECT_EQ(*platform_.Find(path), outside.at(path)) << path;
  }
}

TEST_F(FolderTreeTest, OverlongPathsStayWithoutOverflow) {
  // Short enough to list, too long for the platform to delete by path.
  std::string folder = "C:\\T\\" + std::string(240, 'x');
  platform_.AddFile(folder + "\\" + std::string(30, 'n') + ".txt");
  platform_.AddFile(folder + "\\short.txt");
  platform_.AddFile("C:\\T\\" + std::string(198, 'f'));  // past 199, deletable
  EXPECT_FALSE(DeleteFolderTree(platform_, "C:\\T"));
  EXPECT_TRUE(platform_.Exists(folder + "\\" + std::string(30, 'n') + ".txt"));
  EXPECT_FALSE(platform_.Exists(folder + "\\short.txt"));
  EXPECT_FALSE(platform_.Exists("C:\\T\\" + std::string(198, 'f')));
}

TEST_F(FolderTreeTest, CostIsOneCallPerEntryAndTwoPerFolder) {
  // 3 folders below the top, 7 files.
  for (const char* f : {"1", "2", "a\\3", "a\\4", "a\\b\\5", "c\\6", "c\\7"}) {
    platform_.AddFile(std::string("C:\\T\\") + f);
  }
  EXPECT_TRUE(DeleteFolderTree(platform_, "C:\\T"));
  const std::size_t folders = 4;
  const std::size_t files = 7;
  const std::size_t entries = files + (folders - 1) + 2 * folders;  // with dots
  EXPECT_EQ(Count(Op::GetFileAttributesA), 1u);  // the top, once
  EXPECT_EQ(Count(Op::GetCPInfo), 1u);           // the code page, once
  EXPECT_EQ(Count(Op::FindFirstFileA), folders);
  EXPECT_EQ(Count(Op::FindFirstFileA) + Count(Op::FindNextFileA),
            entries + folders);  // each advance, and each final failed fetch
  EXPECT_EQ(Count(Op::FindClose), folders);
  EXPECT_EQ(Count(Op::DeleteFileA), files);
  EXPECT_EQ(Count(Op::RemoveDirectoryA), folders);
  EXPECT_EQ(platform_.calls().size(), 2 + 3 * folders + entries + files);
}

TEST_F(FolderTreeTest, UsableEntryNames) {
  LeadBytes lead;
  lead.set(0x81);  // "\x81\x5c" is one character, as in Shift-JIS
  const struct {
    const char* name;
    bool usable;
  } cases[] = {
      {"a.txt", true},    {"...x", true},      {" -~!@#$%^&()", true},
      {"\x81\x5c", true}, {"\x82\x5c", false}, {"", false},
      {"..", false},      {"...", false},      {"a.", false},
      {"a ", false},      {"a\\b", false},     {"a/b", false},
      {"a:b", false},     {"*", false},        {"a?", false},
      {"\"<>|", false},   {"a\tb", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUsableEntryName(c.name, lead), c.usable)
        << "[" << c.name << "]";
  }
  EXPECT_FALSE(IsUsableEntryName("\x81\x5c", LeadBytes()));
}

// Random trees with read-only files, links to folders outside and names too
// long for the platform: see RandomTree for what must hold.
TEST_F(FolderTreeTest, RandomTreesProperty) {
  // A fixed seed keeps a failure reproducible.
  std::mt19937 random(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
  auto next = [&random](std::size_t n) { return random() % n; };
  for (int round = 0; round < 300; ++round) {
    SimulatedPlatform p;
    RandomTree tree;
    tree.Build(p, next);
    EXPECT_EQ(tree.Check(p, DeleteFolderTree(p, tree.top)), "")
        << "round " << round;
  }
}

}  // namespace
