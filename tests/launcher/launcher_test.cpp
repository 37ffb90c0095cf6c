#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "kit/kit_trust.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

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

// The mutex inside the private namespace, and that namespace's boundary.
const char kPrivateMutex[] =
    "InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";
const char kBoundary[] =
    "InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

// The claim comes first. Held by another launcher, or refused, it ends the
// run there; failing for any other reason, it lets the whole job run. An
// elevated launcher claims in the private namespace, where no squatter of
// the plain name reaches, and falls back to the plain name when any step of
// the namespace fails, never calling a step after a failed one. An elevated
// launcher on the plain name alone (its own namespace failed) also stops an
// elevated one: what Administrators own, no user can have made.
TEST_F(LauncherTest, OneLauncherAtATime) {
  enum class Other { None, Holds, Denies, Elevated, Linked };
  struct Case {
    const char* what;
    bool elevated;
    bool namespaces;  // the calls exist and work
    Other plain;      // another process on the plain name
    Other inside;     // another elevated launcher in the namespace
    bool made;        // the namespace exists, made by another process
    Op failing;       // Op::exit: none
    bool runs;
  };
  const Case cases[] = {
      {"free", false, true, Other::None, Other::None, false, Op::exit, true},
      {"plain held", false, true, Other::Holds, Other::None, false, Op::exit,
       false},
      {"plain refused", false, true, Other::Denies, Other::None, false,
       Op::exit, false},
      {"plain fails", false, true, Other::None, Other::None, false,
       Op::CreateMutexA, true},
      {"elevated, free", true, true, Other::None, Other::None, false, Op::exit,
       true},
      {"elevated, plain squatted", true, true, Other::Holds, Other::None, false,
       Op::exit, true},
      {"elevated, plain squatted with a denying DACL", true, true,
       Other::Denies, Other::None, false, Op::exit, true},
      {"elevated, another elevated launcher", true, true, Other::None,
       Other::Holds, false, Op::exit, false},
      {"elevated, refused in the namespace", true, true, Other::None,
       Other::Denies, false, Op::exit, false},
      {"elevated, namespace left by another", true, true, Other::Holds,
       Other::None, true, Op::exit, true},
      {"elevated, an elevated launcher on the plain name alone", true, true,
       Other::Elevated, Other::None, false, Op::exit, false},
      {"elevated, the plain name's owner unknown", true, true, Other::Elevated,
       Other::None, false, Op::GetKernelObjectSecurity, true},
      {"elevated, the plain name a user's link to a service's mutex", true,
       true, Other::Linked, Other::None, false, Op::exit, true},
      {"elevated, no namespace calls (Wine, XP)", true, false, Other::Holds,
       Other::None, false, Op::exit, false},
      {"elevated, SID refused", true, true, Other::Holds, Other::None, false,
       Op::AddSIDToBoundaryDescriptor, false},
      {"elevated, namespace refused", true, true, Other::Holds, Other::None,
       false, Op::CreatePrivateNamespaceW, false},
      {"elevated, existing namespace not opened", true, true, Other::Holds,
       Other::Holds, false, Op::OpenPrivateNamespaceW, false},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe");
    p.AddFile(kM32 + "\\setup.exe");
    p.administrator = c.elevated;
    p.private_namespaces = c.namespaces;
    if (c.plain != Other::None) {
      p.AddMutex(kMutex, c.plain == Other::Denies, "",
                 c.plain == Other::Holds ? "user" : "SYSTEM",
                 c.plain == Other::Linked ? "\\BaseNamedObjects\\Service" : "");
    }
    if (c.inside != Other::None) {
      p.AddMutex(kPrivateMutex, c.inside == Other::Denies, kBoundary);
    }
    if (c.made) p.AddPrivateNamespace(kBoundary);
    if (c.failing != Op::exit) p.FailOn(c.failing);
    EXPECT_EQ(LauncherMain(p, KitTrust()), 0) << c.what;
    EXPECT_EQ(p.processes().size(), c.runs ? 2u : 0u) << c.what;
    EXPECT_EQ(p.Exists(kM32), !c.runs) << c.what;
    EXPECT_EQ(p.exited(), c.runs) << c.what;
    // A step runs only after the one before it succeeded.
    std::vector<Op> ops = p.ops();
    // No DLL from the current folder, from the first call on.
    EXPECT_EQ(ops.front(), Op::SetDefaultDllDirectories) << c.what;
    auto count = [&ops](Op op) {
      return std::count(ops.begin(), ops.end(), op);
    };
    EXPECT_EQ(count(Op::CreateBoundaryDescriptorW), c.elevated ? 1 : 0)
        << c.what;
    if (!c.namespaces) {
      EXPECT_EQ(count(Op::AddSIDToBoundaryDescriptor), 0) << c.what;
    }
    if (c.failing == Op::AddSIDToBoundaryDescriptor) {
      EXPECT_EQ(count(Op::CreatePrivateNamespaceW), 0) << c.what;
    }
    // Never closed: held through the uninstaller's wait and data.exe's
    // start. An elevated launcher also holds the plain name where it can,
    // so that an unelevated one beside it waits.
    if (c.runs && c.plain == Other::None && c.failing == Op::exit) {
      EXPECT_TRUE(p.HoldsMutex(kMutex)) << c.what;
    }
    if (c.runs && c.elevated && c.namespaces && c.failing == Op::exit) {
      EXPECT_TRUE(p.HoldsMutex(kPrivateMutex, kBoundary)) << c.what;
    }
  }
}

