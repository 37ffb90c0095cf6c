// The simulated platform is only useful while it behaves as Windows does;
// these cases pin the behaviours the launcher's correctness depends on.
#include "platform/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

using Op = SimulatedPlatform::Op;

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

TEST(SimulatedPlatformTest, ProgramResolutionWithoutApplicationName) {
  struct Case {
    std::vector<std::string> programs;
    const char* line;
    const char* image;  // "" when nothing starts
  };
  const Case cases[] = {
      // Unquoted heads with spaces: shortest first, ".exe" added.
      {{"C:\\Program.exe", "C:\\Program Files\\x\\setup.exe"},
       "C:\\Program Files\\x\\setup.exe -s",
       "C:\\Program.exe"},
      {{"C:\\Program Files\\x\\setup.exe"},
       "C:\\Program Files\\x\\setup.exe -s",
       "C:\\Program Files\\x\\setup.exe"},
      {{"C:\\Program Files\\x\\setup.exe"},
       "\"C:\\Program Files\\x\\setup.exe\" -s",
       "C:\\Program Files\\x\\setup.exe"},
      {{}, "C:\\Program Files\\x\\setup.exe -s", ""},
      // A bare name: beside the launcher first, then the current folder...
      {{"D:\\Setup\\data.exe", "C:\\Users\\admin\\data.exe"},
       "data.exe",
       "D:\\Setup\\data.exe"},
      {{"C:\\Users\\admin\\data.exe"},
       "data.exe",
       "C:\\Users\\admin\\data.exe"},
      // ...then the system folders.
      {{"C:\\Windows\\data.exe"}, "data.exe", "C:\\Windows\\data.exe"},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    for (const std::string& program : c.programs) p.AddFile(program);
    std::string line = c.line;
    ProcessInformation info;
    bool started = p.CreateProcessA(nullptr, line.data(), nullptr, &info);
    EXPECT_EQ(started, *c.image != '\0') << c.line;
    if (started) {
      EXPECT_EQ(p.processes().back().image, c.image) << c.line;
      EXPECT_EQ(p.processes().back().command_line, c.line);
    }
  }
}

