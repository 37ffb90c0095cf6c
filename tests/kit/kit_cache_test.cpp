#include "kit/kit_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "kit/kit_trust.h"
#include "launcher/launcher.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM = kMaintenance32;
const std::string kKit = "D:\\Setup\\";
// The launcher's own folder for caches, which it makes when it is missing.
const std::string kTemp = "C:\\Windows\\InstallerLauncherKits";
const std::string kSystemTemp = "C:\\Windows\\SystemTemp";
// The first name the simulated generator's count gives.
const std::string kFirstCache =
    kTemp + "\\InstallerLauncherKit-0001020304050607";
// Larger than one read (1 MiB), so that a change can come between two.
const std::string kData = "MZ" + std::string(1 << 20, 'd');

KitPin PinOf(const std::string& content) {
  return KitPin{true, Sha256Of(content.data(), content.size()), content.size()};
}

const KitPins kPins{PinOf(kData), PinOf("install answers"),
                    PinOf("uninstall answers")};

// An elevated run's machine: the pinned kit, a previous installation.
std::unique_ptr<SimulatedPlatform> Machine() {
  auto p = std::make_unique<SimulatedPlatform>();
  p->administrator = true;
  p->command_line = "launcher x";
  p->AddFile(kKit + "data.exe", kData);
  p->AddFile(kKit + "setup.iss", "install answers");
  p->AddFile(kKit + "uninstall.iss", "uninstall answers");
  p->AddFile(kM + "\\setup.exe");
  p->AddFile("C:\\Program Files\\Other\\keep.txt");
  return p;
}

// `folder` as only administrators can have made it: owned by them, with a
// protected DACL that lets nobody else write.
void AdministratorsOnly(SimulatedPlatform& p, const std::string& folder) {
  p.AddFolder(folder);
  p.SetSecurity(folder, "SYSTEM", {"SYSTEM", "Administrators"}, true);
}

bool IsCacheKey(const std::string& key) {
  return key.rfind(kTemp + "\\InstallerLauncherKit-", 0) == 0;
}
// Whether a cache is left, but for the one named `except`.
bool AnyCache(const SimulatedPlatform& p, const std::string& except = "") {
  return std::any_of(p.tree().begin(), p.tree().end(), [&](const auto& entry) {
    return IsCacheKey(entry.first) &&
           (except.empty() || entry.first.rfind(except, 0) != 0);
  });
}

// Between the cache's creation and its opening, another process puts a
// folder of `owner` in its place: a folder that is not protected, as only
// CreateDirectoryA's own is.
void SwapBeforeOpen(SimulatedPlatform& p, const std::string& owner,
                    const std::vector<std::string>& writers) {
  p.meanwhile = [&p, owner, writers,
                 done = false](const SimulatedPlatform::Call& call) mutable {
    if (done || call.op != Op::OpenFolderA || call.first != kFirstCache) {
      return;
    }
    done = true;
    p.Remove(kFirstCache);
    p.AddFolder(kFirstCache);
    p.SetSecurity(kFirstCache, owner, writers);
  };
}

// Every folder named for deletion at the next restart is still there, so
// that nobody can put a link in its place (its files may have gone).
void ExpectNamedCachesKept(const SimulatedPlatform& p,
                           const std::string& context) {
  const std::size_t name = sizeof("InstallerLauncherKit-") - 1 + 16;
  for (const std::string& path : p.pending_deletions()) {
    std::size_t at = path.find("InstallerLauncherKit-");
    if (at == std::string::npos) continue;
    EXPECT_TRUE(p.Exists(path.substr(0, at + name))) << context << " " << path;
  }
}