KitPin PinOf(const std::string& content) {
  return KitPin{true, Sha256Of(content.data(), content.size()), content.size()};
}

// A pinned kit runs only as it was built: each pinned file present, opened
// and unchanged, with its folders held. Otherwise nothing is removed or
// started, and every hold is released. While the uninstaller runs, another
// process can neither change data.exe nor move it or its folder, so the
// verified file is what starts.
TEST_F(LauncherTest, PinnedKitRunsOnlyAsItWasBuilt) {
  const std::string kKit = "D:\\Setup\\";
  const std::string kData = "MZ new installer";
  struct Case {
    const char* what;
    const char* missing;  // file removed before the run
    const char* changed;  // file whose bytes differ, its size kept
    const char* in_use;   // file another process has open for writing
    const char* refused;  // path whose open fails
    bool runs;
    bool grown = false;  // data.exe one byte longer: refused unread
  };
  const Case cases[] = {
      {"as built", "", "", "", "", true},
      {"data.exe missing", "data.exe", "", "", "", false},
      {"setup.iss missing", "setup.iss", "", "", "", false},
      {"uninstall.iss missing", "uninstall.iss", "", "", "", false},
      {"data.exe changed", "", "data.exe", "", "", false},
      {"setup.iss changed", "", "setup.iss", "", "", false},
      {"uninstall.iss changed", "", "uninstall.iss", "", "", false},
      {"data.exe open elsewhere", "", "", "data.exe", "", false},
      {"launcher folder refused", "", "", "", "D:\\Setup", false},
      {"data.exe of another size", "", "", "", "", false, true},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    p.command_line = "launcher x";
    p.AddFile(kKit + "data.exe", kData);
    p.AddFile(kKit + "setup.iss", "install answers");
    p.AddFile(kKit + "uninstall.iss", "uninstall answers");
    KitPins pins{PinOf(kData), PinOf("install answers"),
                 PinOf("uninstall answers")};
    if (*c.missing != '\0') p.Remove(kKit + c.missing);
    if (*c.changed != '\0') {
      std::size_t size = p.Find(kKit + c.changed)->content.size();
      p.AddFile(kKit + c.changed, std::string(size, '#'));
    }
    if (c.grown) p.AddFile(kKit + "data.exe", kData + "x");
    if (*c.in_use != '\0') p.SetInUse(kKit + c.in_use);
    if (*c.refused != '\0') p.FailOn(Op::CreateFileA, c.refused);
    p.AddFile(kM32 + "\\setup.exe");
    std::vector<bool> attacks;
    p.programs[kM32 + "\\setup.exe"] = [&p, &attacks, &kKit] {
      attacks = {p.WriteByOtherProcess(kKit + "data.exe", "MZ planted"),
                 p.RenameByOtherProcess(kKit + "data.exe", kKit + "old.exe"),
                 p.DeleteByOtherProcess(kKit + "data.exe"),
                 p.RenameByOtherProcess("D:\\Setup", "D:\\Moved"),
                 p.Held(kKit + "setup.iss")};
    };
    SimulatedPlatform::Tree before = p.tree();
    EXPECT_EQ(LauncherMain(p, pins), 0) << c.what;
    EXPECT_EQ(p.open_files(), 0u) << c.what;
    if (!c.runs) {
      EXPECT_EQ(p.tree(), before) << c.what;
      EXPECT_TRUE(p.processes().empty()) << c.what;
      std::vector<Op> ops = p.ops();
      EXPECT_TRUE(!c.grown ||
                  std::count(ops.begin(), ops.end(), Op::ReadFile) == 0)
          << c.what;
      continue;
    }
    EXPECT_EQ(attacks, std::vector<bool>({false, false, false, false, true}));
    ASSERT_EQ(p.processes().size(), 2u);
    EXPECT_EQ(p.processes()[0].image, kKit + "data.exe");
    EXPECT_EQ(p.Find(kKit + "data.exe")->content, kData);
    EXPECT_FALSE(p.Exists(kM32));
    EXPECT_FALSE(p.called_after_exit());
  }
}

