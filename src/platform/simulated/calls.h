#ifndef LAUNCHER_PLATFORM_SIMULATED_CALLS_H_
#define LAUNCHER_PLATFORM_SIMULATED_CALLS_H_

#include <string>

// The calls the simulated platform records (recording.cpp): every member of
// PlatformServices, in order, with its path or text arguments, any of which
// can be made to fail.
namespace simulated {

enum class Op {
  GetSystemDirectoryA,
  GetModuleFileNameA,
  GetCommandLineA,
  GetCPInfo,
  PathRemoveFileSpecA,
  PathFileExistsA,
  GetFileAttributesA,
  GetFilePresence,
  SetFileAttributesA,
  CopyFileA,
  DeleteFileA,
  RemoveDirectoryA,
  FindFirstFileA,
  FindNextFileA,
  FindClose,
  CreateProcessA,
  WaitForSingleObject,
  CloseHandle,
  CreateMutexA,
  GetFileAttributesExA,
  CreateFileA,
  ReadFile,
  CheckTokenMembership,
  GetKernelObjectSecurity,
  QueryObjectName,
  CreateBoundaryDescriptorW,
  AddSIDToBoundaryDescriptor,
  CreatePrivateNamespaceW,
  OpenPrivateNamespaceW,
  DeleteBoundaryDescriptor,
  SetDefaultDllDirectories,
  LookupsConfined,
  GetSystemWindowsDirectoryA,
  GenerateRandom,
  CreateDirectoryA,
  OpenFolderA,
  GetSecurityInfo,
  OpenFileShared,
  CreateNewFileA,
  WriteFile,
  MoveFileExA,
  Sleep,
  CreateProcessSuspendedA,
  ResumeThread,
  TerminateProcess,
  CreateJobObjectA,
  ClearKillOnJobClose,
  AssignProcessToJobObject,
  GetQueuedCompletionStatus,
  QueryInformationJobObject,
  GetExitCodeProcess,
  OpenMutexA,
  GetTickCount,
  GetLocalTime,
  GetCurrentThreadId,
  GetFileSecurityA,
  OpenAppendFileA,
  GetFileInformationByHandle,
  GetProtectedDacl,
  GetSystemTimeAsFileTime,
  GetTickCount64,
  VerifySignature,
  exit,
};

// One recorded call: the operation and its path or text arguments.
struct Call {
  Op op;
  std::string first;
  std::string second;
};

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_CALLS_H_
