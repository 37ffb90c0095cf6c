#include "launcher/launcher.h"

#include <utility>

#include "launcher/argument_count.h"
#include "launcher/previous_installation.h"

int LauncherMain(PlatformServices& platform) {
  if (!ClaimLauncherMutex(platform)) return 0;
  // The width is probed before the arguments are looked at.
  bool is32Bit = Is32BitWindows(platform);
  LaunchMode mode = ModeForArgumentCount(ProcessArgumentCount(platform));
  RunLauncher(platform, is32Bit, mode);
  return 0;
}

bool ClaimLauncherMutex(PlatformServices& platform) {
  Handle mutex = 0;
  MutexResult result = platform.CreateMutexA(LauncherMutexName(), &mutex);
  return result != MutexResult::AlreadyExists &&
         result != MutexResult::AccessDenied;
}

bool Is32BitWindows(PlatformServices& platform) {
  return !platform.PathFileExistsA(
      ProbePath(SystemDriveRoot(platform)).c_str());
}

LaunchMode ModeForArgumentCount(int argc) {
  return argc == 2 ? LaunchMode::Silent : LaunchMode::Interactive;
}

void RunLauncher(PlatformServices& platform, bool is32Bit, LaunchMode mode) {
  std::optional<std::string> L = LauncherFolder(platform);
  if (!L) return;
  std::string M = MaintenanceFolder(SystemDriveRoot(platform), is32Bit);
  bool previous_installed = platform.PathFileExistsA(M.c_str());
  std::string command_line = NewInstallerCommandLine(mode, *L);
  if (previous_installed) RemovePreviousInstallation(platform, M, *L);
  LaunchNewInstaller(platform, NewInstallerPath(*L), std::move(command_line));
}

void LaunchNewInstaller(PlatformServices& platform,
                        const std::string& application,
                        std::string command_line) {
  ProcessInformation process;
  // CreateProcessA may write into the command line, so it gets its own copy.
  if (platform.CreateProcessA(application.c_str(), command_line.data(),
                              &process)) {
    platform.exit(0);
  }
}
