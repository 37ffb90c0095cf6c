#include "report/report_steps.h"

#include "launcher/folder_tree.h"
#include "launcher/locations.h"
#include "launcher/previous_installation.h"
#include "report/install_results.h"

namespace {

constexpr char kSetupLogSuffix[] = "\\setup.log";
// How often the wait for another installation looks again.
constexpr std::uint32_t kInstallationPollMs = 500;

// True when Windows Installer is known to run an installation.
bool InstallationRuns(ReportServices& report) {
  bool exists = false;
  return report.OpenMutexA(kInstallationMutex, &exists) && exists;
}

// Waits for a started tree and reads the first program's exit code; an
// exit code of the launcher's own when the end cannot be seen.
int WaitAndReadExitCode(PlatformServices& platform, ReportServices& report,
                        RunLog& log, const std::string& name, StartedTree* tree,
                        const Deadline& deadline, std::uint32_t* exit_code) {
  WaitResult waited = WaitForTree(platform, report, log, *tree, deadline);
  bool read = waited == WaitResult::Ended &&
              report.GetExitCodeProcess(tree->process.process, exit_code) &&
              *exit_code != kStillActive;
  CloseTree(platform, tree);
  if (waited == WaitResult::TimedOut) {
    log.Error(name + " has not ended within the time limit; it goes on");
    return kExitTimeLimit;
  }
  if (!read) {
    log.Error("The end of " + name + " could not be seen");
    return kExitWaitFailed;
  }
  log.Write(*exit_code == 0 ? LogType::Information : LogType::Error,
            name + " and every program it started have ended; exit code " +
                std::to_string(static_cast<long>(*exit_code)));
  return kExitSuccess;
}

}  // namespace

bool WaitForOtherInstallation(PlatformServices& platform,
                              ReportServices& report, RunLog& log,
                              std::uint32_t wait_ms) {
  if (!InstallationRuns(report)) return true;
  std::string limit = std::to_string(wait_ms / 1000) + " s";
  log.Warning("Another installation is running (Windows Installer holds " +
              std::string(kInstallationMutex) + "); waiting up to " + limit);
  std::uint32_t begun = report.GetTickCount();
  while (report.GetTickCount() - begun < wait_ms) {
    platform.Sleep(kInstallationPollMs);
    if (!InstallationRuns(report)) {
      log.Info("The other installation ended after " +
               std::to_string(report.GetTickCount() - begun) + " ms");
      return true;
    }
  }
  log.Error("The other installation still runs after " + limit +
            ": nothing is removed or started; try again later");
  return false;
}

int RemoveAndReport(PlatformServices& platform, ReportServices& report,
                    RunLog& log, const Deadline& deadline, const std::string& M,
                    const std::string& L) {
  std::string result_file = M + kSetupLogSuffix;
  StageUninstallResponse(platform, M, L);
  bool fresh = ClearStaleSetupLog(platform, report, log, result_file);
  // As in the default build: started in the system folder, never in M.
  std::string system_folder = SystemFolder(platform);
  std::string command_line = UninstallCommandLine(M);
  log.Info("Removing the previous version: " + command_line);
  StartedTree tree;
  int code = kExitRemovalFailed;
  std::uint32_t exit_code = 0;
  if (!fresh || system_folder.empty() ||
      !StartTree(platform, report, log, UninstallerPath(M), command_line,
                 system_folder.c_str(), &tree) ||
      !ResumeTree(platform, report, log, UninstallerPath(M), &tree)) {
    log.Error("The uninstaller did not start");
  } else {
    code = WaitAndReadExitCode(platform, report, log, "The uninstaller", &tree,
                               deadline, &exit_code);
    if (code == kExitSuccess) {
      int judged =
          JudgeSetupLog(platform, report, log, "The uninstaller", result_file);
      code = exit_code == 0 && judged == kExitSuccess ? kExitSuccess
                                                      : kExitRemovalFailed;
    }
  }
  if (code != kExitSuccess) {
    log.Error("The removal failed: " + M +
              " is kept, and the new version is not installed");
    return code;
  }
  // A read-only maintenance folder would refuse its own removal.
  platform.SetFileAttributesA(M.c_str(), kAttributeNormal);
  if (DeleteFolderTree(platform, M)) {
    log.Info("Deleted " + M);
  } else {
    log.Warning("Deleted " + M + " in part: some entries refused deletion");
  }
  return kExitSuccess;
}

bool StartNewInstaller(PlatformServices& platform, ReportServices& report,
                       RunLog& log, const NewInstallerStart& start,
                       StartedTree* tree) {
  log.Info("Starting the new version's installer: " + start.command_line);
  return StartTree(platform, report, log, start.application, start.command_line,
                   start.current_directory.empty()
                       ? nullptr
                       : start.current_directory.c_str(),
                   tree);
}

int InstallAndReport(PlatformServices& platform, ReportServices& report,
                     RunLog& log, const Deadline& deadline,
                     const NewInstallerStart& start, StartedTree* tree,
                     KitHold* hold) {
  // It has run nothing yet, so no setup.log of its own is lost.
  bool fresh = start.result_file.empty() ||
               ClearStaleSetupLog(platform, report, log, start.result_file);
  if (!ResumeTree(platform, report, log, start.application, tree)) {
    log.Error("The new installer did not start: " + start.application);
    return kExitNotStarted;
  }
  hold->Release();
  std::uint32_t exit_code = 0;
  int code = WaitAndReadExitCode(platform, report, log, "The new installer",
                                 tree, deadline, &exit_code);
  if (code != kExitSuccess) return code;
  // Its own code wins over its setup.log: 3010 and 1641 ask for a restart.
  if (exit_code != 0) return static_cast<int>(exit_code);
  if (start.result_file.empty()) return kExitSuccess;
  if (!fresh) return kExitNoResult;
  return JudgeSetupLog(platform, report, log, "The new installer",
                       start.result_file);
}