// Elevated, a pinned launcher copies its kit into a fresh folder that only
// administrators can write, and starts the new installer there. Nothing in
// the kit folder is held, so another process's open for writing no longer
// stops it; an exclusive one is waited out for about 10 s. A kit that
// differs, or changes while it is copied, starts nothing and leaves no
// cache.
TEST(KitCacheTest, ElevatedPinnedKitRunsFromAFreshCache) {
  struct Case {
    const char* what;
    std::function<void(SimulatedPlatform&)> arrange;
    std::string cache;  // where data.exe starts; "" when nothing starts
    std::uint64_t waited_ms = 0;
  };
  const Case cases[] = {
      {"as built", [](SimulatedPlatform&) {}, kFirstCache},
      {"data.exe open for writing elsewhere",
       [](SimulatedPlatform& p) { p.SetInUse(kKit + "data.exe"); },
       kFirstCache},
      {"data.exe kept from everyone for 3 s",
       [](SimulatedPlatform& p) { p.SetLocked(kKit + "data.exe", 3000); },
       kFirstCache, 3150},
      {"data.exe kept from everyone for good",
       [](SimulatedPlatform& p) { p.SetLocked(kKit + "data.exe", ~0ull); }, "",
       10000},
      {"setup.iss missing",
       [](SimulatedPlatform& p) { p.Remove(kKit + "setup.iss"); }, ""},
      {"data.exe changed while it is copied",
       [](SimulatedPlatform& p) {
         p.meanwhile = [&p, reads = 0](const auto& call) mutable {
           if (call.op == Op::ReadFile && ++reads == 2) {
             p.WriteByOtherProcess(kKit + "data.exe",
                                   "MZ" + std::string(1 << 20, 'x'));
           }
         };
       },
       ""},
      {"the first name taken by another's folder",
       [](SimulatedPlatform& p) {
         p.random_bytes = std::string(8, '\x11');
         AdministratorsOnly(p, kTemp);
         p.AddFile(kTemp + "\\InstallerLauncherKit-1111111111111111\\x.dll");
         p.SetSecurity(kTemp + "\\InstallerLauncherKit-1111111111111111",
                       "alice", {"alice"});
       },
       kFirstCache},
      {"every name taken",
       [](SimulatedPlatform& p) {
         p.random_bytes = std::string(32, '\x11');
         AdministratorsOnly(p, kTemp);
         p.AddFile(kTemp + "\\InstallerLauncherKit-1111111111111111");
       },
       ""},
      // Users make entries in the Windows folder's Temp, and in a folder
      // whose DACL is not protected; only one no user can ever make a name
      // in serves, or the run is refused.
      {"SystemTemp, administrators' alone, for any elevated run",
       [](SimulatedPlatform& p) { AdministratorsOnly(p, kSystemTemp); },
       kSystemTemp + "\\InstallerLauncherKit-0001020304050607"},
      {"SystemTemp that refuses an administrator's entries",
       [](SimulatedPlatform& p) {
         AdministratorsOnly(p, kSystemTemp);
         p.FailOn(Op::CreateDirectoryA,
                  kSystemTemp + "\\InstallerLauncherKit-0001020304050607");
       },
       kTemp + "\\InstallerLauncherKit-08090a0b0c0d0e0f"},
      {"SystemTemp that others can write: the launcher's own folder",
       [](SimulatedPlatform& p) {
         AdministratorsOnly(p, kSystemTemp);
         p.SetSecurity(kSystemTemp, "SYSTEM", {"SYSTEM", "Users"}, true);
       },
       kFirstCache},
      {"the launcher's own folder made by a user",
       [](SimulatedPlatform& p) {
         p.AddFolder(kTemp);
         p.SetSecurity(kTemp, "alice", {"alice"});
       },
       ""},
      {"the launcher's own folder with a DACL that is not protected",
       [](SimulatedPlatform& p) { p.AddFolder(kTemp); }, ""},
      {"the launcher's own folder a link",
       [](SimulatedPlatform& p) {
         AdministratorsOnly(p, "C:\\Elsewhere");
         p.AddLink(kTemp, "C:\\Elsewhere", true);
       },
       ""},
      {"the cache swapped for a user's folder before it is held",
       [](SimulatedPlatform& p) { SwapBeforeOpen(p, "alice", {"alice"}); }, ""},
      {"the cache swapped for a folder that others can write",
       [](SimulatedPlatform& p) {
         SwapBeforeOpen(p, "Administrators", {"Administrators", "Users"});
       },
       ""},
      {"the cache swapped for a folder whose DACL is not protected",
       [](SimulatedPlatform& p) {
         SwapBeforeOpen(p, "SYSTEM", {"SYSTEM", "Administrators"});
       },
       ""},
  };
  for (const Case& c : cases) {
    auto p = Machine();
    c.arrange(*p);
    SimulatedPlatform::Tree before = p->tree();
    std::string planted;
    p->programs[kM + "\\setup.exe"] = [&] {
      planted = p->Find(kM + "\\uninstall.iss")->content;
      // The kit is no longer held; the copies are.
      EXPECT_TRUE(p->WriteByOtherProcess(kKit + "uninstall.iss", "planted"));
      EXPECT_FALSE(p->WriteByOtherProcess(c.cache + "\\data.exe", "MZ"));
    };
    EXPECT_EQ(LauncherMain(*p, kPins), 0) << c.what;
    EXPECT_EQ(p->now(), c.waited_ms) << c.what;
    EXPECT_EQ(p->open_files(), 0u) << c.what;
    if (c.cache.empty()) {
      EXPECT_TRUE(p->processes().empty()) << c.what;
      EXPECT_FALSE(p->Exists(kFirstCache)) << c.what;
      EXPECT_TRUE(p->Exists(kM + "\\setup.exe")) << c.what;
      continue;
    }
    ASSERT_EQ(p->processes().size(), 2u) << c.what;
    const auto& data = p->processes()[0];
    EXPECT_EQ(data.image, c.cache + "\\data.exe") << c.what;
    EXPECT_EQ(data.current_directory, c.cache) << c.what;
    EXPECT_EQ(data.command_line,
              c.cache + "\\data.exe -s -f1\"" + c.cache + "\\setup.iss\"")
        << c.what;
    EXPECT_EQ(p->Find(c.cache + "\\data.exe")->content, kData) << c.what;
    EXPECT_EQ(p->Find(c.cache)->writers,
              (std::vector<std::string>{"SYSTEM", "Administrators"}))
        << c.what;
    EXPECT_EQ(planted, "uninstall answers") << c.what;
    EXPECT_FALSE(p->Exists(kM)) << c.what;
    for (const auto& entry : before) {
      EXPECT_TRUE(entry.first.rfind(kM, 0) == 0 || p->Exists(entry.first));
    }
    EXPECT_EQ(p->pending_deletions(),
              (std::vector<std::string>{c.cache + "\\data.exe",
                                        c.cache + "\\setup.iss",
                                        c.cache + "\\uninstall.iss", c.cache}))
        << c.what;
    p->Restart();
    EXPECT_FALSE(p->Exists(c.cache)) << c.what;
  }
}

