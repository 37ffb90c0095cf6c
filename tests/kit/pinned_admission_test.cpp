// The kit's admission of a build without publisher keys, linked only into
// pinned_launcher_tests (the signed kit's admission defines the same call).
#include <gtest/gtest.h>

#include <memory>

#include "kit/kit_trust.h"
#include "launcher/kit_admission.h"
#include "platform/simulated/simulated_platform.h"
#include "report_machine.h"

namespace {

const std::string kL = "D:\\Setup";

KitPins PinnedData(const std::string& content) {
  KitPins pins;
  pins.data = {true, Sha256Of(content.data(), content.size()), content.size()};
  return pins;
}

// Admitted as it is, and from where; refused when data.exe differs, with
// nothing held, and the refusal the report build logs.
TEST(PinnedAdmissionTest, AdmitsThePinnedKitAndNamesARefusal) {
  struct Case {
    bool elevated;
    std::string data;
    bool admitted;
  };
  for (const Case& c :
       {Case{false, "MZ kit", true}, Case{true, "MZ kit", true},
        Case{false, "MZ other", false}, Case{true, "MZ other", false}}) {
    SimulatedPlatform p;
    p.administrator = c.elevated;
    p.AddFile(kL + "\\data.exe", c.data);
    auto hold = std::make_unique<KitHold>(p);
    AdmittedKit kit;
    std::string context = c.data + (c.elevated ? ", elevated" : "");
    ASSERT_EQ(AdmitKit(p, kL, KitTrust(PinnedData("MZ kit")),
                       LaunchMode::Interactive, false, hold.get(), &kit),
              c.admitted)
        << context;
    if (!c.admitted) {
      EXPECT_EQ(KitRefusalClause(kit),
                " is not the kit this launcher was built for");
      EXPECT_EQ(kit.cache, "") << context;
      hold.reset();
      EXPECT_EQ(p.open_files(), 0u) << context;
      continue;
    }
    EXPECT_TRUE(kit.checked) << context;
    EXPECT_EQ(kit.cache.empty(), !c.elevated) << context;
    EXPECT_EQ(kit.folder(kL), c.elevated ? kit.cache : kL) << context;
    EXPECT_TRUE(p.Exists(kit.folder(kL) + "\\data.exe")) << context;
  }
}

// Nothing pinned: the kit is used as it is, unchecked, and nothing is held.
TEST(PinnedAdmissionTest, NothingPinnedChecksNothing) {
  SimulatedPlatform p;
  p.administrator = true;
  KitHold hold(p);
  AdmittedKit kit;
  ASSERT_TRUE(
      AdmitKit(p, kL, KitTrust(), LaunchMode::Silent, true, &hold, &kit));
  EXPECT_FALSE(kit.checked);
  EXPECT_EQ(kit.folder(kL), kL);
  EXPECT_TRUE(p.calls().empty());
}

// Where DLL lookups cannot be confined the launcher cannot tell that it is
// elevated: a pinned kit is refused, elevated or not, before anything is
// asked of it; with nothing pinned the run goes on as the default build's.
TEST(PinnedAdmissionTest, UnconfinedLookupsRefuseAPinnedKit) {
  for (bool pinned : {true, false}) {
    SimulatedPlatform p;
    p.administrator = true;
    p.lookups_confined = false;
    p.AddFile(kL + "\\data.exe", "MZ kit");
    KitHold hold(p);
    AdmittedKit kit;
    KitTrust trust = pinned ? KitTrust(PinnedData("MZ kit")) : KitTrust();
    EXPECT_EQ(AdmitKit(p, kL, trust, LaunchMode::Silent, true, &hold, &kit),
              !pinned);
    if (!pinned) continue;
    EXPECT_NE(KitRefusalClause(kit).find("AddDllDirectory"), std::string::npos);
    EXPECT_EQ(p.ops(), std::vector<SimulatedPlatform::Op>{
                           SimulatedPlatform::Op::LookupsConfined});
  }
}

// The report build's log names the refusal of a kit that is not the one
// it was built for, and nothing is removed or started.
TEST(PinnedAdmissionTest, TheReportBuildLogsTheRefusal) {
  report_test::Machine machine(true);
  EXPECT_EQ(machine.Run(PinnedData("MZ kit")), 69001);
  const SimulatedPlatform::Node* log = machine.p.Find(report_test::kLog);
  ASSERT_NE(log, nullptr);
  EXPECT_NE(log->content.find("Kit check: D:\\Setup is not the kit this "
                              "launcher was built for; nothing is removed "
                              "or started"),
            std::string::npos)
      << log->content;
  EXPECT_TRUE(machine.p.processes().empty());
  EXPECT_TRUE(machine.p.Exists(report_test::kM + "\\setup.exe"));
}

}  // namespace