TEST(SimulatedPlatformTest, ApplicationNameIsNeverSearchedFor) {
  SimulatedPlatform p;
  p.AddFile("C:\\Users\\admin\\data.exe");
  p.AddFile("C:\\My.exe");
  std::string line = "C:\\My Setup\\data.exe -s";
  ProcessInformation info;
  EXPECT_FALSE(
      p.CreateProcessA("D:\\Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_FALSE(
      p.CreateProcessA("C:\\My Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_TRUE(p.processes().empty());
  p.AddFile("C:\\My Setup\\data.exe");
  // A child starts in the folder it is given, which must exist, or in ours.
  EXPECT_FALSE(p.CreateProcessA("C:\\My Setup\\data.exe", line.data(),
                                "C:\\Nowhere", &info));
  EXPECT_TRUE(p.CreateProcessA("C:\\My Setup\\data.exe", line.data(),
                               "c:\\windows\\SYSTEM32", &info));
  EXPECT_EQ(p.processes().back().current_directory, "C:\\Windows\\system32");
  EXPECT_TRUE(
      p.CreateProcessA("C:\\My Setup\\data.exe", line.data(), nullptr, &info));
  EXPECT_EQ(p.processes().back().current_directory, "C:\\Users\\admin");
  EXPECT_EQ(p.WaitForSingleObject(info.process, kInfinite), kWaitObject0);
  EXPECT_TRUE(p.CloseHandle(info.process));
  EXPECT_EQ(p.WaitForSingleObject(info.process, kInfinite), kWaitFailed);
  EXPECT_FALSE(p.CloseHandle(info.process));
}

TEST(SimulatedPlatformTest, NamedMutexesLastWhileAHandleIsOpen) {
  SimulatedPlatform p;
  p.AddMutex("Global\\held");
  p.AddMutex("Global\\other-user", true);
  Handle first = 0;
  Handle second = 0;
  Handle other = 0;
  EXPECT_EQ(p.CreateMutexA("Global\\m", &first), MutexResult::Created);
  EXPECT_EQ(p.CreateMutexA("Global\\m", &second), MutexResult::AlreadyExists);
  EXPECT_NE(first, second);
  EXPECT_EQ(p.CreateMutexA("Global\\M", &other), MutexResult::Created);
  EXPECT_TRUE(p.CloseHandle(first));
  EXPECT_TRUE(p.HoldsMutex("Global\\m"));
  EXPECT_TRUE(p.CloseHandle(second));
  EXPECT_FALSE(p.HoldsMutex("Global\\m"));
  EXPECT_EQ(p.CreateMutexA("Global\\m", &first), MutexResult::Created);
  EXPECT_EQ(p.CreateMutexA("Global\\held", &other), MutexResult::AlreadyExists);
  // Refused, the call hands out no handle.
  Handle unset = 7;
  EXPECT_EQ(p.CreateMutexA("Global\\other-user", &unset),
            MutexResult::AccessDenied);
  EXPECT_EQ(unset, 7u);
}

// A file opened with read sharing only, as Windows keeps it: nobody writes,
// replaces, renames or deletes it, nor renames the folder above it, while
// reading, copying from it and starting it still work. Closing releases it.
TEST(SimulatedPlatformTest, HeldFilesRefuseChangeUntilClosed) {
  SimulatedPlatform p;
  p.AddFile("C:\\Kit\\data.exe", "installer");
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
  EXPECT_EQ(whole, "installer");
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

// Only a token with Administrators enabled creates or opens the namespace
// whose boundary holds that SID; inside it, names are apart from the plain
// ones.
TEST(SimulatedPlatformTest, PrivateNamespacesAdmitAdministratorsAlone) {
  for (bool administrator : {false, true}) {
    SimulatedPlatform p;
    p.administrator = administrator;
    p.AddMutex("Global\\m");
    Handle boundary = 0;
    Handle ns = 0;
    ASSERT_TRUE(p.CreateBoundaryDescriptorW("b", &boundary));
    ASSERT_TRUE(p.AddSIDToBoundaryDescriptor(&boundary));
    p.AddPrivateNamespace("b");
    EXPECT_EQ(p.CreatePrivateNamespaceW(boundary, "a", &ns),
              administrator ? NamespaceResult::AlreadyExists
                            : NamespaceResult::Failed);
    EXPECT_EQ(p.OpenPrivateNamespaceW(boundary, "a", &ns), administrator);
    Handle mutex = 0;
    p.CreateMutexA("a\\m", &mutex);  // inside only where it was opened
    EXPECT_EQ(p.HoldsMutex("m", "b"), administrator);
  }
}

TEST(SimulatedPlatformTest, RecordsCallsAndFailsThemOnRequest) {
  SimulatedPlatform p;
  p.AddFile("C:\\a");
  p.AddFile("C:\\b");
  p.failing_calls.insert(1);
  p.FailOn(Op::PathFileExistsA, "c:\\B");
  EXPECT_TRUE(p.DeleteFileA("C:\\a"));
  EXPECT_FALSE(p.GetFileAttributesA("C:\\b") != kInvalidFileAttributes);
  EXPECT_FALSE(p.PathFileExistsA("C:\\b"));
  EXPECT_TRUE(p.PathFileExistsA("C:\\Windows"));
  ASSERT_EQ(p.calls().size(), 4u);
  EXPECT_EQ(p.calls()[0].op, Op::DeleteFileA);
  EXPECT_EQ(p.calls()[0].first, "C:\\a");
  EXPECT_EQ(std::string(SimulatedPlatform::Name(p.calls()[1].op)),
            "GetFileAttributesA");
  p.exit(0);
  EXPECT_FALSE(p.called_after_exit());
  p.PathFileExistsA("C:\\");
  EXPECT_TRUE(p.called_after_exit());
}

}  // namespace
