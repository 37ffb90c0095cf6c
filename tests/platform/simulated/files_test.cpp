// The file tree: attributes, links, copies. The simulated platform is only
// useful while it behaves as Windows does; these cases pin the behaviours the
// launcher's correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedPlatformTest, DeletionRefusals) {
  SimulatedPlatform p;
  p.AddFile("C:\\t\\ro", "", kAttributeReadOnly);
  p.AddFile("C:\\t\\busy");
  p.SetInUse("C:\\t\\busy");
  p.AddFolder("C:\\t\\rodir", kAttributeReadOnly);
  EXPECT_FALSE(p.DeleteFileA("C:\\t\\ro"));
  EXPECT_FALSE(p.DeleteFileA("C:\\t\\busy"));
  EXPECT_FALSE(p.DeleteFileA("C:\\t\\rodir"));       // a folder is no file
  EXPECT_FALSE(p.RemoveDirectoryA("C:\\t\\ro"));     // a file is no folder
  EXPECT_FALSE(p.RemoveDirectoryA("C:\\t\\rodir"));  // read-only folder
  EXPECT_FALSE(p.RemoveDirectoryA("C:\\t"));         // not empty
  EXPECT_FALSE(p.RemoveDirectoryA("C:\\"));          // a drive root
  EXPECT_TRUE(p.SetFileAttributesA("C:\\t\\rodir", kAttributeNormal));
  EXPECT_EQ(p.GetFileAttributesA("C:\\t\\rodir"), kAttributeDirectory);
  EXPECT_TRUE(p.RemoveDirectoryA("C:\\t\\rodir"));
  EXPECT_TRUE(p.SetFileAttributesA("C:\\t\\ro", kAttributeNormal));
  EXPECT_EQ(p.GetFileAttributesA("C:\\t\\ro"), kAttributeNormal);
  EXPECT_TRUE(p.DeleteFileA("C:\\t\\ro"));
}

TEST(SimulatedPlatformTest, LinksAreFollowedInsideAPathButRemovedAsLinks) {
  SimulatedPlatform p;
  p.AddFile("E:\\outside\\keep.txt", "data");
  p.AddLink("C:\\t\\link", "E:\\outside", true);
  p.AddLink("C:\\t\\flink", "E:\\outside\\keep.txt", false);
  EXPECT_TRUE(p.PathFileExistsA("C:\\t\\link\\keep.txt"));
  EXPECT_EQ(p.GetFileAttributesA("C:\\t\\link"),
            kAttributeDirectory | kAttributeReparsePoint);
  EXPECT_FALSE(p.DeleteFileA("C:\\t\\link"));
  EXPECT_TRUE(p.DeleteFileA("C:\\t\\flink"));
  EXPECT_TRUE(
      p.RemoveDirectoryA("C:\\t\\link"));  // though the target is not empty
  EXPECT_TRUE(p.Exists("E:\\outside\\keep.txt"));
}

TEST(SimulatedPlatformTest, CopyNeverOverwritesWhenAskedNotTo) {
  SimulatedPlatform p;
  p.AddFile("C:\\a", "new");
  p.AddFile("C:\\b", "old");
  EXPECT_FALSE(p.CopyFileA("C:\\a", "C:\\b", true));
  EXPECT_EQ(p.Find("C:\\b")->content, "old");
  EXPECT_TRUE(p.CopyFileA("C:\\a", "C:\\c", true));
  EXPECT_EQ(p.Find("C:\\c")->content, "new");
  EXPECT_FALSE(p.CopyFileA("C:\\missing", "C:\\d", true));
  EXPECT_FALSE(p.CopyFileA("C:\\a", "C:\\nofolder\\d", true));
}

// A query of a path that names nothing tells whether its folder is there,
// as GetFileAttributesA's ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND do;
// a drive the session lacks has no folders, and a failed query no answer.
TEST(SimulatedPlatformTest, PresenceTellsAMissingNameFromAMissingFolder) {
  SimulatedPlatform p;
  p.AddFile("D:\\Setup\\data.exe");
  p.absent_drives.insert("Z:");
  p.FailOn(SimulatedPlatform::Op::GetFilePresence, "D:\\Setup\\locked.exe");
  const std::pair<const char*, Presence> cases[] = {
      {"D:\\Setup\\data.exe", Presence::There},
      {"D:\\Setup\\other.exe", Presence::NotThere},
      {"D:\\Gone\\data.exe", Presence::NoFolder},
      {"Z:\\Setup\\data.exe", Presence::NoFolder},
      {"D:\\Setup\\locked.exe", Presence::Unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(p.GetFilePresence(c.first), c.second) << c.first;
  }
}

}  // namespace
