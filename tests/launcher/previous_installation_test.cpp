#include "launcher/previous_installation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "kit/kit_trust.h"
#include "launcher/launcher.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM = kMaintenance32;
const std::string kL = "D:\\Setup";

class PreviousInstallationTest : public ::testing::Test {
 protected:
  PreviousInstallationTest() {
    platform_.AddFile(kL + "\\data.exe");
    platform_.AddFile(kL + "\\uninstall.iss", "from the launcher folder");
    platform_.AddFile(kM + "\\setup.exe");
    platform_.AddFile(kM + "\\data1.cab");
    platform_.AddFolder(kM, kAttributeReadOnly | kAttributeHidden);
    // The uninstaller reads its response file while it runs.
    platform_.programs[kM + "\\setup.exe"] = [this] {
      const SimulatedPlatform::Node* response =
          platform_.Find(kM + "\\uninstall.iss");
      seen_response_ = response != nullptr ? response->content : "(none)";
    };
  }

  std::vector<std::string> Trace() const {
    std::vector<std::string> trace;
    for (const auto& call : platform_.calls()) {
      bool start = call.op == Op::CreateProcessA ||
                   call.op == Op::CreateProcessSuspendedA;
      if (start || call.op == Op::CopyFileA || call.op == Op::ResumeThread ||
          call.op == Op::WaitForSingleObject || call.op == Op::CloseHandle ||
          call.op == Op::SetFileAttributesA || call.op == Op::exit ||
          (call.op == Op::RemoveDirectoryA && call.first == kM)) {
        trace.push_back(std::string(SimulatedPlatform::Name(call.op)) + " " +
                        (start ? call.first : ""));
      }
    }
    return trace;
  }

  SimulatedPlatform platform_;
  std::string seen_response_;
};

TEST_F(PreviousInstallationTest, WholeRunInOrder) {
  platform_.command_line = "launcher x";
  EXPECT_EQ(LauncherMain(platform_, KitTrust()), 0);
  // The new installer is started before the removal and runs after it.
  EXPECT_EQ(Trace(),
            (std::vector<std::string>{
                "CreateProcessSuspendedA " + kL + "\\data.exe", "CopyFileA ",
                "SetFileAttributesA ", "CreateProcessA " + kM + "\\setup.exe",
                "WaitForSingleObject ", "CloseHandle ", "CloseHandle ",
                "SetFileAttributesA ", "RemoveDirectoryA ", "ResumeThread ",
                "exit "}));
  EXPECT_EQ(seen_response_, "from the launcher folder");
  ASSERT_EQ(platform_.processes().size(), 2u);
  EXPECT_EQ(platform_.processes()[1].command_line,
            kM + "\\setup.exe -s -uninst -f1\"" + kM + "\\uninstall.iss\"");
  EXPECT_EQ(platform_.processes()[0].command_line,
            "D:\\Setup\\data.exe -s -f1\"D:\\Setup\\setup.iss\"");
  // The uninstaller finds no DLL of the launcher's current folder; the new
  // installer keeps that folder.
  EXPECT_EQ(platform_.processes()[1].current_directory,
            "C:\\Windows\\system32");
  EXPECT_EQ(platform_.processes()[0].current_directory, "C:\\Users\\admin");
  EXPECT_FALSE(platform_.Exists(kM));
  EXPECT_TRUE(platform_.Exists(
      "C:\\Program Files\\InstallShield Installation Information"));
  // Only the new installer's handles and the launcher mutex's are left to
  // the end of the process.
  EXPECT_EQ(platform_.open_handles(), 3u);
  // The command line is composed before anything is removed: the
  // maintenance folder test comes before the staging search.
  const auto& calls = platform_.calls();
  auto exists = std::find_if(calls.begin(), calls.end(), [](const auto& c) {
    return c.op == Op::PathFileExistsA && c.first == kM;
  });
  auto search = std::find_if(calls.begin(), calls.end(), [](const auto& c) {
    return c.op == Op::FindFirstFileA;
  });
  EXPECT_LT(exists, search);
  EXPECT_EQ(search->first, kL + "\\uninstall.iss");
}

