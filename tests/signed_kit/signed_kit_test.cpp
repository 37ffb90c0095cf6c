#include "signed_kit/signed_kit.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "kit/sha256.h"
#include "launcher/launcher.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"
#include "report/report_launcher.h"
#include "signed_kit/kit_manifest.h"
#include "test_keys.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM = kMaintenance32;
const std::string kKit = "D:\\Setup\\";
const std::string kCache =
    "C:\\Windows\\InstallerLauncherKits\\InstallerLauncherKit-0001020304050607";
const std::string kProduct = "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";
const std::string kData = "MZ" + std::string(5000, 'd');
const std::string kLog =
    "C:\\Windows\\Logs\\Software\\InstallerLauncher-" + kProduct + ".log";

const TestKey& Publisher() {
  static const TestKey key("publisher");
  return key;
}
const TestKey& Backup() {
  static const TestKey key("backup");
  return key;
}
const TestKey& Other() {
  static const TestKey key("other");
  return key;
}

// The launcher's trust: the publisher's key and its 4096-bit backup, kits
// from 2.0 on.
const SignedKitPolicy& Policy() {
  static const PublisherKey keys[] = {Publisher().public_key(),
                                      Backup().public_key()};
  static const SignedKitPolicy policy = {keys, 2, kProduct.c_str(), "2.0"};
  return policy;
}

KitTrust Signed(SimulatedPlatform& p) { return KitTrust(Policy(), p); }

std::string FileLine(const std::string& content, const std::string& name) {
  std::string hex = Sha256Hex(Sha256Of(content.data(), content.size()));
  return "file " + hex + " " + std::to_string(content.size()) + " " + name +
         "\n";
}

std::string Manifest(const std::string& version = "2.1",
                     const std::string& product = kProduct) {
  return "installer-launcher-kit 1\nproduct " + product + "\nversion " +
         version + "\n" + FileLine(kData, "data.exe") +
         FileLine("install answers", "setup.iss");
}

// A machine with a signed kit (data.exe, setup.iss, the manifest and its
// signature), a previous installation, and the launcher elevated or not.
std::unique_ptr<SimulatedPlatform> Machine(bool elevated) {
  auto p = std::make_unique<SimulatedPlatform>();
  p->administrator = elevated;
  p->command_line = "launcher x";
  p->AddFile(kKit + "data.exe", kData);
  p->AddFile(kKit + "setup.iss", "install answers");
  p->AddFile(kKit + "kit.manifest", Manifest());
  p->AddFile(kKit + "kit.manifest.sig", Publisher().Sign(Manifest()));
  p->AddFile(kM + "\\setup.exe");
  return p;
}

void Sign(SimulatedPlatform& p, const std::string& manifest,
          const TestKey& key) {
  p.AddFile(kKit + "kit.manifest", manifest);
  p.AddFile(kKit + "kit.manifest.sig", key.Sign(manifest));
}

struct Refusal {
  const char* what;
  std::function<void(SimulatedPlatform&)> arrange;
  KitRefusal refusal;
};

// Every way a kit is refused, and that the kit is used otherwise.
const std::vector<Refusal>& Cases() {
  static const std::vector<Refusal> cases = {
      {"as signed", [](SimulatedPlatform&) {}, KitRefusal::None},
      {"signed with the backup key",
       [](SimulatedPlatform& p) { Sign(p, Manifest(), Backup()); },
       KitRefusal::None},
      {"at the floor",
       [](SimulatedPlatform& p) { Sign(p, Manifest("2"), Publisher()); },
       KitRefusal::None},
      {"a Windows that cannot confine its DLL lookups",
       [](SimulatedPlatform& p) { p.lookups_confined = false; },
       KitRefusal::Unconfined},
      {"no manifest",
       [](SimulatedPlatform& p) { p.Remove(kKit + "kit.manifest"); },
       KitRefusal::NoManifest},
      {"a manifest over the limit",
       [](SimulatedPlatform& p) {
         Sign(p, Manifest() + std::string(kMaxManifestSize, '\n'), Publisher());
       },
       KitRefusal::NoManifest},
      {"no signature",
       [](SimulatedPlatform& p) { p.Remove(kKit + "kit.manifest.sig"); },
       KitRefusal::NoSignature},
      {"a changed manifest",
       [](SimulatedPlatform& p) {
         p.AddFile(kKit + "kit.manifest", Manifest("2.2"));
       },
       KitRefusal::NotSigned},
      {"signed with another key",
       [](SimulatedPlatform& p) { Sign(p, Manifest(), Other()); },
       KitRefusal::NotSigned},
      {"a signed text that is no manifest",
       [](SimulatedPlatform& p) {
         Sign(p, Manifest() + FileLine("x", "setup.exe"), Publisher());
       },
       KitRefusal::Malformed},
      {"another product code",
       [](SimulatedPlatform& p) {
         Sign(p, Manifest("2.1", "{00000000-0000-0000-0000-000000000000}"),
              Publisher());
       },
       KitRefusal::OtherProduct},
      {"a version below the floor",
       [](SimulatedPlatform& p) { Sign(p, Manifest("1.9.9"), Publisher()); },
       KitRefusal::BelowFloor},
      {"a changed byte in data.exe",
       [](SimulatedPlatform& p) {
         p.AddFile(kKit + "data.exe", "MZ" + std::string(4999, 'd') + "e");
       },
       KitRefusal::Files},
      {"a response file the manifest names is missing",
       [](SimulatedPlatform& p) { p.Remove(kKit + "setup.iss"); },
       KitRefusal::Files},
  };
  return cases;
}

