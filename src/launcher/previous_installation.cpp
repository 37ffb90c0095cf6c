#include "launcher/previous_installation.h"

#include "launcher/folder_tree.h"
#include "launcher/locations.h"
#include "platform/file_find.h"

// A copy keeps the source's attributes, and one from read-only media would
// be read-only and outlive the deletion of M; the launcher's own copy is
// made deletable.
void StageUninstallResponse(PlatformServices& platform, const std::string& M,
                            const std::string& L) {
  std::string source = StagedSource(L);
  std::string destination = StagedDestination(M);
  CFileFind find(platform);
  if (find.FindFile(source.c_str()) &&
      platform.CopyFileA(source.c_str(), destination.c_str(), true)) {
    platform.SetFileAttributesA(destination.c_str(), kAttributeNormal);
  }
  find.Close();
}

namespace {

// Runs M\setup.exe in silent uninstall mode and waits, without a time
// limit, for its process (not for any it starts) to end. It starts in the
// system folder: a program looks in its current folder for DLLs it loads by
// bare name, and the launcher's own current folder is often one that anyone
// can write (the kit folder, when the launcher was double-clicked). Neither
// is M, whose deletion would fail while any process it hands work on to
// keeps it as its current folder. Without a system folder it does not start.
void RunUninstaller(PlatformServices& platform, const std::string& M) {
  std::string system_folder = SystemFolder(platform);
  if (system_folder.empty()) return;
  std::string command_line = UninstallCommandLine(M);
  ProcessInformation process;
  if (!platform.CreateProcessA(UninstallerPath(M).c_str(), command_line.data(),
                               system_folder.c_str(), &process)) {
    return;
  }
  platform.WaitForSingleObject(process.process, kInfinite);
  platform.CloseHandle(process.process);
  platform.CloseHandle(process.thread);
}

}  // namespace

void RemovePreviousInstallation(PlatformServices& platform,
                                const std::string& M, const std::string& L) {
  StageUninstallResponse(platform, M, L);
  RunUninstaller(platform, M);
  // A read-only maintenance folder would refuse its own removal.
  platform.SetFileAttributesA(M.c_str(), kAttributeNormal);
  DeleteFolderTree(platform, M);
}