TEST_F(PreviousInstallationTest,
       ResponseFileAlreadyInTheFolderIsUsedUnchanged) {
  platform_.AddFile(kM + "\\uninstall.iss", "recorded for this machine");
  RemovePreviousInstallation(platform_, kM, kL);
  EXPECT_EQ(seen_response_, "recorded for this machine");
  EXPECT_EQ(platform_.Find(kL + "\\uninstall.iss")->content,
            "from the launcher folder");
}

// A kit on read-only media: the launcher's own copy must not keep M alive;
// a response file that was already in M is not the launcher's to change.
TEST_F(PreviousInstallationTest, ReadOnlyResponseFileOnlyStagedOneGoes) {
  for (bool already_in_m : {false, true}) {
    SimulatedPlatform p;
    p.AddFile(kL + "\\uninstall.iss", "kit", kAttributeReadOnly);
    if (already_in_m)
      p.AddFile(kM + "\\uninstall.iss", "m", kAttributeReadOnly);
    p.AddFile(kM + "\\setup.exe");
    RemovePreviousInstallation(p, kM, kL);
    EXPECT_EQ(p.Find(kL + "\\uninstall.iss")->attributes, kAttributeReadOnly);
    ASSERT_EQ(p.Exists(kM), already_in_m);
    if (already_in_m) {
      EXPECT_EQ(p.Find(kM + "\\uninstall.iss")->attributes, kAttributeReadOnly);
      EXPECT_EQ(p.Find(kM + "\\uninstall.iss")->content, "m");
    }
  }
}

TEST_F(PreviousInstallationTest, NoResponseFileBesideTheLauncher) {
  platform_.Remove(kL + "\\uninstall.iss");
  RemovePreviousInstallation(platform_, kM, kL);
  std::vector<Op> ops = platform_.ops();
  EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::CopyFileA), 0);
  EXPECT_EQ(seen_response_, "(none)");
  ASSERT_EQ(platform_.processes().size(), 1u);
  EXPECT_NE(platform_.processes()[0].command_line.find("-f1\"" + kM +
                                                       "\\uninstall.iss\""),
            std::string::npos);
  EXPECT_EQ(platform_.open_searches(), 0u);
}

TEST_F(PreviousInstallationTest, MissingUninstallerNeverRunsAShorterHead) {
  platform_.Remove(kM + "\\setup.exe");
  platform_.AddFile("C:\\Program.exe");
  RemovePreviousInstallation(platform_, kM, kL);
  EXPECT_TRUE(platform_.processes().empty());
  std::vector<Op> ops = platform_.ops();
  EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::WaitForSingleObject), 0);
  EXPECT_EQ(std::count_if(platform_.calls().begin(), platform_.calls().end(),
                          [](const auto& c) {
                            return c.op == Op::SetFileAttributesA &&
                                   c.first == kM;
                          }),
            1);
  EXPECT_FALSE(platform_.Exists(kM));
  EXPECT_TRUE(platform_.Exists("C:\\Program.exe"));
}

TEST_F(PreviousInstallationTest, ReadOnlyFileInsideKeepsTheFolderButHandsOff) {
  platform_.AddFile(kM + "\\locked.dat", "", kAttributeReadOnly);
  EXPECT_EQ(LauncherMain(platform_, KitTrust()), 0);
  EXPECT_TRUE(platform_.Exists(kM + "\\locked.dat"));
  EXPECT_EQ(platform_.Find(kM + "\\locked.dat")->attributes,
            kAttributeReadOnly);
  EXPECT_FALSE(platform_.Exists(kM + "\\setup.exe"));
  ASSERT_EQ(platform_.processes().size(), 2u);
  EXPECT_EQ(platform_.processes()[0].image, kL + "\\data.exe");
  EXPECT_EQ(platform_.Find(kM)->attributes, kAttributeDirectory);  // cleared
}

