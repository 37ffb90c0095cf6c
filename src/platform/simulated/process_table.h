#ifndef LAUNCHER_PLATFORM_SIMULATED_PROCESS_TABLE_H_
#define LAUNCHER_PLATFORM_SIMULATED_PROCESS_TABLE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform_services.h"

// The simulated processes (processes.cpp, jobs.cpp): what started, and how
// each program runs once it does.
namespace simulated {

struct Process {
  std::string image;  // the program that ran, as a canonical path
  std::string command_line;
  std::string current_directory;  // the child's, as a canonical path
  Handle process = 0;
  Handle thread = 0;
  Handle job = 0;          // 0: in no job of this process's
  bool suspended = false;  // it has not run yet
  bool ended = false;
  bool terminated = false;  // ended by TerminateProcess, with exit_code
  std::uint32_t exit_code = 0;
  std::uint32_t started_at = 0;  // on the clock, once it runs
  std::uint32_t ends_at = 0;
};

// How a program (by canonical path) runs: for how long, with which exit
// code, and which programs it starts as it begins; with `own_job`, it puts
// them in a job of its own, nested in the job it runs in (an installer
// engine's job), whose messages reach that job's port too.
struct Run {
  std::uint32_t milliseconds = 0;
  std::uint32_t exit_code = 0;
  std::vector<std::string> children;
  bool own_job = false;
  bool break_away = false;  // its children ask to leave the job
};

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_PROCESS_TABLE_H_
