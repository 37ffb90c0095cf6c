#include "launcher/kit_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "launcher/launcher.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM = kMaintenance32;
const std::string kKit = "D:\\Setup\\";
const std::string kTemp = "C:\\Windows\\Temp";
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

bool IsCacheKey(const std::string& key) {
  return key.rfind(kTemp + "\\InstallerLauncherKit-", 0) == 0;
}
bool AnyCache(const SimulatedPlatform& p) {
  return std::any_of(p.tree().begin(), p.tree().end(),
                     [](const auto& entry) { return IsCacheKey(entry.first); });
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
         p.AddFile(kTemp + "\\InstallerLauncherKit-1111111111111111\\x.dll");
         p.SetSecurity(kTemp + "\\InstallerLauncherKit-1111111111111111",
                       "alice", {"alice"});
       },
       kFirstCache},
      {"every name taken",
       [](SimulatedPlatform& p) {
         p.random_bytes = std::string(32, '\x11');
         p.AddFile(kTemp + "\\InstallerLauncherKit-1111111111111111");
       },
       ""},
      {"SystemTemp from GetTempPath2",
       [](SimulatedPlatform& p) {
         p.temp_path2 = "C:\\Windows\\SystemTemp\\";
         p.AddFolder("C:\\Windows\\SystemTemp");
       },
       "C:\\Windows\\SystemTemp\\InstallerLauncherKit-0001020304050607"},
      {"a profile's temporary folder from GetTempPath2",
       [](SimulatedPlatform& p) { p.temp_path2 = "C:\\Users\\admin\\"; },
       kFirstCache},
      {"a way out of the Windows folder from GetTempPath2",
       [](SimulatedPlatform& p) {
         p.temp_path2 = "C:\\Windows\\..\\Users\\admin\\";
       },
       kFirstCache},
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

// Caches that earlier runs left go at the next run's start, unless their
// data.exe still runs; a folder that an administrator did not make, and
// anything a link leads to, are left alone.
TEST(KitCacheTest, OldCachesGoNothingElse) {
  auto p = Machine();
  const std::string old = kTemp + "\\InstallerLauncherKit-";
  for (const char* name :
       {"aaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbb", "cccccccccccccccc"}) {
    p->AddFile(old + name + "\\data.exe");
    p->AddFile(old + name + "\\sub\\setup.iss");
  }
  p->SetInUse(old + "bbbbbbbbbbbbbbbb\\data.exe");  // still running
  p->SetSecurity(old + "cccccccccccccccc", "alice", {"alice"});  // a user's
  p->AddFile(old + "notacache\\data.exe");                       // another name
  p->AddFile("C:\\Important\\data.exe");
  p->AddLink(old + "eeeeeeeeeeeeeeee", "C:\\Important", true);
  LauncherMain(*p, kPins);
  EXPECT_FALSE(p->Exists(old + "aaaaaaaaaaaaaaaa"));
  EXPECT_TRUE(p->Exists(old + "bbbbbbbbbbbbbbbb\\sub\\setup.iss"));
  EXPECT_TRUE(p->Exists(old + "cccccccccccccccc\\data.exe"));
  EXPECT_TRUE(p->Exists(old + "notacache\\data.exe"));
  EXPECT_FALSE(p->Exists(old + "eeeeeeeeeeeeeeee"));
  EXPECT_TRUE(p->Exists("C:\\Important\\data.exe"));
  ASSERT_EQ(p->processes().size(), 2u);
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
    EXPECT_TRUE(started || deletion || !AnyCache(*p) || p->Exists(old_cache))
        << context;
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
