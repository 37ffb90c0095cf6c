#include "report/report_launcher.h"

#include <optional>
#include <string>

#include "kit/kit_cache.h"
#include "launcher/argument_count.h"
#include "launcher/launcher.h"
#include "launcher/self_copy.h"
#include "launcher/suspended_start.h"
#include "report/install_results.h"
#include "report/report_steps.h"
#include "report/run_log.h"

namespace {

// The kit's admission (AdmitKit), logged: 0 when the kit may be used.
// Elevated, a kit with anything to check is copied into a fresh cache
// first, as the default build does, and the cache (`kit->cache`) serves
// as the kit folder from then on.
int CheckKit(PlatformServices& platform, RunLog& log, const std::string& L,
             const std::string& module, const KitTrust& trust, LaunchMode mode,
             KitHold* hold, AdmittedKit* kit) {
  if (!AdmitKit(platform, L, trust, mode, false, hold, kit)) {
    log.Error("Kit check: " + L + KitRefusalClause(*kit) +
              "; nothing is removed or started");
    return kExitKitRefused;
  }
  bool cached = !kit->cache.empty();
  const std::string& K = kit->folder(L);
  if (IsCopyOf(platform, module, NewInstallerPath(K))) {
    log.Error(
        "Kit check: data.exe is a copy of the launcher itself; nothing is "
        "removed or started");
    return kExitDataIsLauncher;
  }
  log.Info(
      std::string("Kit check: ") +
      (kit->checked ? "every pinned file is unchanged" : "nothing pinned") +
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

// Starts the new installer from the kit folder K suspended, removes the
// previous installation, when there is one, and then lets the new
// installer run; returns the run's exit code. A data.exe that is there but
// does not start keeps the previous installation; a removal that fails
// ends the suspended one unrun.
int RemoveAndInstall(PlatformServices& platform, ReportServices& report,
                     RunLog& log, LaunchMode mode, const std::string& M,
                     const std::string& K, bool cached,
                     std::uint32_t time_limit_ms, KitHold* hold) {
  NewInstallerStart start = NewInstallerFrom(K, cached, mode, log);
  Deadline deadline(report, time_limit_ms);
  StartedTree tree;
  bool ready = StartNewInstaller(platform, report, log, start, &tree);
  if (!ready && !IsMissing(platform, start.application)) {
    log.Error("The new installer did not start: " + start.application +
              " is there, but Windows refused it (it asks for elevation, a "
              "policy such as AppLocker forbids it, or it is no program for "
              "this Windows); the previous version is kept");
    return kExitNotStarted;
  }
  // A failed query must not pass for an absence (IsThere), which would
  // install the new version beside the old one.
  if (IsThere(platform, M)) {
    log.Info("The previous version's maintenance folder is there: " + M);
    int removed = RemoveAndReport(platform, report, log, deadline, M, K);
    if (removed != kExitSuccess) {
      if (ready) EndTree(platform, &tree);
      return removed;
    }
  } else {
    log.Info("No previous version: " + M + " is not there");
  }
  if (!ready) {
    log.Error("The new installer did not start: " + start.application +
              " is missing");
    return kExitNotStarted;
  }
  int code =
      InstallAndReport(platform, report, log, deadline, start, &tree, hold);
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
int ReportedRun(PlatformServices& platform, ReportServices& report, RunLog& log,
                LaunchMode mode, const KitTrust& trust,
                std::uint32_t time_limit_ms) {
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
  // Elevated from a mapped or SUBST drive: that drive is the unelevated
  // session's, and the module's name leads nowhere, or elsewhere, here.
  if (!platform.PathFileExistsA(module.c_str())) {
    log.Error("The launcher cannot see its own file " + module +
              " (a drive of another session?): nothing is done");
    return kExitLauncherUnknown;
  }
  std::string R = system_folder.substr(0, 3);
  bool is32Bit = !IsThere(platform, ProbePath(R));
  log.Info(is32Bit ? "Windows: 32-bit" : "Windows: 64-bit");
  std::string M = MaintenanceFolder(R, is32Bit);
  KitHold hold(platform);
  AdmittedKit kit;
  int code = CheckKit(platform, log, *L, module, trust, mode, &hold, &kit);
  const std::string& cache = kit.cache;
  if (code == kExitSuccess) {
    code = RemoveAndInstall(platform, report, log, mode, M, kit.folder(*L),
                            !cache.empty(), time_limit_ms, &hold);
  }
  // The wait is over: the cache goes now, its setup.log already in the log.
  // While what was started may still run (the time limit passed, an end
  // was not seen), it stays, and only then is it named for deletion at the
  // next restart, which would follow whatever took its place.
  if (!cache.empty()) {
    bool running = code == kExitTimeLimit || code == kExitWaitFailed;
    DiscardCache(platform, running ? std::string() : cache, &hold, false);
    if (running) ScheduleCacheDeletion(platform, cache);
    log.Info(platform.PathFileExistsA(cache.c_str())
                 ? "The cache " + cache + " stays until the next restart"
                 : "Deleted the cache " + cache);
  }
  return code;
}

}  // namespace

int ReportingLauncherMain(PlatformServices& platform, ReportServices& report,
                          const KitTrust& trust, std::uint32_t time_limit_ms,
                          std::uint32_t installer_wait_ms) {
  platform.SetDefaultDllDirectories();
  RunLog log(platform, report);
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
    code = WaitForOtherInstallation(platform, report, log, installer_wait_ms)
               ? ReportedRun(platform, report, log, mode, trust, time_limit_ms)
               : kExitInstallationRunning;
  }
  log.Write(code == kExitSuccess ? LogType::Information : LogType::Error,
            "Exit code " + std::to_string(code));
  return code;
}
