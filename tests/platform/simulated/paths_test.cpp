// Paths and the ANSI code page. The simulated platform is only useful while it
// behaves as Windows does; these cases pin the behaviours the launcher's
// correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedPlatformTest, PathsAreCaseInsensitiveAndSeparatorsCollapse) {
  SimulatedPlatform p;
  p.AddFile("C:\\Data\\File.TXT");
  for (const char* path :
       {"c:\\data\\file.txt", "C:/DATA/file.txt", "C:\\\\Data\\\\File.TXT",
        "C:\\Data\\.\\x\\..\\File.txt"}) {
    EXPECT_TRUE(p.PathFileExistsA(path)) << path;
  }
  p.current_directory = "C:\\Data";
  EXPECT_TRUE(p.PathFileExistsA("file.txt"));
  EXPECT_FALSE(p.PathFileExistsA(""));
}

TEST(SimulatedPlatformTest, AnsiCallsRefusePathsAtTheLimit) {
  SimulatedPlatform p;
  std::string folder = "C:\\" + std::string(245, 'd');
  p.AddFile(folder + "\\ok.txt");           // 255 characters
  p.AddFile(folder + "\\longer-name.txt");  // 264: made by other means
  EXPECT_TRUE(p.PathFileExistsA((folder + "\\ok.txt").c_str()));
  EXPECT_FALSE(p.PathFileExistsA((folder + "\\longer-name.txt").c_str()));
  EXPECT_FALSE(p.DeleteFileA((folder + "\\longer-name.txt").c_str()));
  EXPECT_TRUE(p.Exists(folder + "\\longer-name.txt"));
}

// Renderings as 64-bit Wine's ANSI calls gave them in code page 1252. Only
// exact names are given out: the long name, else the short one, else none.
TEST(SimulatedPlatformTest, NamesGivenOutAreExactOrNone) {
  struct Case {
    const char* name;
    const char* short_name;
    const char* rendering;
    const char* listed;  // as "long|short"
  };
  const Case cases[] = {
      {"plain.txt", "", "plain.txt", "plain.txt|"},
      {"Long name.txt", "LONGNA~1.TXT", "Long name.txt",
       "Long name.txt|LONGNA~1.TXT"},
      {"\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\xbc\xef\xbc\x8e\xef\xbc\x8e"
       "\xef\xbc\xbc"
       "escape.txt",  // full-width "..\..\"
       "", "..\\..\\escape.txt", "|"},
      {"\xef\xbc\xab\xef\xbd\x89\xef\xbd\x94", "KIT~1", "Kit", "|KIT~1"},
      {"\xce\xa9mega", "", "Omega", "|"},
      {"\xe4\xb8\xad\xe6\x96\x87.txt", "__~1.TXT", "??.txt", "|__~1.TXT"},
      // Bytes that are no UTF-8 stand for themselves (a double-byte name).
      {"a\x81\x7c", "", "a\x81\x7c", "a\x81\x7c|"},
  };
  SimulatedPlatform p;
  for (const Case& c : cases) {
    EXPECT_EQ(SimulatedPlatform::AnsiRendering(c.name), c.rendering);
    const std::string path = std::string("C:\\t\\") + c.name;
    p.AddFile(path);
    p.SetShortName(path, c.short_name);
    Handle search = 0;
    FolderEntry entry;
    ASSERT_TRUE(p.FindFirstFileA(path.c_str(), &search, &entry)) << c.listed;
    p.FindClose(search);
    EXPECT_EQ(entry.name + "|" + entry.short_name, c.listed);
    // A short name stands for its part of a path.
    std::string alias = std::string("c:\\T\\") + c.short_name;
    if (*c.short_name != '\0') {
      EXPECT_TRUE(p.PathFileExistsA(alias.c_str()));
    }
  }
}

}  // namespace
