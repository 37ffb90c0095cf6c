#include "report/report_launcher.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "report/install_results.h"
#include "report_machine.h"

namespace {

using namespace report_test;

// One row per exit code of the table in the README.
TEST(ReportLauncherTest, ExitCodeTable) {
  struct Case {
    const char* what;
    bool previous;
    const char* uninstall_result;  // the uninstaller's setup.log, "" none
    const char* install_result;    // data.exe's setup.log, "" none
    std::uint32_t uninstall_exit;
    std::uint32_t data_exit;
    int code;
    bool kept;     // M still there afterwards
    bool started;  // data.exe started
  };
  const Case cases[] = {
      {"success, no previous version", false, "0", "0", 0, 0, 0, false, true},
      {"success after the removal", true, "0", "0", 0, 0, 0, false, true},
      {"restart required, passed on", true, "0", "0", 0, 3010, 3010, false,
       true},
      {"restart started, passed on", false, "0", "0", 0, 1641, 1641, false,
       true},
      {"data.exe's failure wins over its setup.log", false, "0", "0", 0, 1603,
       1603, false, true},
      {"a negative ResultCode", false, "0", "-3", 0, 0, 69004, false, true},
      {"no setup.log from data.exe", false, "0", "", 0, 0, 69005, false, true},
      {"removal: the uninstaller fails", true, "0", "0", 1603, 0, 69003, true,
       false},
      {"removal: a negative ResultCode", true, "-1", "0", 0, 0, 69003, true,
       false},
      {"removal: no setup.log", true, "", "0", 0, 0, 69003, true, false},
  };
  for (const Case& c : cases) {
    Machine m(c.previous, c.uninstall_result, c.install_result);
    m.p.runs[kM + "\\setup.exe"].exit_code = c.uninstall_exit;
    m.p.runs[kData].exit_code = c.data_exit;
    EXPECT_EQ(m.Run(), c.code) << c.what;
    EXPECT_EQ(m.p.Exists(kM), c.kept) << c.what;
    EXPECT_EQ(m.Started(kData), c.started) << c.what;
    EXPECT_EQ(m.p.running_processes(), 0u) << c.what;
    EXPECT_NE(m.Log().find("Exit code " + std::to_string(c.code) + "]LOG]!>"),
              std::string::npos)
        << c.what;
  }
  // Interactive: "data.exe" exactly, no setup.log asked for or judged, its
  // exit code alone counts.
  for (std::uint32_t data_exit : {0u, 1603u}) {
    Machine m(false, "0", "");
    m.p.command_line = "launcher";
    m.p.runs[kData].exit_code = data_exit;
    EXPECT_EQ(m.Run(), static_cast<int>(data_exit));
    ASSERT_EQ(m.p.processes().size(), 1u);
    EXPECT_EQ(m.p.processes()[0].command_line, "data.exe");
  }
}

// The codes of the launcher's own refusals: nothing removed, nothing started;
// only a data.exe that is missing lets the removal go on. One that is there
// but that Windows will not start, and a launcher that cannot see its own
// folder, keep the old version, and the log says why.
TEST(ReportLauncherTest, RefusalsRemoveAndStartNothing) {
  struct Case {
    const char* what;
    int code;
    std::function<void(Machine&)> set_up;
    const char* logged = "";
    bool removes = false;
  };
  const std::string image = "MZ launcher image";
  const Case cases[] = {
      {"another launcher holds the claim", 1618,
       [](Machine& m) { m.p.AddMutex(kMutex); }},
      {"another installation runs past the wait", 1618,
       [](Machine& m) { m.p.AddMutex("Global\\_MSIExecute"); },
       "still runs after 60 s: nothing is removed"},
      {"data.exe missing", 69002, [](Machine& m) { m.p.Remove(kData); },
       "is missing", true},
      {"data.exe a text file", 69002,
       [](Machine& m) { m.p.AddFile(kData, "[not a program]"); },
       "Windows refused it"},
      {"data.exe refused by policy", 69002,
       [](Machine& m) { m.p.refused_programs.insert(kData); },
       "Windows refused it"},
      {"data.exe is the launcher", 69008,
       [&image](Machine& m) { m.p.AddFile(kData, image); }},
      {"the launcher's folder unknown", 69007,
       [](Machine& m) { m.p.FailOn(Op::GetModuleFileNameA); }},
      {"the launcher's drive is another session's", 69007,
       [](Machine& m) { m.p.absent_drives.insert("D:"); },
       "cannot see its own file"},
      {"the pinned kit changed", 69001, [](Machine&) {}},
  };
  for (const Case& c : cases) {
    Machine m(true);
    c.set_up(m);
    KitPins pins;
    if (c.code == 69001) pins.data = KitPin{true, Sha256Digest{}, 16};
    EXPECT_EQ(m.Run(pins), c.code) << c.what;
    EXPECT_EQ(m.Started(kM + "\\setup.exe"), c.removes) << c.what;
    EXPECT_EQ(m.p.Exists(kM), !c.removes) << c.what;
    EXPECT_FALSE(m.Started(kData)) << c.what;
    EXPECT_EQ(m.p.running_processes(), 0u) << c.what;
    EXPECT_NE(m.Log().find(c.logged), std::string::npos) << c.what;
  }
}

// Another installation that ends within the wait only delays the run.
TEST(ReportLauncherTest, WaitsForAnotherInstallationToEnd) {
  Machine m(true);
  m.p.AddMutex("Global\\_MSIExecute");
  m.p.ReleaseMutexAt("Global\\_MSIExecute", 59500);
  EXPECT_EQ(m.Run(), 0);
  EXPECT_FALSE(m.p.Exists(kM));
  ASSERT_EQ(m.p.processes().size(), 2u);
  EXPECT_GE(m.p.processes()[0].started_at, 59500u);
}

// The wait ends when the last process of the tree has ended: also when the
// first one ends long before its child, and when the port's message is
// lost (the count is read instead); not when a job nested in the
// launcher's (a program's own job for its children) says it has none left.
// Without a job (Windows 7 inside another job) only the first program is
// waited for, and the log says so.
TEST(ReportLauncherTest, WaitsForTheWholeTree) {
  struct Case {
    bool lose_messages;
    bool no_job;
    bool nested;             // each first program outlives its child by 500 ms
    std::uint32_t ended_by;  // the clock when the launcher returns
  };
  const Case cases[] = {{false, false, false, 9000},
                        {true, false, false, 9000},
                        {false, true, false, 60},
                        {false, false, true, 10000}};
  for (const Case& c : cases) {
    Machine m(true);
    m.p.lose_job_messages = c.lose_messages;
    m.p.in_job_without_breakaway = c.no_job;
    m.p.runs[kM + "\\setup.exe"] = {
        c.nested ? 4500u : 50u, 0, {"C:\\Temp\\engine.exe"}, c.nested};
    m.p.runs["C:\\Temp\\engine.exe"] = {4000, 0, {}};
    m.p.runs[kData] = {
        c.nested ? 5500u : 10u, 0, {"C:\\Temp\\msiexec.exe"}, c.nested};
    m.p.runs["C:\\Temp\\msiexec.exe"] = {5000, 0, {}};
    EXPECT_EQ(m.Run(), 0);
    EXPECT_GE(m.p.now(), c.ended_by);
    // A lost message costs each of the two waits up to a second's poll.
    EXPECT_LE(m.p.now(), c.ended_by + (c.lose_messages ? 2000 : 0));
    EXPECT_EQ(m.p.running_processes(), c.no_job ? 2u : 0u);
    EXPECT_EQ(m.Log().find("No job for") != std::string::npos, c.no_job);
    EXPECT_EQ(m.p.open_jobs(), 0u);
  }
}

// The time limit ends the wait, never the processes; the maintenance
// folder of an unfinished removal stays.
TEST(ReportLauncherTest, TimeLimitEndsTheWaitNotTheProcesses) {
  for (bool in_removal : {true, false}) {
    Machine m(true);
    m.p.tick_base = 0xFFFFF000;  // the tick count wraps during the wait
    m.p.runs[in_removal ? kM + "\\setup.exe" : kData] = {600000, 0, {}};
    EXPECT_EQ(m.Run(KitPins(), 60000), 69006);
    EXPECT_GE(m.p.now(), 60000u);
    EXPECT_LT(m.p.now(), 62000u);
    EXPECT_EQ(m.p.running_processes(), 1u);
    EXPECT_EQ(m.p.Exists(kM), in_removal);
  }
}

// Elevated, a pinned kit runs from its cache, as in the default build: the
// new installer writes its setup.log beside the cache's setup.iss, where it
// is judged and from where it goes into the log, and the cache is gone
// once the wait is over; only while what was started may still run (the
// time limit) does it wait for the restart, and only then is it named for
// deletion at the restart.
TEST(ReportLauncherTest, ElevatedPinnedKitIsJudgedInItsCacheThenDeleted) {
  const std::string cache =
      "C:\\Windows\\InstallerLauncherKits\\InstallerLauncherKit-"
      "0001020304050607";
  auto pin = [](const std::string& text) {
    return KitPin{true, Sha256Of(text.data(), text.size()), text.size()};
  };
  const KitPins pins{pin("MZ new installer"), pin("answers"),
                     pin("uninstall answers")};
  const struct {
    const char* result;
    std::uint32_t runs_ms;  // data.exe's time
    int code;
  } cases[] = {{"0", 0, 0}, {"-3", 0, 69004}, {"0", 600000, 69006}};
  for (const auto& c : cases) {
    Machine m(true);
    m.p.administrator = true;
    m.p.runs[cache + "\\data.exe"] = {c.runs_ms, 0, {}};
    m.p.programs[cache + "\\data.exe"] = [&m, &cache, &c] {
      m.p.AddFile(cache + "\\setup.log", SetupLogText(c.result));
    };
    EXPECT_EQ(m.Run(pins, 60000), c.code) << c.result;
    ASSERT_TRUE(m.Started(cache + "\\data.exe")) << c.result;
    const auto& data = m.p.processes().front();  // started first
    EXPECT_EQ(data.command_line,
              cache + "\\data.exe -s -f1\"" + cache + "\\setup.iss\"");
    EXPECT_EQ(data.current_directory, cache);
    EXPECT_EQ(m.p.Exists(cache), c.runs_ms != 0) << c.result;
    // Named for deletion at restart only when it is left behind, for a
    // name deleted early could by then be a user's link to elsewhere.
    EXPECT_EQ(m.p.pending_deletions().empty(), c.runs_ms == 0) << c.result;
    m.p.Restart();
    EXPECT_FALSE(m.p.Exists(cache + "\\data.exe")) << c.result;
    // Judged, the new installer's setup.log is copied into the log.
    EXPECT_EQ(m.Log().find("The new installer setup.log: ResultCode=") !=
                  std::string::npos,
              c.runs_ms == 0)
        << c.result;
  }
}

// An elevated silent run from a cache without the setup.iss its command
// line names is refused before anything is removed.
TEST(ReportLauncherTest, AnElevatedSilentRunNeedsItsSetupIss) {
  const std::string data = "MZ new installer";
  const KitPins pins{
      {true, Sha256Of(data.data(), data.size()), data.size()}, {}, {}};
  Machine m(true);
  m.p.administrator = true;
  EXPECT_EQ(m.Run(pins), 69001);
  EXPECT_TRUE(m.p.processes().empty());
  EXPECT_TRUE(m.p.Exists(kM + "\\setup.exe"));
  EXPECT_NE(m.Log().find("has no setup.iss"), std::string::npos);
}

// Every platform call of a report run fails in turn, alone, with a previous
// version and in silent mode (the width is the default build's affair). Nothing
// outside M and the log folder changes; a removal that failed keeps M and
// starts nothing; 0 comes only after data.exe and everything it started have
// ended; and a failure that hides a result (a start, an exit code, a setup.log)
// is never reported as 0.
TEST(ReportLauncherTest, EveryCallFailingAloneNeverHidesAFailure) {
  {
    const std::string& M = kMaintenance32;
    auto make = [&M] {
      auto m = std::make_unique<Machine>(false);
      m->p.AddFile(M + "\\setup.exe", "MZ old uninstaller");
      m->p.programs[M + "\\setup.exe"] = [p = &m->p, &M] {
        p->AddFile(M + "\\setup.log", SetupLogText("0"));
      };
      m->p.runs[kData] = {10, 0, {"C:\\Temp\\child.exe"}};
      m->p.runs["C:\\Temp\\child.exe"] = {3000, 0, {}};
      m->p.AddFile("C:\\Program Files\\Other\\keep.txt");
      return m;
    };
    std::size_t total = 0;
    {
      auto m = make();
      ASSERT_EQ(m->Run(), 0);
      total = m->p.calls().size();
    }
    const Op hiding[] = {Op::CreateProcessSuspendedA, Op::ResumeThread,
                         Op::GetExitCodeProcess, Op::ReadFile};
    for (std::size_t failing = 0; failing < total; ++failing) {
      auto m = make();
      m->p.failing_calls.insert(failing);
      SimulatedPlatform::Tree before = m->p.tree();
      int code = m->Run();
      ASSERT_LT(failing, m->p.calls().size());
      Op failed = m->p.calls()[failing].op;
      std::string context = std::string(SimulatedPlatform::Name(failed)) +
                            " #" + std::to_string(failing) + " code " +
                            std::to_string(code);
      for (const auto& entry : before) {
        if (entry.first.rfind(M, 0) == 0 || entry.first.rfind(kLogs, 0) == 0) {
          continue;
        }
        ASSERT_TRUE(m->p.Exists(entry.first)) << context << " " << entry.first;
        EXPECT_EQ(*m->p.Find(entry.first), entry.second) << context;
      }
      if (code == 69003) {
        EXPECT_TRUE(m->p.Exists(M + "\\setup.exe")) << context;
        EXPECT_FALSE(m->Started(kData)) << context;
      }
      // data.exe is there: only its resume, after the removal, can fail
      // once the old version has gone.
      if (code == 69002 && failed != Op::ResumeThread) {
        EXPECT_TRUE(m->p.Exists(M + "\\setup.exe")) << context;
      }
      for (const auto& proc : m->p.processes()) {
        EXPECT_TRUE(!proc.suspended || proc.ended) << context;
      }
      // 0: the old version removed, data.exe ran, and every process ended
      // unless the log says that no job could be had.
      if (code == 0) {
        EXPECT_TRUE(m->Started(M + "\\setup.exe")) << context;
        EXPECT_TRUE(m->Started(kData)) << context;
        EXPECT_TRUE(m->p.running_processes() == 0 ||
                    m->Log().find("alone") != std::string::npos)
            << context;
      }
      if (std::find(std::begin(hiding), std::end(hiding), failed) !=
          std::end(hiding)) {
        EXPECT_NE(code, 0) << context;
      }
      EXPECT_FALSE(m->p.exited()) << context;
    }
    std::cout << "report fault injection: " << total
              << " runs, each failing one call\n";
  }
}

}  // namespace
