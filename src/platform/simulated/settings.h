#ifndef LAUNCHER_PLATFORM_SIMULATED_SETTINGS_H_
#define LAUNCHER_PLATFORM_SIMULATED_SETTINGS_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "platform/simulated/calls.h"
#include "platform/simulated/process_table.h"
#include "platform/simulated/tree.h"

namespace simulated {

// How the simulated machine is set up: what the process is told about
// itself, its token and session, how programs run, the clock. A test sets
// these before the launcher runs; none of them is recorded.
struct Settings {
  std::string system_directory = "C:\\Windows\\system32";
  std::string module_file_name = "D:\\Setup\\launcher.exe";
  std::string command_line = "\"D:\\Setup\\launcher.exe\"";
  std::string current_directory = "C:\\Users\\admin";
  std::vector<std::string> search_path = {"C:\\Windows\\system32",
                                          "C:\\Windows"};
  LeadBytes lead_bytes;
  // The token: Administrators enabled (elevated, or SYSTEM).
  bool administrator = false;
  // Whether kernel32 has AddDllDirectory, which every lookup of a function
  // outside KERNEL32 needs.
  bool lookups_confined = true;
  // Whether the private namespace calls exist and work (not on Windows XP,
  // not under Wine, whose CreateBoundaryDescriptorW gives nothing).
  bool private_namespaces = true;
  // Run when a program (by canonical path) starts, as if it ran to its end.
  std::map<std::string, std::function<void()>, NoCaseLess> programs;
  // How programs run; a program without an entry ends at once with 0.
  std::map<std::string, Run, NoCaseLess> runs;
  // Drives ("Z:") this process's session does not have.
  std::set<std::string, NoCaseLess> absent_drives;
  // Programs (canonical paths) that policy refuses to start.
  std::set<std::string, NoCaseLess> refused_programs;
  bool lose_job_messages = false;
  bool in_job_without_breakaway = false;
  std::string windows_directory = "C:\\Windows";
  // The token's user, whose own write access counts as trusted.
  std::string user = "admin";
  // The clock: GetTickCount gives tick_base + now(); GetLocalTime gives
  // local_time with now() added to its time of day.
  std::uint32_t tick_base = 0;
  LocalTime local_time = {2026, 12, 9, 10, 20, 30, 0, -60};
  std::uint32_t thread_id = 420;
  // When Windows last started (a FILETIME: 2026-12-09 08:00 UTC), and how
  // long before this process began, in milliseconds.
  std::uint64_t boot_time = 134412768000000000ull;
  std::uint64_t uptime_ms = 3600000;
  // The random generator gives these bytes first, then a count from 0.
  std::string random_bytes;
  // Run after each recorded call: what other processes do meanwhile.
  std::function<void(const Call&)> meanwhile;
};

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_SETTINGS_H_