// A kit pinned without setup.iss: elevated and silent, its cache would hand
// data.exe a response file it does not hold, so nothing is removed or
// started; interactive, or unelevated from the kit folder, it runs.
TEST(KitCacheTest, ASilentRunFromACacheNeedsItsSetupIss) {
  const KitPins pins{kPins.data, {}, kPins.uninstall};
  for (bool elevated : {true, false}) {
    for (const char* command_line : {"launcher x", "launcher"}) {
      auto p = Machine();
      p->administrator = elevated;
      p->command_line = command_line;
      LauncherMain(*p, pins);
      bool refused = elevated && std::string(command_line) == "launcher x";
      EXPECT_EQ(p->processes().size(), refused ? 0u : 2u) << command_line;
      EXPECT_EQ(p->Exists(kM + "\\setup.exe"), refused) << command_line;
      EXPECT_FALSE(refused && AnyCache(*p)) << command_line;
    }
  }
}

// Caches that earlier runs left before Windows last started (by more than a
// day) go at the next run's start, unless their data.exe still runs, each
// held until it is empty. One made since is left whole: it may be named for
// deletion at the next restart, and what its data.exe handed its work to
// may still read it. A folder that administrators alone did not make, and
// anything a link leads to, are left alone. Without the tick count nothing
// goes.
TEST(KitCacheTest, OldCachesGoNothingElse) {
  for (bool ticks : {true, false}) {
    auto p = Machine();
    if (!ticks) p->FailOn(Op::GetTickCount64);
    AdministratorsOnly(*p, kTemp);
    const std::string old = kTemp + "\\InstallerLauncherKit-";
    const std::uint64_t kDay = 24ull * 3600 * 1000 * 10000;
    for (const char* name :
         {"aaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbb", "cccccccccccccccc",
          "dddddddddddddddd", "ffffffffffffffff"}) {
      p->AddFolder(old + name);
      p->SetSecurity(old + name, "Administrators", {"SYSTEM", "Administrators"},
                     true);
      p->SetCreated(old + name, p->boot_time - 2 * kDay);
      p->AddFile(old + name + "\\data.exe");
      p->AddFile(old + name + "\\sub\\setup.iss");
    }
    p->SetInUse(old + "bbbbbbbbbbbbbbbb\\data.exe");  // still running
    p->SetSecurity(old + "cccccccccccccccc", "alice", {"alice"});  // a user's
    p->SetCreated(old + "dddddddddddddddd", p->boot_time + 1);  // this start's
    p->SetSecurity(old + "ffffffffffffffff", "Administrators",
                   {"SYSTEM", "Administrators"});  // not protected
    p->AddFile(old + "notacache\\data.exe");       // another name
    p->AddFile("C:\\Important\\data.exe");
    p->AddLink(old + "eeeeeeeeeeeeeeee", "C:\\Important", true);
    bool held = true;
    p->meanwhile = [&](const SimulatedPlatform::Call& call) {
      if (call.op == Op::DeleteFileA && call.first.rfind(old, 0) == 0) {
        held = held && p->Held(call.first.substr(0, old.size() + 16));
      }
    };
    LauncherMain(*p, kPins);
    EXPECT_TRUE(held);
    EXPECT_EQ(p->Exists(old + "aaaaaaaaaaaaaaaa"), !ticks);
    EXPECT_EQ(p->Exists(old + "aaaaaaaaaaaaaaaa\\sub"), !ticks);
    EXPECT_TRUE(p->Exists(old + "bbbbbbbbbbbbbbbb\\sub\\setup.iss"));
    EXPECT_TRUE(p->Exists(old + "cccccccccccccccc\\data.exe"));
    EXPECT_TRUE(p->Exists(old + "dddddddddddddddd\\sub\\setup.iss"));
    EXPECT_TRUE(p->Exists(old + "dddddddddddddddd\\data.exe"));
    EXPECT_TRUE(p->Exists(old + "ffffffffffffffff\\data.exe"));
    EXPECT_TRUE(p->Exists(old + "notacache\\data.exe"));
    EXPECT_FALSE(p->Exists(old + "eeeeeeeeeeeeeeee"));
    EXPECT_TRUE(p->Exists("C:\\Important\\data.exe"));
    ASSERT_EQ(p->processes().size(), 2u);
  }
}