// A data.exe with the launcher's own bytes would start the launcher again
// and again: the run stops before anything is removed. Only equal sizes
// lead to a comparison of the bytes.
TEST_F(LauncherTest, LauncherShippedAsItsOwnDataExeStartsNothing) {
  const std::string& image = platform_.Find("D:\\Setup\\launcher.exe")->content;
  std::string same_size = "MZ" + std::string(image.size() - 2, 'x');
  for (const std::string& data : {image, same_size, image + "x"}) {
    SimulatedPlatform p;
    p.AddFile("D:\\Setup\\data.exe", data);
    p.AddFile(kM32 + "\\setup.exe");
    LauncherMain(p, KitTrust());
    bool copy = data == image;
    EXPECT_EQ(p.Exists(kM32), copy);
    EXPECT_EQ(p.processes().size(), copy ? 0u : 2u);
    std::vector<Op> ops = p.ops();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::OpenFileShared),
              data.size() == image.size() ? 2 : 0);
  }
  // A data.exe that is a link to the launcher is read as a start finds it.
  SimulatedPlatform p;
  p.AddLink("D:\\Setup\\data.exe", "D:\\Setup\\launcher.exe", false);
  p.AddFile(kM32 + "\\setup.exe");
  LauncherMain(p, KitTrust());
  EXPECT_TRUE(p.Exists(kM32));
  EXPECT_TRUE(p.processes().empty());
}

