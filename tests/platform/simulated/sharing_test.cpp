// Held files and other processes. The simulated platform is only useful while
// it behaves as Windows does; these cases pin the behaviours the launcher's
// correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

// A file opened with read sharing only, as Windows keeps it: nobody writes,
// replaces, renames or deletes it, nor renames the folder above it, while
// reading, copying from it and starting it still work. Closing releases it.
TEST(SimulatedPlatformTest, HeldFilesRefuseChangeUntilClosed) {
  SimulatedPlatform p;
  p.AddFile("C:\\Kit\\data.exe", "MZ installer");
  p.AddFile("C:\\other.exe", "other");
  Handle file = 0;
  Handle folder = 0;
  ASSERT_TRUE(p.CreateFileA("C:\\kit\\DATA.EXE", false, &file));
  EXPECT_FALSE(p.CreateFileA("C:\\Kit", false, &folder));  // not a file
  ASSERT_TRUE(p.CreateFileA("C:\\Kit", true, &folder));
  EXPECT_FALSE(p.WriteByOtherProcess("C:\\Kit\\data.exe", "planted"));
  EXPECT_FALSE(p.RenameByOtherProcess("C:\\Kit\\data.exe", "C:\\Kit\\x"));
  EXPECT_FALSE(p.DeleteByOtherProcess("C:\\Kit\\data.exe"));
  EXPECT_FALSE(p.DeleteFileA("C:\\Kit\\data.exe"));
  EXPECT_FALSE(p.CopyFileA("C:\\other.exe", "C:\\Kit\\data.exe", false));
  EXPECT_FALSE(p.RenameByOtherProcess("C:\\Kit", "C:\\Moved"));
  EXPECT_TRUE(p.WriteByOtherProcess("C:\\Kit\\new.txt", "beside it"));
  EXPECT_TRUE(p.CopyFileA("C:\\Kit\\data.exe", "C:\\copy.exe", true));
  ProcessInformation info;
  std::string line = "data.exe";
  EXPECT_TRUE(
      p.CreateProcessA("C:\\Kit\\data.exe", line.data(), nullptr, &info));
  std::string whole;  // read in pieces to its end, unchanged
  char bytes[4];
  for (std::uint32_t read = 1; read != 0;) {
    ASSERT_TRUE(p.ReadFile(file, bytes, sizeof(bytes), &read));
    whole.append(bytes, read);
  }
  EXPECT_EQ(whole, "MZ installer");
  EXPECT_TRUE(p.CloseHandle(file));
  EXPECT_TRUE(p.CloseHandle(folder));
  EXPECT_EQ(p.open_files(), 0u);
  EXPECT_TRUE(p.WriteByOtherProcess("C:\\Kit\\data.exe", "planted"));
  EXPECT_TRUE(p.RenameByOtherProcess("C:\\Kit", "C:\\Moved"));
  EXPECT_EQ(p.Find("C:\\Moved\\data.exe")->content, "planted");
  // A file another process has open for writing refuses the open.
  p.SetInUse("C:\\other.exe");
  EXPECT_FALSE(p.CreateFileA("C:\\other.exe", false, &file));
}

// A hold keeps a name: a link at the end of the path is held itself, so it
// can be neither renamed nor deleted, but whoever can write it can point
// it elsewhere, and the path then names what it points to.
TEST(SimulatedPlatformTest, HeldLinksCanBeRepointed) {
  SimulatedPlatform p;
  p.AddFile("C:\\Real\\data.exe", "genuine");
  p.AddFile("C:\\Evil\\data.exe", "planted");
  p.AddLink("C:\\Kit", "C:\\Real", true);
  Handle link = 0;
  ASSERT_TRUE(p.CreateFileA("C:\\Kit", true, &link));
  HandleInformation info;
  ASSERT_TRUE(p.GetFileInformationByHandle(link, &info));
  EXPECT_EQ(info.attributes, kAttributeDirectory | kAttributeReparsePoint);
  EXPECT_TRUE(p.Held("C:\\Kit"));
  EXPECT_FALSE(p.Held("C:\\Real"));
  EXPECT_FALSE(p.RenameByOtherProcess("C:\\Kit", "C:\\Moved"));
  EXPECT_FALSE(p.DeleteByOtherProcess("C:\\Kit"));
  EXPECT_TRUE(p.RepointByOtherProcess("C:\\Kit", "C:\\Evil"));
  EXPECT_FALSE(p.RepointByOtherProcess("C:\\Real", "C:\\Evil"));
  EXPECT_EQ(p.Find("C:\\Kit\\data.exe")->content, "planted");
}

}  // namespace
