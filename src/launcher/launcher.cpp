#include "launcher/launcher.h"

#include <utility>

#include "launcher/argument_count.h"
#include "launcher/previous_installation.h"
#include "launcher/self_copy.h"
#include "launcher/suspended_start.h"

namespace {

enum class Claim { Held, Taken, Unavailable };

// Creates the launchers' private namespace, or opens it when it exists.
bool OpenLauncherNamespace(PlatformServices& platform, Handle boundary) {
  Handle ns = 0;
  switch (platform.CreatePrivateNamespaceW(boundary, LauncherNamespaceAlias(),
                                           &ns)) {
    case NamespaceResult::Created:
      return true;
    case NamespaceResult::AlreadyExists:
      return platform.OpenPrivateNamespaceW(boundary, LauncherNamespaceAlias(),
                                            &ns);
    case NamespaceResult::Failed:
      break;
  }
  return false;
}

// The claim inside the private namespace. Each step runs only when the one
// before it succeeded (under Wine a later step can end the process), and
// any failure leaves the choice to the plain mutex. The namespace handle is
// never closed: the namespace, and the mutex name in it, must outlive no
// launcher that still holds its claim.
Claim ClaimPrivateMutex(PlatformServices& platform) {
  Handle boundary = 0;
  if (!platform.CreateBoundaryDescriptorW(LauncherBoundaryName(), &boundary)) {
    return Claim::Unavailable;
  }
  bool opened = platform.AddSIDToBoundaryDescriptor(&boundary) &&
                OpenLauncherNamespace(platform, boundary);
  platform.DeleteBoundaryDescriptor(boundary);
  if (!opened) return Claim::Unavailable;
  Handle mutex = 0;
  switch (platform.CreateMutexA(PrivateLauncherMutexName(), &mutex)) {
    case MutexResult::Created:
      return Claim::Held;
    case MutexResult::AlreadyExists:
    case MutexResult::AccessDenied:
      return Claim::Taken;
    case MutexResult::Failed:
      break;
  }
  return Claim::Unavailable;
}

}  // namespace

int LauncherMain(PlatformServices& platform, const KitTrust& trust) {
  // Before anything can load a DLL: none from the current folder, ever.
  platform.SetDefaultDllDirectories();
  if (!ClaimLauncherMutex(platform)) return 0;
  // The width is probed before the arguments are looked at.
  bool is32Bit = Is32BitWindows(platform);
  LaunchMode mode = ModeForArgumentCount(ProcessArgumentCount(platform));
  RunLauncher(platform, is32Bit, mode, trust);
  return 0;
}

bool ClaimLauncherMutex(PlatformServices& platform) {
  Claim claim = platform.CheckTokenMembership() ? ClaimPrivateMutex(platform)
                                                : Claim::Unavailable;
  Handle mutex = 0;
  MutexResult plain = claim == Claim::Taken
                          ? MutexResult::Failed
                          : platform.CreateMutexA(LauncherMutexName(), &mutex);
  if (claim != Claim::Unavailable) {
    // An elevated launcher whose own namespace failed holds the plain name
    // alone; its owner tells it from a user's squatter, and its own name
    // from another object reached through a user's link of that name.
    bool owned = false;
    std::string object;
    return claim == Claim::Held &&
           !(plain == MutexResult::AlreadyExists &&
             platform.GetKernelObjectSecurity(mutex, &owned) && owned &&
             platform.QueryObjectName(mutex, &object) &&
             object == LauncherMutexObjectName());
  }
  return plain != MutexResult::AlreadyExists &&
         plain != MutexResult::AccessDenied;
}

bool Is32BitWindows(PlatformServices& platform) {
  return !platform.PathFileExistsA(
      ProbePath(SystemDriveRoot(platform)).c_str());
}

LaunchMode ModeForArgumentCount(int argc) {
  return argc == 2 ? LaunchMode::Silent : LaunchMode::Interactive;
}

void RunLauncher(PlatformServices& platform, bool is32Bit, LaunchMode mode,
                 const KitTrust& trust) {
  std::string module;
  std::optional<std::string> L = LauncherFolder(platform, &module);
  // Run elevated from a mapped or SUBST drive, the module's name lies on a
  // drive of the unelevated session, which this process does not have:
  // whatever that name leads to here is not the launcher's folder.
  if (!L || !platform.PathFileExistsA(module.c_str())) return;
  std::string M = MaintenanceFolder(SystemDriveRoot(platform), is32Bit);
  // Nothing is removed unless the kit is the one the launcher was built for
  // and holds a new installer other than the launcher itself, which would
  // start itself again and again. Elevated, a pinned launcher works from a
  // verified copy of its kit (K), never from its own folder.
  KitHold hold(platform);
  AdmittedKit kit;
  if (!AdmitKit(platform, *L, trust, mode, true, &hold, &kit)) return;
  bool cached = !kit.cache.empty();
  const std::string& K = kit.folder(*L);
  std::string application = NewInstallerPath(K);
  bool started = false;
  if (!IsCopyOf(platform, module, application)) {
    bool previous_installed = platform.PathFileExistsA(M.c_str());
    std::string command_line = NewInstallerCommandLine(mode, K);
    // Started before the removal and run after it. A data.exe that is there
    // but will not start (policy refuses it, or it is no program for this
    // Windows) leaves the old version in place; without one the old version
    // is removed all the same.
    ProcessInformation process;
    // CreateProcessSuspendedA may write into the command line, which is the
    // run's own copy. Without a folder of its own the new installer keeps
    // the launcher's current folder; its own folder comes first in its DLL
    // search anyway.
    bool ready = platform.CreateProcessSuspendedA(
        application.c_str(), command_line.data(), cached ? K.c_str() : nullptr,
        &process);
    if (ready || IsMissing(platform, application)) {
      if (previous_installed) RemovePreviousInstallation(platform, M, K);
      started = ready && LaunchNewInstaller(platform, &process, &hold);
    }
  }
  if (cached && !started) DiscardKit(platform, kit, &hold, true);
}

bool LaunchNewInstaller(PlatformServices& platform, ProcessInformation* process,
                        KitHold* hold) {
  if (!ResumeOrEnd(platform, process)) return false;
  hold->Release();
  platform.exit(0);
  return true;
}