// Every platform call of a full run fails in turn, alone, in each width and
// mode: the run always ends with exit code 0, changes nothing outside the
// maintenance folder, attempts its deletion once the folder was found, and
// starts the new installer unless that start was the failed call.
TEST_F(PreviousInstallationTest, EveryCallFailingAloneKeepsTheRunSound) {
  std::size_t runs = 0;
  for (bool is64 : {false, true}) {
    for (const char* command_line : {"launcher", "launcher x"}) {
      const std::string& M = is64 ? kMaintenance64 : kM;
      auto make = [&] {
        auto p = std::make_unique<SimulatedPlatform>();
        if (is64) p->AddFolder("C:\\Windows\\SysWOW64");
        p->command_line = command_line;
        p->AddFile(kL + "\\data.exe");
        p->AddFile(kL + "\\setup.iss");
        p->AddFile(kL + "\\uninstall.iss", "response");
        p->AddFile(M + "\\setup.exe");
        p->AddFile(M + "\\sub\\file.bin");
        p->AddFile("C:\\Program Files\\Other\\keep.txt");
        return p;
      };
      std::size_t total = 0;
      {
        auto p = make();
        LauncherMain(*p, KitTrust());
        total = p->calls().size();
        ASSERT_FALSE(p->Exists(M));
      }
      for (std::size_t failing = 0; failing < total; ++failing) {
        auto p = make();
        p->failing_calls.insert(failing);
        SimulatedPlatform::Tree before = p->tree();
        ASSERT_EQ(LauncherMain(*p, KitTrust()), 0);
        ++runs;
        const auto& calls = p->calls();
        ASSERT_LT(failing, calls.size());
        Op failed = calls[failing].op;
        std::string context = std::string(SimulatedPlatform::Name(failed)) +
                              " #" + std::to_string(failing) + " " +
                              command_line;
        for (const auto& entry : before) {
          if (entry.first == M || entry.first.rfind(M + "\\", 0) == 0) continue;
          ASSERT_TRUE(p->Exists(entry.first)) << context << " " << entry.first;
          EXPECT_EQ(*p->Find(entry.first), entry.second) << context;
        }
        // Found: the existence test of the width's folder ran and succeeded.
        bool looked =
            std::any_of(calls.begin(), calls.end(), [&](const auto& c) {
              return c.op == Op::PathFileExistsA && c.first == M;
            });
        bool found = looked && !(failed == Op::PathFileExistsA &&
                                 calls[failing].first == M);
        bool deletion =
            std::any_of(calls.begin(), calls.end(), [&](const auto& c) {
              return c.op == Op::GetFileAttributesA && c.first == M;
            });
        // A data.exe that is there but did not start keeps the old version.
        bool refused = failed == Op::CreateProcessSuspendedA;
        EXPECT_EQ(deletion, found && !refused) << context;
        bool module_failed =
            failed == Op::GetModuleFileNameA ||
            failed == Op::PathRemoveFileSpecA ||
            (failed == Op::PathFileExistsA &&
             calls[failing].first == "D:\\Setup\\launcher.exe");
        bool data_failed = refused || failed == Op::ResumeThread;
        bool data_started = std::any_of(
            p->processes().begin(), p->processes().end(), [](const auto& proc) {
              return proc.image == kL + "\\data.exe" && !proc.suspended;
            });
        EXPECT_EQ(data_started, !data_failed && !module_failed) << context;
        for (const auto& proc : p->processes()) {
          bool uninstaller = proc.image == M + "\\setup.exe";
          EXPECT_TRUE(!uninstaller ||
                      proc.current_directory == "C:\\Windows\\system32")
              << context;
          EXPECT_TRUE(!proc.suspended || proc.ended) << context;
        }
        EXPECT_EQ(p->exited(), data_started) << context;
        EXPECT_FALSE(p->called_after_exit()) << context;
      }
    }
  }
  std::cout << "fault injection: " << runs << " runs, each failing one call\n";
  EXPECT_GT(runs, 100u);
}

}  // namespace
