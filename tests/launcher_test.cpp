#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "maintenance_folders.h"
#include "platform/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM32 = kMaintenance32;
const std::string& kM64 = kMaintenance64;
const char kSilentLine[] = "D:\\Setup\\data.exe -s -f1\"D:\\Setup\\setup.iss\"";
const char kMutex[] =
    "Global\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() {
    platform_.AddFile("D:\\Setup\\data.exe");
    platform_.AddFile("D:\\Setup\\setup.iss");
  }
  void Make64Bit() { platform_.AddFolder("C:\\Windows\\SysWOW64"); }

  std::size_t IndexOf(Op op, const std::string& first = "") const {
    const auto& calls = platform_.calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].op == op && (first.empty() || calls[i].first == first)) {
        return i;
      }
    }
    return calls.size();
  }

  SimulatedPlatform platform_;
};

// The claim is the first call. Held by another launcher, or refused, it ends
// the run there; failing for any other reason, it lets the whole job run.
TEST_F(LauncherTest, OneLauncherAtATime) {
  enum class Claim { Free, HeldElsewhere, AccessDenied, Fails };
  for (Claim claim :
       {Claim::Free, Claim::HeldElsewhere, Claim::AccessDenied, Claim::Fails}) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe");
    p.AddFile(kM32 + "\\setup.exe");
    if (claim == Claim::HeldElsewhere) p.AddMutex(kMutex);
    if (claim == Claim::AccessDenied) p.AddMutex(kMutex, true);
    if (claim == Claim::Fails) p.FailOn(Op::CreateMutexA);
    bool runs = claim == Claim::Free || claim == Claim::Fails;
    std::string context = "claim " + std::to_string(static_cast<int>(claim));
    EXPECT_EQ(LauncherMain(p), 0) << context;
    ASSERT_FALSE(p.calls().empty());
    EXPECT_EQ(p.calls()[0].op, Op::CreateMutexA) << context;
    EXPECT_EQ(p.calls()[0].first, kMutex) << context;
    EXPECT_EQ(p.calls().size() > 1, runs) << context;
    EXPECT_EQ(p.processes().size(), runs ? 2u : 0u) << context;
    EXPECT_EQ(p.Exists(kM32), !runs) << context;
    EXPECT_EQ(p.exited(), runs) << context;
    // Never closed: held through the uninstaller's wait and data.exe's start.
    if (claim == Claim::Free) {
      EXPECT_TRUE(p.HoldsMutex(kMutex));
    }
  }
}

TEST_F(LauncherTest, WidthFromTheProbeFolder) {
  struct Case {
    const char* system_directory;
    bool syswow64;
    bool fail_query;
    bool is32Bit;
  };
  const Case cases[] = {
      {"C:\\Windows\\system32", false, false, true},
      {"C:\\Windows\\system32", true, false, false},
      // Windows in a folder of another name: the probe finds nothing.
      {"C:\\WINNT\\system32", false, false, true},
      // No system directory: the probe is relative to the current folder.
      {"C:\\Windows\\system32", true, true, true},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.system_directory = c.system_directory;
    if (c.syswow64) p.AddFolder("C:\\Windows\\SysWOW64");
    if (c.fail_query) p.FailOn(Op::GetSystemDirectoryA);
    EXPECT_EQ(Is32BitWindows(p), c.is32Bit) << c.system_directory;
  }
  SimulatedPlatform p;
  p.AddFolder("C:\\Users\\admin\\Windows\\SysWOW64");
  p.FailOn(Op::GetSystemDirectoryA);
  EXPECT_FALSE(Is32BitWindows(p));
}

TEST_F(LauncherTest, ModeByArgumentCountSelectsTheCommandLine) {
  struct Case {
    const char* command_line;
    const char* data_line;
  };
  const Case cases[] = {
      {"\"D:\\Setup\\launcher.exe\"", "data.exe"},
      {"\"D:\\Setup\\launcher.exe\" /anything", kSilentLine},
      {"\"D:\\Setup\\launcher.exe\" \"\"", kSilentLine},
      {"launcher *.*", kSilentLine},  // never expanded as a wildcard
      {"\"D:\\Setup\\launcher.exe\" a b", "data.exe"},
      {"launcher \"a\"\" b\"", "data.exe"},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe");
    p.command_line = c.command_line;
    EXPECT_EQ(LauncherMain(p), 0);
    ASSERT_EQ(p.processes().size(), 1u) << c.command_line;
    EXPECT_EQ(p.processes()[0].image, "D:\\Setup\\data.exe");
    EXPECT_EQ(p.processes()[0].command_line, c.data_line) << c.command_line;
    EXPECT_TRUE(p.exited());
    EXPECT_EQ(p.exit_code(), 0);
    EXPECT_FALSE(p.called_after_exit());
  }
}