// Elevated, an accepted kit runs from a fresh cache that holds the verified
// copies and the manifest and signature from the bytes that were verified;
// unelevated, from the kit folder, its files held. A refused kit removes
// nothing and starts nothing, and leaves nothing held or made.
TEST(SignedKitTest, RefusesEveryKitThatFailsACheckAndRunsTheOthers) {
  for (bool elevated : {true, false}) {
    for (const Refusal& c : Cases()) {
      std::string context = c.what + std::string(elevated ? ", elevated" : "");
      auto p = Machine(elevated);
      c.arrange(*p);
      const SimulatedPlatform::Node* signed_text =
          p->Find(kKit + "kit.manifest");
      std::string manifest = signed_text != nullptr ? signed_text->content : "";
      bool held = false;
      p->programs[kM + "\\setup.exe"] = [&] {
        held = !p->WriteByOtherProcess(kKit + "kit.manifest", "x") &&
               !p->WriteByOtherProcess(kKit + "kit.manifest.sig", "x");
      };
      LauncherMain(*p, Signed(*p));
      EXPECT_EQ(p->open_files(), 0u) << context;
      if (c.refusal != KitRefusal::None) {
        EXPECT_TRUE(p->processes().empty()) << context;
        EXPECT_TRUE(p->Exists(kM + "\\setup.exe")) << context;
        EXPECT_FALSE(p->Exists(kCache)) << context;
        continue;
      }
      ASSERT_EQ(p->processes().size(), 2u) << context;
      EXPECT_FALSE(p->Exists(kM)) << context;
      const std::string K = elevated ? kCache : "D:\\Setup";
      EXPECT_EQ(p->processes()[0].image, K + "\\data.exe") << context;
      EXPECT_EQ(held, !elevated) << context;
      if (!elevated) continue;
      EXPECT_EQ(p->Find(kCache + "\\kit.manifest")->content, manifest);
      EXPECT_EQ(p->Find(kCache + "\\data.exe")->content, kData);
      // The cache goes at the next restart, the manifest and all.
      p->Restart();
      EXPECT_FALSE(p->Exists(kCache)) << context;
    }
  }
}

// The report build names the check that failed and ends with 69001.
TEST(SignedKitTest, TheReportBuildLogsWhichCheckFailed) {
  for (const Refusal& c : Cases()) {
    if (c.refusal == KitRefusal::None) continue;
    auto p = Machine(true);
    c.arrange(*p);
    EXPECT_EQ(ReportingLauncherMain(*p, *p, Signed(*p), 0, 0), 69001) << c.what;
    EXPECT_TRUE(p->processes().empty()) << c.what;
    const SimulatedPlatform::Node* log = p->Find(kLog);
    // Without confined lookups no folder can be made for administrators
    // alone, and there is no log to write.
    if (c.refusal == KitRefusal::Unconfined) {
      EXPECT_EQ(log, nullptr);
      continue;
    }
    ASSERT_NE(log, nullptr) << c.what;
    EXPECT_NE(log->content.find(KitRefusalText(c.refusal)), std::string::npos)
        << c.what << ": " << log->content;
  }
}

// The signature check comes before a byte of the manifest is parsed, and
// each call of a signed kit's checks failed in turn removes nothing and
// starts nothing, or is one whose failure the run may survive; a run that
// goes on starts the verified copy.
TEST(SignedKitTest, EachFailedCallRemovesAndStartsNothing) {
  for (bool elevated : {true, false}) {
    auto clean = Machine(elevated);
    LauncherMain(*clean, Signed(*clean));
    const std::size_t total = clean->calls().size();
    for (std::size_t failing = 0; failing < total; ++failing) {
      auto p = Machine(elevated);
      p->failing_calls.insert(failing);
      LauncherMain(*p, Signed(*p));
      Op failed = p->calls()[failing].op;
      std::string context = SimulatedPlatform::Name(failed) +
                            (" #" + std::to_string(failing)) +
                            (elevated ? " elevated" : "");
      bool started = p->exited();
      bool data_failed =
          failed == Op::CreateProcessSuspendedA || failed == Op::ResumeThread;
      EXPECT_TRUE(started || data_failed || p->Exists(kM + "\\setup.exe"))
          << context;
      if (failed == Op::VerifySignature) {
        EXPECT_FALSE(started) << context;
        EXPECT_TRUE(p->processes().empty()) << context;
      }
      if (started && elevated && failed != Op::CheckTokenMembership) {
        EXPECT_EQ(p->processes().front().image, kCache + "\\data.exe")
            << context;
        EXPECT_EQ(p->Find(kCache + "\\data.exe")->content, kData) << context;
      }
    }
  }
}

}  // namespace