// A folder named for deletion at the next restart stays until then: the
// restart deletes by name, and would follow a link that a user put in its
// place wherever a user could make its name again. So when the
// cached data.exe cannot start, or the cache's own registration fails, its
// files go and the folder stays.
TEST(KitCacheTest, RestartDeletionsNeverFollowALink) {
  const std::string kData = kFirstCache + "\\data.exe";
  struct Case {
    const char* what;
    Op op;
    std::string path;
  };
  const Case cases[] = {
      {"the cached data.exe cannot start", Op::CreateProcessSuspendedA, kData},
      {"the folder's own registration fails", Op::MoveFileExA, kFirstCache},
  };
  for (const Case& c : cases) {
    auto p = Machine();
    p->FailOn(c.op, c.path);
    for (const char* name : {"data.exe", "setup.iss", "uninstall.iss"}) {
      p->AddFile(std::string("C:\\Important\\") + name, "precious");
    }
    LauncherMain(*p, kPins);
    ExpectNamedCachesKept(*p, c.what);
    EXPECT_FALSE(p->Exists(kData)) << c.what;
    if (!p->Exists(kFirstCache)) {
      p->AddLink(kFirstCache, "C:\\Important", true);
    }
    p->Restart();
    for (const char* name : {"data.exe", "setup.iss", "uninstall.iss"}) {
      EXPECT_TRUE(p->Exists(std::string("C:\\Important\\") + name))
          << c.what << " " << name;
    }
  }
}

