#include "launcher/report_launcher.h"

#include <optional>
#include <string>

#include "launcher/argument_count.h"
#include "launcher/install_results.h"
#include "launcher/kit_cache.h"
#include "launcher/launcher.h"
#include "launcher/report_steps.h"
#include "launcher/run_log.h"

namespace {

// Whether `path` is there. A failed query must not pass for an absence,
// which would look for the old version under the other width's folder or
// not at all, and install the new one beside it: a path is missing only
// when a second query agrees.
bool There(PlatformServices& platform, const std::string& path) {
  return platform.PathFileExistsA(path.c_str()) ||
         platform.GetFileAttributesA(path.c_str()) != kInvalidFileAttributes;
}

// The kit checks of the default build, logged: 0 when the kit may be used.
// Elevated, a pinned kit is copied into a fresh cache first, as the default
// build does, and the cache (`*cache`) serves as the kit folder from then
// on; it stays empty otherwise.
int CheckKit(PlatformServices& platform, RunLog& log, const std::string& L,
             const std::string& module, const KitTrust& pins, KitHold* hold,
             std::string* cache) {
#if LAUNCHER_SIGNED_KIT
  // A signed kit's refusal names the check that failed.
  bool pinned = IsPinned(pins.pins) || pins.policy != nullptr;
  KitRefusal refusal = AdmitKit(platform, L, pins, hold, cache);
  bool cached = !cache->empty();
  if (refusal != KitRefusal::None) {
    log.Error("Kit check: " + L + ": " + KitRefusalText(refusal) +
              "; nothing is removed or started");
    return kExitKitRefused;
  }
#else
  bool pinned = IsPinned(pins);
  bool cached = pinned && platform.CheckTokenMembership();
  if (cached ? !CacheKit(platform, L, pins, hold, cache)
             : !VerifyKit(platform, L, pins, hold)) {
    cache->clear();  // deleted again, if it was made
    log.Error("Kit check: " + L +
              " is not the kit this launcher was built for; nothing is "
              "removed or started");
    return kExitKitRefused;
  }
#endif
  const std::string& K = cached ? *cache : L;
  if (IsCopyOf(platform, module, NewInstallerPath(K))) {
    log.Error(
        "Kit check: data.exe is a copy of the launcher itself; nothing is "
        "removed or started");
    return kExitDataIsLauncher;
  }
  log.Info(std::string("Kit check: ") +
           (pinned ? "every pinned file is unchanged" : "nothing pinned") +
           ", in " + L + (cached ? "; copied into " + K : ""));
  return kExitSuccess;
}

// The new installer started from the kit folder K. In silent mode its
// setup.log goes into the log folder, which only administrators can
// change, or, started from a cache, beside the cache's setup.iss, where it
// writes it anyway; without either no result can be trusted, and none is
// asked for.
NewInstallerStart NewInstallerFrom(const std::string& K, bool cached,
                                   LaunchMode mode, const RunLog& log) {
  NewInstallerStart start;
  start.application = NewInstallerPath(K);
  start.command_line = NewInstallerCommandLine(mode, K);
  if (cached) start.current_directory = K;
  if (mode != LaunchMode::Silent) return start;
  if (cached) {
    start.result_file = K + "\\setup.log";
  } else if (!log.folder().empty()) {
    start.result_file = NewInstallerResultPath(log.folder());
    start.command_line += " -f2\"" + start.result_file + "\"";
  }
  return start;
}

// Removes the previous installation, when there is one, and installs the
// new version from the kit folder K; returns the run's exit code.
int RemoveAndInstall(PlatformServices& platform, RunLog& log, LaunchMode mode,
                     const std::string& M, const std::string& K, bool cached,
                     std::uint32_t time_limit_ms, KitHold* hold) {
  NewInstallerStart start = NewInstallerFrom(K, cached, mode, log);
  Deadline deadline(platform, time_limit_ms);
  if (There(platform, M)) {
    log.Info("The previous version's maintenance folder is there: " + M);
    int removed = RemoveAndReport(platform, log, deadline, M, K);
    if (removed != kExitSuccess) return removed;
  } else {
    log.Info("No previous version: " + M + " is not there");
  }
  int code = InstallAndReport(platform, log, deadline, start, hold);
  if (code == kExitSuccess && mode == LaunchMode::Silent &&
      start.result_file.empty()) {
    log.Error(
        "No safe log folder for the new installer's setup.log: its "
        "result cannot be trusted");
    return kExitNoResult;
  }
  return code;
}

// The run after the claim and the mode; returns its exit code.
int ReportedRun(PlatformServices& platform, RunLog& log, LaunchMode mode,
                const KitTrust& pins, std::uint32_t time_limit_ms) {
  std::string module;
  std::optional<std::string> L = LauncherFolder(platform, &module);
  // Relative paths, as the default build would take, could miss the
  // previous version and install beside it.
  std::string system_folder = SystemFolder(platform);
  if (!L || system_folder.empty()) {
    log.Error(
        "The launcher's own folder or the system folder is unknown: "
        "nothing is done");
    return kExitLauncherUnknown;
  }
  std::string R = system_folder.substr(0, 3);
  bool is32Bit = !There(platform, ProbePath(R));
  log.Info(is32Bit ? "Windows: 32-bit" : "Windows: 64-bit");
  std::string M = MaintenanceFolder(R, is32Bit);
  KitHold hold(platform);
  std::string cache;
  int code = CheckKit(platform, log, *L, module, pins, &hold, &cache);
  if (code == kExitSuccess) {
    code = RemoveAndInstall(platform, log, mode, M, cache.empty() ? *L : cache,
                            !cache.empty(), time_limit_ms, &hold);
  }
  // The wait is over: the cache goes now, its setup.log already in the log;
  // while what was started may still run (the time limit passed, an end
  // was not seen), it waits for the restart.
  if (!cache.empty()) {
    bool running = code == kExitTimeLimit || code == kExitWaitFailed;
    DiscardCache(platform, running ? std::string() : cache, &hold);
    log.Info(platform.PathFileExistsA(cache.c_str())
                 ? "The cache " + cache + " stays until the next restart"
                 : "Deleted the cache " + cache);
  }
  return code;
}

}  // namespace

int ReportingLauncherMain(PlatformServices& platform, const KitTrust& pins,
                          std::uint32_t time_limit_ms) {
  platform.SetDefaultDllDirectories();
  RunLog log(platform);
  log.Open();
  log.Info("InstallerLauncher started (report build): " +
           platform.GetCommandLineA());
  int code = kExitClaimTaken;
  if (!ClaimLauncherMutex(platform)) {
    log.Warning("Claim: another launcher is running; try again later");
  } else {
    log.Info("Claim: held");
    LaunchMode mode = ModeForArgumentCount(ProcessArgumentCount(platform));
    log.Info(mode == LaunchMode::Silent ? "Mode: silent (one argument)"
                                        : "Mode: interactive");
    code = ReportedRun(platform, log, mode, pins, time_limit_ms);
  }
  log.Write(code == kExitSuccess ? LogType::Information : LogType::Error,
            "Exit code " + std::to_string(code));
  return code;
}
