// Jobs, process trees and time, as the report build relies on them.
#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

// C:\a.exe started suspended and put in a job of its own.
struct Started {
  ProcessInformation info;
  Handle job = 0;
  Handle port = 0;
};
void StartInJob(SimulatedPlatform& p, Started* s) {
  std::string line = "a";
  ASSERT_TRUE(
      p.CreateProcessSuspendedA("C:\\a.exe", line.data(), nullptr, &s->info));
  ASSERT_TRUE(p.CreateJobObjectA(&s->job, &s->port));
  ASSERT_TRUE(p.AssignProcessToJobObject(s->job, s->info.process));
}

// A suspended program runs nothing until it is resumed; in a job its
// children join the job; the port reports each join and end, and "no
// active process" once the last one has ended, not when the first has.
TEST(SimulatedJobsTest, PortReportsTheEndOfTheWholeTree) {
  for (bool lose : {false, true}) {
    SimulatedPlatform p;
    p.lose_job_messages = lose;
    p.AddFile("C:\\a.exe");
    p.runs["C:\\a.exe"] = {10, 7, {"C:\\b.exe"}};
    p.runs["C:\\b.exe"] = {500, 0, {}};
    Started started;
    ASSERT_NO_FATAL_FAILURE(StartInJob(p, &started));
    auto& [info, job, port] = started;
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000), JobMessage::Other);
    // Suspended: the time passes, it does not end.
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000), JobMessage::TimedOut);
    EXPECT_EQ(p.running_processes(), 1u);
    ASSERT_TRUE(p.ResumeThread(info.thread));
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000), JobMessage::Other);
    std::uint32_t code = 0;
    ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
    EXPECT_EQ(code, kStillActive);
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000), JobMessage::Other);
    EXPECT_EQ(p.now(), 1010u);  // the first program has ended
    ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
    EXPECT_EQ(code, 7u);
    std::uint32_t active = 0;
    ASSERT_TRUE(p.QueryInformationJobObject(job, &active));
    EXPECT_EQ(active, 1u);
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000), JobMessage::Other);
    EXPECT_EQ(p.now(), 1500u);
    EXPECT_EQ(p.GetQueuedCompletionStatus(port, 1000),
              lose ? JobMessage::TimedOut : JobMessage::NoActiveProcess);
    ASSERT_TRUE(p.QueryInformationJobObject(job, &active));
    EXPECT_EQ(active, 0u);
  }
}

// Closing the job's handle ends what it holds, a suspended program above
// all, until ClearKillOnJobClose; a child that asks to leave the job
// starts outside it.
TEST(SimulatedJobsTest, KillOnCloseUntilClearedAndBreakaway) {
  for (bool cleared : {false, true}) {
    SimulatedPlatform p;
    p.AddFile("C:\\a.exe");
    p.runs["C:\\a.exe"] = {10, 0, {"C:\\b.exe"}, false, true};
    p.runs["C:\\b.exe"] = {500, 0, {}};
    Started started;
    ASSERT_NO_FATAL_FAILURE(StartInJob(p, &started));
    if (cleared) {
      ASSERT_TRUE(p.ResumeThread(started.info.thread));
      ASSERT_TRUE(p.ClearKillOnJobClose(started.job));
      std::uint32_t active = 0;
      ASSERT_TRUE(p.QueryInformationJobObject(started.job, &active));
      EXPECT_EQ(active, 1u);  // b.exe broke away
    }
    ASSERT_TRUE(p.CloseHandle(started.job));
    EXPECT_EQ(p.processes()[0].terminated, !cleared);
    EXPECT_EQ(p.running_processes(), cleared ? 2u : 0u);
  }
}

// A program that runs its children in a job of its own: that job's end
// reaches the outer job's port as "no active process" while the program
// still runs there, as on Windows 8 and later.
TEST(SimulatedJobsTest, NestedJobPostsToTheOuterPort) {
  SimulatedPlatform p;
  p.AddFile("C:\\a.exe");
  p.runs["C:\\a.exe"] = {1000, 0, {"C:\\b.exe"}, true};
  p.runs["C:\\b.exe"] = {200, 0, {}};
  Started started;
  ASSERT_NO_FATAL_FAILURE(StartInJob(p, &started));
  auto& [info, job, port] = started;
  ASSERT_TRUE(p.ResumeThread(info.thread));
  JobMessage message = JobMessage::Other;
  while (message == JobMessage::Other) {
    message = p.GetQueuedCompletionStatus(port, 5000);
  }
  EXPECT_EQ(message, JobMessage::NoActiveProcess);
  EXPECT_EQ(p.now(), 200u);
  std::uint32_t active = 0;
  ASSERT_TRUE(p.QueryInformationJobObject(job, &active));
  EXPECT_EQ(active, 1u);
  EXPECT_EQ(p.GetQueuedCompletionStatus(port, 5000), JobMessage::Other);
  EXPECT_EQ(p.GetQueuedCompletionStatus(port, 5000),
            JobMessage::NoActiveProcess);
  EXPECT_EQ(p.now(), 1000u);
  ASSERT_TRUE(p.CloseHandle(port));
  ASSERT_TRUE(p.CloseHandle(job));
  EXPECT_EQ(p.open_jobs(), 0u);
}

// A suspended program that is terminated ends without having run: its
// children never start, its exit code is the one given, and its job learns
// that no process is left.
TEST(SimulatedJobsTest, TerminatedWhileSuspendedNeverRuns) {
  SimulatedPlatform p;
  p.AddFile("C:\\a.exe");
  p.runs["C:\\a.exe"] = {10, 0, {"C:\\b.exe"}};
  Started started;
  ASSERT_NO_FATAL_FAILURE(StartInJob(p, &started));
  auto& [info, job, port] = started;
  ASSERT_TRUE(p.TerminateProcess(info.process, 1223));
  p.ResumeThread(info.thread);  // too late: whatever it answers, no run
  std::uint32_t code = 0;
  ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
  EXPECT_EQ(code, 1223u);
  EXPECT_EQ(p.processes().size(), 1u);
  std::uint32_t active = 1;
  ASSERT_TRUE(p.QueryInformationJobObject(job, &active));
  EXPECT_EQ(active, 0u);
}

}  // namespace