// Unelevated, a pinned kit is held by name, and a hold on a link keeps the
// link, not where it leads: whoever can write it can point it elsewhere
// between the check and the start. So a kit path through a link (the
// launcher folder or a folder above it) starts nothing.
TEST_F(LauncherTest, PinnedKitThroughALinkStartsNothing) {
  const std::string kData = "MZ new installer";
  const struct {
    std::string L;     // the launcher's folder
    std::string link;  // a junction on its path to D:\Real, "" for none
  } cases[] = {{"D:\\Setup", ""},
               {"D:\\Setup", "D:\\Setup"},
               {"D:\\Kits\\Setup", "D:\\Kits"}};
  for (const auto& c : cases) {
    SimulatedPlatform p;
    p.Remove("D:\\Setup");
    p.module_file_name = c.L + "\\launcher.exe";
    std::string rest = c.L.substr(c.link.size()) + "\\";
    std::string real = c.link.empty() ? c.L + "\\" : "D:\\Real" + rest;
    if (!c.link.empty()) p.AddLink(c.link, "D:\\Real", true);
    p.AddFile(real + "launcher.exe", "MZ launcher image");
    p.AddFile(real + "data.exe", kData);
    p.AddFile("D:\\Evil" + rest + "data.exe", "MZ planted");
    p.AddFile(kM32 + "\\setup.exe");
    p.programs[kM32 + "\\setup.exe"] = [&p, &c] {
      EXPECT_EQ(p.RepointByOtherProcess(c.link, "D:\\Evil"), !c.link.empty());
    };
    KitPins pins;
    pins.data = PinOf(kData);
    LauncherMain(p, pins);
    bool runs = c.link.empty();
    EXPECT_EQ(p.processes().size(), runs ? 2u : 0u) << c.link;
    EXPECT_NE(p.Exists(kM32), runs) << c.link;
    EXPECT_EQ(p.open_files(), 0u) << c.link;
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
    EXPECT_EQ(LauncherMain(p, KitTrust()), 0);
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
  EXPECT_EQ(LauncherMain(platform_, KitTrust()), 0);
  std::size_t probe = IndexOf(Op::PathFileExistsA, "C:\\Windows\\SysWOW64");
  EXPECT_LT(probe, IndexOf(Op::GetCommandLineA));
  EXPECT_LT(IndexOf(Op::GetCommandLineA), IndexOf(Op::PathFileExistsA, kM64));
  EXPECT_EQ(platform_.ops().back(), Op::exit);
  EXPECT_EQ(platform_.calls()[IndexOf(Op::CreateProcessSuspendedA)].first,
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
    LauncherMain(p, KitTrust());
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
  EXPECT_EQ(LauncherMain(platform_, KitTrust()), 0);
  EXPECT_TRUE(platform_.processes().empty());
  EXPECT_FALSE(platform_.exited());
}

TEST_F(LauncherTest, FolderWithASpaceNeverRunsAShorterHead) {
  SimulatedPlatform p;
  p.module_file_name = "C:\\My Setup\\launcher.exe";
  p.command_line = "\"C:\\My Setup\\launcher.exe\" x";
  p.AddFile(p.module_file_name, "MZ launcher image");
  p.AddFile("C:\\My Setup\\data.exe");
  p.AddFile("C:\\My.exe");
  LauncherMain(p, KitTrust());
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
      p.AddFile(folder + "\\launcher.exe", "MZ launcher image");
      p.AddFile(folder + "\\data.exe");
      p.AddFile(folder + "\\uninstall.iss");
    }
    p.SetShortName(kit, short_name);
    p.AddFile(kM32 + "\\setup.exe");
    SimulatedPlatform::Tree before = p.tree();
    EXPECT_EQ(LauncherMain(p, KitTrust()), 0);
    for (const auto& call : p.calls()) {
      EXPECT_EQ(call.first.find("C:\\Kit"), std::string::npos) << call.first;
    }
    if (short_name.empty()) {
      EXPECT_EQ(p.tree(), before);
      EXPECT_TRUE(p.processes().empty());
      continue;
    }
    ASSERT_EQ(p.processes().size(), 2u);
    EXPECT_EQ(p.processes()[0].image, kit + "\\data.exe");
    EXPECT_EQ(p.processes()[0].command_line,
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
  EXPECT_EQ(LauncherMain(p, KitTrust()), 0);
  EXPECT_TRUE(p.processes().empty());
  EXPECT_TRUE(p.Exists(kM32 + "\\setup.exe"));
  EXPECT_FALSE(p.exited());
}

// The old version goes only once the new installer can run: data.exe is
// started suspended first and runs after the removal, which it never sees.
// One that is there but that Windows will not start, and a launcher that
// cannot see its own folder, leave the old version in place; so does one
// that cannot be seen (access denied, a network path gone); a missing
// data.exe does not. (A failed start or resume: the fault injection.)
TEST_F(LauncherTest, OldVersionStaysUntilTheNewInstallerHasStarted) {
  struct Case {
    const char* what;
    const char* data;    // its content; null: missing
    bool refused;        // by policy
    bool other_session;  // the launcher's drive is its user's, not ours
    bool removed;
    bool unseen = false;  // its query fails for another reason than absence
  };
  const Case cases[] = {
      {"data.exe starts", "MZ", false, false, true},
      {"data.exe a text file", "[answers]", false, false, false},
      {"data.exe refused by policy", "MZ", true, false, false},
      {"data.exe missing", nullptr, false, false, true},
      {"data.exe not to be seen", nullptr, false, false, false, true},
      {"launcher on another session's drive", "MZ", false, true, false},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    const std::string kit = c.other_session ? "Z:\\Kit" : "D:\\Setup";
    p.module_file_name = kit + "\\launcher.exe";
    p.AddFile(p.module_file_name, "MZ launcher image");
    if (c.other_session) p.absent_drives.insert("Z:");
    const std::string data = kit + "\\data.exe";
    if (c.data != nullptr) p.AddFile(data, c.data);
    if (c.refused) p.refused_programs.insert(data);
    if (c.unseen) p.FailOn(SimulatedPlatform::Op::GetFilePresence, data);
    p.AddFile(kM32 + "\\setup.exe");
    bool old_seen = false;
    p.programs[data] = [&p, &old_seen] { old_seen = p.Exists(kM32); };
    LauncherMain(p, KitTrust());
    EXPECT_EQ(p.Exists(kM32), !c.removed) << c.what;
    EXPECT_EQ(p.processes().size(), c.removed ? 1u + p.exited() : 0u) << c.what;
    EXPECT_EQ(p.exited(), c.data != nullptr && c.removed) << c.what;
    EXPECT_FALSE(old_seen) << c.what;
  }
}

}  // namespace
