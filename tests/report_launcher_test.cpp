#include "launcher/report_launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "launcher/install_results.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"

namespace {

using Op = SimulatedPlatform::Op;

const std::string& kM = kMaintenance32;
const std::string kL = "D:\\Setup";
const std::string kData = kL + "\\data.exe";
const std::string kLogs = "C:\\Windows\\Logs\\Software";
const std::string kLog =
    kLogs + "\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}.log";
const std::string kResult =
    kLogs +
    "\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}-setup.log";
const char kMutex[] =
    "Global\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

std::string SetupLog(const std::string& code) {
  return "[InstallShield Silent]\r\nVersion=v7.00\r\nFile=Log File\r\n"
         "[ResponseResult]\r\nResultCode=" +
         code + "\r\n";
}

// A machine with a kit in D:\Setup and, with `previous`, the old version's
// maintenance folder. The uninstaller and data.exe write the setup.log
// texts given ("" writes none); data.exe writes where -f2 tells it.
struct Machine {
  explicit Machine(bool previous, const std::string& uninstall_result = "0",
                   const std::string& install_result = "0") {
    p.command_line = "launcher /s";
    p.AddFile(kData, "MZ new installer");
    p.AddFile(kL + "\\setup.iss", "answers");
    p.AddFile(kL + "\\uninstall.iss", "uninstall answers");
    if (previous) p.AddFile(kM + "\\setup.exe", "MZ old uninstaller");
    p.programs[kM + "\\setup.exe"] = [this, uninstall_result] {
      if (!uninstall_result.empty()) {
        p.AddFile(kM + "\\setup.log", SetupLog(uninstall_result));
      }
    };
    p.programs[kData] = [this, install_result] {
      auto self =
          std::find_if(p.processes().begin(), p.processes().end(),
                       [](const auto& proc) { return proc.image == kData; });
      const std::string& line = self->command_line;
      std::size_t f2 = line.find("-f2\"");
      if (install_result.empty() || f2 == std::string::npos) return;
      std::string path = line.substr(f2 + 4, line.find('"', f2 + 4) - f2 - 4);
      p.AddFile(path, SetupLog(install_result));
    };
  }
  int Run(const KitPins& pins = KitPins(), std::uint32_t limit_ms = 0) {
    return ReportingLauncherMain(p, pins, limit_ms);
  }
  bool Started(const std::string& image) const {
    return std::any_of(p.processes().begin(), p.processes().end(),
                       [&](const auto& proc) { return proc.image == image; });
  }
  std::string Log() const {
    const SimulatedPlatform::Node* log = p.Find(kLog);
    return log != nullptr ? log->content : "";
  }
  SimulatedPlatform p;
};

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
}

// The codes of the launcher's own refusals: nothing removed, nothing started.
TEST(ReportLauncherTest, RefusalsRemoveAndStartNothing) {
  struct Case {
    const char* what;
    int code;
    std::function<void(Machine&)> set_up;
  };
  const std::string image = "MZ launcher image";
  const Case cases[] = {
      {"another launcher holds the claim", 1618,
       [](Machine& m) { m.p.AddMutex(kMutex); }},
      {"data.exe missing", 69002, [](Machine& m) { m.p.Remove(kData); }},
      {"data.exe is the launcher", 69008,
       [&image](Machine& m) { m.p.AddFile(kData, image); }},
      {"the launcher's folder unknown", 69007,
       [](Machine& m) { m.p.FailOn(Op::GetModuleFileNameA); }},
      {"the pinned kit changed", 69001, [](Machine&) {}},
  };
  for (const Case& c : cases) {
    Machine m(true);
    c.set_up(m);
    KitPins pins;
    if (c.code == 69001) pins.data = KitPin{true, Sha256Digest{}, 16};
    EXPECT_EQ(m.Run(pins), c.code) << c.what;
    EXPECT_EQ(m.Started(kM + "\\setup.exe"), c.code == 69002) << c.what;
    EXPECT_FALSE(m.Started(kData)) << c.what;
  }
}