TEST_F(LauncherTest, WidthProbedBeforeArgumentsAndLineComposedFirst) {
  Make64Bit();
  platform_.command_line = "launcher x";
  EXPECT_EQ(LauncherMain(platform_), 0);
  std::size_t probe = IndexOf(Op::PathFileExistsA, "C:\\Windows\\SysWOW64");
  EXPECT_LT(probe, IndexOf(Op::GetCommandLineA));
  EXPECT_LT(IndexOf(Op::GetCommandLineA), IndexOf(Op::PathFileExistsA, kM64));
  EXPECT_EQ(platform_.ops().back(), Op::exit);
  EXPECT_EQ(platform_.calls()[IndexOf(Op::CreateProcessA)].first,
            "D:\\Setup\\data.exe");
}

TEST_F(LauncherTest, OnlyTheMaintenanceFolderOfTheWidthIsLookedAt) {
  for (bool is64 : {false, true}) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe");
    if (is64) p.AddFolder("C:\\Windows\\SysWOW64");
    // The other width's folder, with an uninstaller that must not run.
    const std::string& other = is64 ? kM32 : kM64;
    p.AddFile(other + "\\setup.exe");
    LauncherMain(p);
    EXPECT_TRUE(p.Exists(other + "\\setup.exe"));
    ASSERT_EQ(p.processes().size(), 1u);
    EXPECT_EQ(p.processes()[0].image, "D:\\Setup\\data.exe");
    std::vector<Op> ops = p.ops();
    for (Op op : {Op::CopyFileA, Op::SetFileAttributesA, Op::DeleteFileA,
                  Op::RemoveDirectoryA, Op::FindFirstFileA}) {
      EXPECT_EQ(std::count(ops.begin(), ops.end(), op), 0)
          << SimulatedPlatform::Name(op);
    }
  }
}

TEST_F(LauncherTest, MissingDataExeIsAFailedStartNotASearch) {
  platform_.Remove("D:\\Setup\\data.exe");
  platform_.AddFile("C:\\Users\\admin\\data.exe");  // current folder
  platform_.AddFile("C:\\Windows\\data.exe");
  EXPECT_EQ(LauncherMain(platform_), 0);
  EXPECT_TRUE(platform_.processes().empty());
  EXPECT_FALSE(platform_.exited());
}

TEST_F(LauncherTest, FolderWithASpaceNeverRunsAShorterHead) {
  SimulatedPlatform p;
  p.module_file_name = "C:\\My Setup\\launcher.exe";
  p.command_line = "\"C:\\My Setup\\launcher.exe\" x";
  p.AddFile("C:\\My Setup\\data.exe");
  p.AddFile("C:\\My.exe");
  LauncherMain(p);
  ASSERT_EQ(p.processes().size(), 1u);
  EXPECT_EQ(p.processes()[0].image, "C:\\My Setup\\data.exe");
  EXPECT_EQ(p.processes()[0].command_line,
            "C:\\My Setup\\data.exe -s -f1\"C:\\My Setup\\setup.iss\"");
}

// A launcher in C:\Ｋｉｔ would read its folder as C:\Kit by best fit. It
// uses the folder's exact short path when there is one, and otherwise does
// nothing at all.
TEST_F(LauncherTest, LauncherFolderOnlyByAnExactName) {
  const std::string kit = "C:\\\xef\xbc\xab\xef\xbd\x89\xef\xbd\x94";
  for (const std::string short_name : {"KIT~1", ""}) {
    SimulatedPlatform p;
    p.module_file_name = kit + "\\launcher.exe";
    p.command_line = "launcher x";
    for (const std::string& folder : {kit, std::string("C:\\Kit")}) {
      p.AddFile(folder + "\\launcher.exe");
      p.AddFile(folder + "\\data.exe");
      p.AddFile(folder + "\\uninstall.iss");
    }
    p.SetShortName(kit, short_name);
    p.AddFile(kM32 + "\\setup.exe");
    SimulatedPlatform::Tree before = p.tree();
    EXPECT_EQ(LauncherMain(p), 0);
    for (const auto& call : p.calls()) {
      EXPECT_EQ(call.first.find("C:\\Kit"), std::string::npos) << call.first;
    }
    if (short_name.empty()) {
      EXPECT_EQ(p.tree(), before);
      EXPECT_TRUE(p.processes().empty());
      continue;
    }
    ASSERT_EQ(p.processes().size(), 2u);
    EXPECT_EQ(p.processes()[1].image, kit + "\\data.exe");
    EXPECT_EQ(p.processes()[1].command_line,
              "C:\\KIT~1\\data.exe -s -f1\"C:\\KIT~1\\setup.iss\"");
    EXPECT_FALSE(p.Exists(kM32));
  }
}

TEST_F(LauncherTest, UnknownLauncherFolderStartsAndRemovesNothing) {
  SimulatedPlatform p;
  // Cut short inside its folder name, the module name would seem to lie in
  // D:\aaa..., beside a data.exe that is not the launcher's.
  std::string outer = "D:\\" + std::string(100, 'a');
  p.module_file_name = outer + "\\" + std::string(200, 'b') + "\\launcher.exe";
  p.AddFile(outer + "\\data.exe");
  p.AddFile(kM32 + "\\setup.exe");
  EXPECT_EQ(LauncherMain(p), 0);
  EXPECT_TRUE(p.processes().empty());
  EXPECT_TRUE(p.Exists(kM32 + "\\setup.exe"));
  EXPECT_FALSE(p.exited());
}

}  // namespace
