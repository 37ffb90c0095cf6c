#ifndef LAUNCHER_REPORT_JOB_WAIT_H_
#define LAUNCHER_REPORT_JOB_WAIT_H_

#include <cstdint>
#include <string>

#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "report/run_log.h"

// Starting a program so that the launcher can wait for everything it starts
// in turn: suspended, put in a job of its own whose completion port reports
// when no process is left in it, then resumed. Where the job cannot be had
// (Windows 7 and older inside a job that allows no breakaway, or any
// failure), the launcher waits for the program alone and the log says so.
// The launcher never ends a process it waits for; it ends only one it
// started suspended and must not, or cannot, let run.

// A time limit over every wait of a run, or none.
class Deadline {
 public:
  // `limit_ms` 0: no limit.
  Deadline(ReportServices& report, std::uint32_t limit_ms);
  // Milliseconds left (kInfinite without a limit), 0 once it has passed.
  std::uint32_t Remaining() const;

 private:
  ReportServices& report_;
  std::uint32_t start_;
  std::uint32_t limit_ms_;
};

struct StartedTree {
  ProcessInformation process;
  Handle job = 0;
  Handle port = 0;
  bool in_job = false;
};

// Starts `application` with `command_line` in `current_directory` (null:
// the launcher's own), suspended and in its job: nothing of it runs until
// ResumeTree. False, with nothing started, when it did not start.
bool StartTree(PlatformServices& platform, ReportServices& report, RunLog& log,
               const std::string& application, std::string command_line,
               const char* current_directory, StartedTree* tree);

// Lets the program of StartTree run. One that cannot be resumed is ended,
// never left suspended (it would hold its file and folder), and false is
// returned with the tree closed. Once it runs, its job no longer ends what
// it holds when the launcher's handle closes.
bool ResumeTree(PlatformServices& platform, ReportServices& report, RunLog& log,
                const std::string& application, StartedTree* tree);

// Ends the program of StartTree, which has not run and must not, and
// closes the tree.
void EndTree(PlatformServices& platform, StartedTree* tree);

enum class WaitResult { Ended, TimedOut, Failed };

// Waits until the job has no process left (or, without a job, until the
// program ends) or the deadline passes. The port's message can be lost, so
// the job's count is read whenever a wait for it times out; and a job
// nested in this one sends its own "no active process" to this job's port,
// so the count is read then too, and only 0 ends the wait.
WaitResult WaitForTree(PlatformServices& platform, ReportServices& report,
                       RunLog& log, const StartedTree& tree,
                       const Deadline& deadline);

// Releases the handles of StartTree.
void CloseTree(PlatformServices& platform, StartedTree* tree);

#endif  // LAUNCHER_REPORT_JOB_WAIT_H_
