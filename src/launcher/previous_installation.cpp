#include "launcher/previous_installation.h"

#include "launcher/folder_tree.h"
#include "launcher/locations.h"
#include "platform/file_find.h"

namespace {

// Copies L\uninstall.iss into M, leaving a response file already there as
// it is. A copy keeps the source's attributes, and one from read-only media
// would be read-only and outlive the deletion of M; the launcher's own copy
// is made deletable.
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

// Runs M\setup.exe in silent uninstall mode and waits, without a time
// limit, for its process (not for any it starts) to end.
void RunUninstaller(PlatformServices& platform, const std::string& M) {
  std::string command_line = UninstallCommandLine(M);
  ProcessInformation process;
  if (!platform.CreateProcessA(UninstallerPath(M).c_str(), command_line.data(),
                               &process)) {
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