// The checks that read a held handle (what it is, its owner, its DACL)
// refuse when they cannot be read: nothing is removed or started.
TEST(KitCacheTest, ChecksThatCannotBeReadStartNothing) {
  const Op kChecks[] = {Op::GetFileInformationByHandle, Op::GetSecurityInfo,
                        Op::GetProtectedDacl};
  for (bool elevated : {true, false}) {
    for (Op op : kChecks) {
      auto p = Machine();
      p->administrator = elevated;
      p->FailOn(op);
      LauncherMain(*p, kPins);
      // Elevated, the cache's folder is checked; unelevated, the holds.
      bool checked = elevated == (op != Op::GetFileInformationByHandle);
      std::string context = SimulatedPlatform::Name(op);
      EXPECT_EQ(p->processes().empty(), checked) << context << elevated;
      EXPECT_EQ(p->Exists(kM + "\\setup.exe"), checked) << context;
      EXPECT_EQ(AnyCache(*p), elevated && !checked) << context;
    }
  }
}

// Every call of an elevated pinned run fails in turn, alone: nothing
// outside the maintenance folder and the cache changes, the maintenance
// folder is touched only once the verified copy can start, what starts is
// that copy, and a run that starts nothing leaves no cache behind (but
// where the failed call is one of its deletion). A call the Windows
// realisation finds at run time fails safe when it cannot be found: no
// random bytes, no cache and nothing removed or started; an owner that
// cannot be read, an earlier run's cache kept.
TEST(KitCacheTest, EveryCallFailingAloneKeepsTheCachedRunSound) {
  const std::string old_cache =
      kTemp + "\\InstallerLauncherKit-aaaaaaaaaaaaaaaa";
  auto machine = [&old_cache] {
    auto p = Machine();
    p->AddFile(old_cache + "\\data.exe");
    return p;
  };
  std::size_t total = 0;
  {
    auto p = machine();
    LauncherMain(*p, kPins);
    total = p->calls().size();
  }
  const Op kDeletion[] = {Op::DeleteFileA, Op::RemoveDirectoryA,
                          Op::FindFirstFileA, Op::FindNextFileA,
                          Op::GetFileAttributesA};
  for (std::size_t failing = 0; failing < total; ++failing) {
    auto p = machine();
    p->failing_calls.insert(failing);
    SimulatedPlatform::Tree before = p->tree();
    ASSERT_EQ(LauncherMain(*p, kPins), 0);
    Op failed = p->calls()[failing].op;
    std::string context =
        SimulatedPlatform::Name(failed) + (" #" + std::to_string(failing));
    for (const auto& entry : before) {
      if (entry.first.rfind(kM, 0) == 0) continue;
      if (entry.first.rfind(old_cache, 0) == 0) continue;
      ASSERT_TRUE(p->Exists(entry.first)) << context << " " << entry.first;
      EXPECT_EQ(*p->Find(entry.first), entry.second) << context;
    }
    for (const auto& entry : p->tree()) {
      EXPECT_TRUE(before.count(entry.first) || IsCacheKey(entry.first) ||
                  entry.first.rfind(kM, 0) == 0)
          << context << " left " << entry.first;
    }
    bool started = p->exited();
    bool data_failed =
        failed == Op::CreateProcessSuspendedA || failed == Op::ResumeThread;
    EXPECT_TRUE(started || data_failed || p->Exists(kM + "\\setup.exe"))
        << context;
    bool deletion =
        std::count(std::begin(kDeletion), std::end(kDeletion), failed) != 0;
    // A cache whose deletion at restart was asked for stays until then,
    // emptied; an earlier run's cache is the sweep's to judge.
    bool asked = failed == Op::MoveFileExA || !p->pending_deletions().empty();
    EXPECT_TRUE(started || deletion || !AnyCache(*p, old_cache) ||
                (asked && !p->Exists(kFirstCache + "\\data.exe")))
        << context;
    ExpectNamedCachesKept(*p, context);
    if (failed == Op::GenerateRandom) {
      EXPECT_FALSE(started) << context;
      EXPECT_TRUE(p->processes().empty()) << context;
      EXPECT_TRUE(p->Exists(kM + "\\setup.exe")) << context;
    }
    if (failed == Op::GetSecurityInfo) {
      EXPECT_TRUE(p->Exists(old_cache + "\\data.exe")) << context;
    }
    // Without the token's answer the run is an unelevated one.
    if (started && failed != Op::CheckTokenMembership) {
      const std::string& image = p->processes().front().image;
      EXPECT_TRUE(IsCacheKey(image)) << context;
      EXPECT_EQ(p->Find(image)->content, kData) << context;
    }
  }
}

}  // namespace