// The wait ends when the last process of the tree has ended: also when the
// first one ends long before its child, and when the port's message is
// lost (the count is read instead). Without a job (Windows 7 inside
// another job) only the first program is waited for, and the log says so.
TEST(ReportLauncherTest, WaitsForTheWholeTree) {
  struct Case {
    bool lose_messages;
    bool no_job;
    std::uint32_t ended_by;  // the clock when the launcher returns
  };
  const Case cases[] = {
      {false, false, 9000}, {true, false, 9000}, {false, true, 60}};
  for (const Case& c : cases) {
    Machine m(true);
    m.p.lose_job_messages = c.lose_messages;
    m.p.in_job_without_breakaway = c.no_job;
    m.p.runs[kM + "\\setup.exe"] = {50, 0, {"C:\\Temp\\engine.exe"}};
    m.p.runs["C:\\Temp\\engine.exe"] = {4000, 0, {}};
    m.p.runs[kData] = {10, 0, {"C:\\Temp\\msiexec.exe"}};
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

// A setup.log left in M by an earlier run is not this run's result: it is
// copied into the log and deleted before the uninstaller starts. Nor is one
// that another account could have written, or a link.
TEST(ReportLauncherTest, SetupLogTakenOnlyWhenFreshAndTrusted) {
  const std::string uninstall_log = kM + "\\setup.log";
  for (const std::string& planted : {uninstall_log, kResult}) {
    for (bool link : {false, true}) {
      Machine m(true);
      m.p.AddFile("C:\\Users\\mallory\\setup.log", SetupLog("0"));
      auto write =
          m.p.programs[planted == kResult ? kData : kM + "\\setup.exe"];
      m.p.programs[planted == kResult ? kData : kM + "\\setup.exe"] =
          [&m, write, planted, link] {
            write();
            if (link) {
              m.p.Remove(planted);
              m.p.AddLink(planted, "C:\\Users\\mallory\\setup.log", false);
            } else {
              m.p.SetSecurity(planted, "Administrators", {"SYSTEM", "Users"});
            }
          };
      EXPECT_EQ(m.Run(), planted == kResult ? 69005 : 69003) << planted;
    }
  }
  for (const std::string& stale : {kM + "\\setup.log", kResult}) {
    Machine m(true, stale == kResult ? "0" : "", stale == kResult ? "" : "0");
    m.p.AddFile(stale, SetupLog("0"));
    EXPECT_EQ(m.Run(), stale == kResult ? 69005 : 69003) << stale;
    EXPECT_NE(m.Log().find("earlier setup.log: ResultCode=0"),
              std::string::npos);
    // A stale file that cannot be deleted leaves the result unknown.
    Machine locked(true);
    locked.p.AddFile(stale, SetupLog("0"));
    locked.p.SetInUse(stale);
    EXPECT_EQ(locked.Run(), stale == kResult ? 69005 : 69003) << stale;
  }
}

// The log folder: created when missing, owned by Administrators and
// writable by SYSTEM and Administrators alone; otherwise used only when it
// is a folder, not a link, that no other account can change. A log file
// that is a link or has several names is refused. Without a safe log
// folder data.exe gets no -f2 and its result cannot be trusted.
TEST(ReportLauncherTest, LogFolderChecks) {
  struct Case {
    const char* what;
    std::function<void(SimulatedPlatform&)> set_up;
    bool folder_safe;
    bool logged;
  };
  const Case cases[] = {
      {"missing: created", [](SimulatedPlatform&) {}, true, true},
      {"there, admin-only", [](SimulatedPlatform& p) { p.AddFolder(kLogs); },
       true, true},
      {"there, the launcher's own user may write",
       [](SimulatedPlatform& p) {
         p.AddFolder(kLogs);
         p.SetSecurity(kLogs, "admin", {"SYSTEM", "admin"});
       },
       true, true},
      {"Users may write",
       [](SimulatedPlatform& p) {
         p.AddFolder(kLogs);
         p.SetSecurity(kLogs, "Administrators", {"SYSTEM", "Users"});
       },
       false, false},
      {"owned by another user",
       [](SimulatedPlatform& p) {
         p.AddFolder(kLogs);
         p.SetSecurity(kLogs, "mallory", {"SYSTEM"});
       },
       false, false},
      {"a link to a folder",
       [](SimulatedPlatform& p) {
         p.AddFolder("C:\\Users\\mallory\\logs");
         p.AddLink(kLogs, "C:\\Users\\mallory\\logs", true);
       },
       false, false},
      {"a file", [](SimulatedPlatform& p) { p.AddFile(kLogs); }, false, false},
      {"the log a hard link",
       [](SimulatedPlatform& p) {
         p.AddFile(kLog);
         p.SetNames(kLog, 2);
       },
       true, false},
      {"the log a link",
       [](SimulatedPlatform& p) {
         p.AddFile("C:\\Users\\mallory\\x.log");
         p.AddLink(kLog, "C:\\Users\\mallory\\x.log", false);
       },
       true, false},
  };
  for (const Case& c : cases) {
    Machine m(false);
    c.set_up(m.p);
    SimulatedPlatform::Tree before = m.p.tree();
    EXPECT_EQ(m.Run(), c.folder_safe ? 0 : 69005) << c.what;
    EXPECT_EQ(!m.Log().empty(), c.logged) << c.what;
    const SimulatedPlatform::Node* folder = m.p.Find(kLogs);
    ASSERT_NE(folder, nullptr) << c.what;
    if (before.count(kLogs) == 0) {
      EXPECT_EQ(folder->owner, "Administrators");
      EXPECT_EQ(folder->writers,
                (std::vector<std::string>{"SYSTEM", "Administrators"}));
    }
    for (const std::string& elsewhere :
         {std::string("C:\\Users\\mallory\\x.log"),
          std::string("C:\\Users\\mallory\\logs")}) {
      if (before.count(elsewhere) != 0) {
        EXPECT_EQ(*m.p.Find(elsewhere), before.at(elsewhere)) << c.what;
        EXPECT_FALSE(m.p.Exists(elsewhere + "\\InstallerLauncher-"
                                            "{7A3C19E4-52D8-4B6F-9E07-"
                                            "C1D2B3A48F65}.log"));
      }
    }
  }
}

// The log: CMTrace lines, appended run after run, with every step and both
// setup.logs copied in before M is deleted.
TEST(ReportLauncherTest, LogRecordsEveryStep) {
  Machine m(true);
  ASSERT_EQ(m.Run(), 0);
  std::string first = m.Log();
  for (const char* event :
       {"started (report build)", "Claim: held", "Windows: 32-bit",
        "Mode: silent", "Kit check: nothing pinned", "-s -uninst -f1",
        "The uninstaller and every program it started have ended; exit code 0",
        "The uninstaller setup.log: ResultCode=0", "Deleted C:\\Program Files",
        "-f2\"C:\\Windows\\Logs\\Software\\InstallerLauncher-",
        "The new installer setup.log: ResultCode=0", "Exit code 0"}) {
    EXPECT_NE(first.find(event), std::string::npos) << event;
  }
  const std::regex line(
      "<!\\[LOG\\[[^\\r\\n]*\\]LOG\\]!><time=\"10:2[0-9]:[0-9]{2}\\.[0-9]{3}"
      "-060\" date=\"12-09-2026\" component=\"InstallerLauncher\" "
      "context=\"\" type=\"[123]\" thread=\"420\" file=\"\">\\r\\n");
  std::string rest = std::regex_replace(first, line, "");
  EXPECT_EQ(rest, "");
  Machine again(false);
  again.p.AddFolder(kLogs);
  again.p.AddFile(kLog, first);
  ASSERT_EQ(again.Run(), 0);
  EXPECT_EQ(again.Log().compare(0, first.size(), first), 0);
  EXPECT_GT(again.Log().size(), first.size());
}

TEST(ReportLauncherTest, ResultCodeParsing) {
  const char kUtf16[] =
      "\xFF\xFE[\0R\0e\0s\0p\0o\0n\0s\0e\0R\0e\0s\0u\0l\0t\0]\0\n\0"
      "R\0e\0s\0u\0l\0t\0C\0o\0d\0e\0=\0-\0"
      "1\0";
  struct Case {
    std::string text;
    bool found;
    long code;
  };
  const Case cases[] = {
      {SetupLog("0"), true, 0},
      {SetupLog("-3"), true, -3},
      {"[ResponseResult]\nresultcode = 12 \n", true, 12},
      {"[Other]\r\nResultCode=0\r\n", false, 0},
      {"[ResponseResult]\r\nResultCode=\r\n", false, 0},
      {"[ResponseResult]\r\nResultCode=1x\r\n", false, 0},
      {std::string(kUtf16, sizeof(kUtf16) - 1), true, -1},
  };
  for (const Case& c : cases) {
    long code = 99;
    EXPECT_EQ(ParseResultCode(c.text, &code), c.found) << c.text;
    if (c.found) {
      EXPECT_EQ(code, c.code) << c.text;
    }
  }
}

// Every platform call of a report run fails in turn, alone, with a previous
// version and in silent mode. Nothing outside M and the log folder changes;
// a removal that failed keeps M and starts nothing; 0 comes only after
// data.exe and everything it started have ended; and a failure that hides a
// result (a start, an exit code, a setup.log) is never reported as 0.
TEST(ReportLauncherTest, EveryCallFailingAloneNeverHidesAFailure) {
  for (bool is64 : {false, true}) {
    const std::string& M = is64 ? kMaintenance64 : kMaintenance32;
    auto make = [is64, &M] {
      auto m = std::make_unique<Machine>(false);
      if (is64) m->p.AddFolder("C:\\Windows\\SysWOW64");
      m->p.AddFile(M + "\\setup.exe", "MZ old uninstaller");
      m->p.programs[M + "\\setup.exe"] = [p = &m->p, &M] {
        p->AddFile(M + "\\setup.log", SetupLog("0"));
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
