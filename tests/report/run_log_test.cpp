#include "report/run_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "report/install_results.h"
#include "report_machine.h"

namespace {

using namespace report_test;

// A setup.log left in M by an earlier run is not this run's result: it is
// copied into the log and deleted before the uninstaller starts. Nor is one
// that another account could have written, or a link.
TEST(ReportLogTest, SetupLogTakenOnlyWhenFreshAndTrusted) {
  const std::string uninstall_log = kM + "\\setup.log";
  for (const std::string& planted : {uninstall_log, kResult}) {
    for (bool link : {false, true}) {
      Machine m(true);
      m.p.AddFile("C:\\Users\\mallory\\setup.log", SetupLogText("0"));
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
    m.p.AddFile(stale, SetupLogText("0"));
    EXPECT_EQ(m.Run(), stale == kResult ? 69005 : 69003) << stale;
    EXPECT_NE(m.Log().find("earlier setup.log: ResultCode=0"),
              std::string::npos);
    // A stale file that cannot be deleted leaves the result unknown.
    Machine locked(true);
    locked.p.AddFile(stale, SetupLogText("0"));
    locked.p.SetInUse(stale);
    EXPECT_EQ(locked.Run(), stale == kResult ? 69005 : 69003) << stale;
  }
}

// The log folder: created when missing, owned by Administrators and
// writable by SYSTEM and Administrators alone; otherwise used only when it
// is a folder, not a link, that no other account can change. A log file
// that is a link or has several names is refused. Without a safe log
// folder data.exe gets no -f2 and its result cannot be trusted.
TEST(ReportLogTest, LogFolderChecks) {
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
    // Nothing is written where a link leads.
    EXPECT_FALSE(
        m.p.Exists("C:\\Users\\mallory\\logs" + kLog.substr(kLogs.size())));
    if (before.count("C:\\Users\\mallory\\x.log") != 0) {
      EXPECT_EQ(m.p.Find("C:\\Users\\mallory\\x.log")->content, "");
    }
  }
}

// The log: CMTrace lines, appended run after run, with every step and both
// setup.logs copied in before M is deleted.
TEST(ReportLogTest, LogRecordsEveryStep) {
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

TEST(ReportLogTest, ResultCodeParsing) {
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
      {SetupLogText("0"), true, 0},
      {SetupLogText("-3"), true, -3},
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

}  // namespace
