// The record of calls, and the faults that make calls fail.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/simulated/internal.h"

using simulated::NoCaseEqual;

const char* SimulatedPlatform::Name(Op op) {
  static const char* const kNames[] = {
      "GetSystemDirectoryA",
      "GetModuleFileNameA",
      "GetCommandLineA",
      "GetCPInfo",
      "PathRemoveFileSpecA",
      "PathFileExistsA",
      "GetFileAttributesA",
      "GetFilePresence",
      "SetFileAttributesA",
      "CopyFileA",
      "DeleteFileA",
      "RemoveDirectoryA",
      "FindFirstFileA",
      "FindNextFileA",
      "FindClose",
      "CreateProcessA",
      "WaitForSingleObject",
      "CloseHandle",
      "CreateMutexA",
      "GetFileAttributesExA",
      "CreateFileA",
      "ReadFile",
      "CheckTokenMembership",
      "GetKernelObjectSecurity",
      "QueryObjectName",
      "CreateBoundaryDescriptorW",
      "AddSIDToBoundaryDescriptor",
      "CreatePrivateNamespaceW",
      "OpenPrivateNamespaceW",
      "DeleteBoundaryDescriptor",
      "SetDefaultDllDirectories",
      "LookupsConfined",
      "GetSystemWindowsDirectoryA",
      "GenerateRandom",
      "CreateDirectoryA",
      "OpenFolderA",
      "GetSecurityInfo",
      "OpenFileShared",
      "CreateNewFileA",
      "WriteFile",
      "MoveFileExA",
      "Sleep",
      "CreateProcessSuspendedA",
      "ResumeThread",
      "TerminateProcess",
      "CreateJobObjectA",
      "ClearKillOnJobClose",
      "AssignProcessToJobObject",
      "GetQueuedCompletionStatus",
      "QueryInformationJobObject",
      "GetExitCodeProcess",
      "OpenMutexA",
      "GetTickCount",
      "GetLocalTime",
      "GetCurrentThreadId",
      "GetFileSecurityA",
      "OpenAppendFileA",
      "GetFileInformationByHandle",
      "GetProtectedDacl",
      "GetSystemTimeAsFileTime",
      "GetTickCount64",
      "VerifySignature",
      "exit",
  };
  return kNames[static_cast<int>(op)];
}

void SimulatedPlatform::FailOn(Op op, const std::string& path) {
  faults_.push_back(Fault{op, path});
}

std::vector<SimulatedPlatform::Op> SimulatedPlatform::ops() const {
  std::vector<Op> result;
  for (const Call& call : calls_) result.push_back(call.op);
  return result;
}

bool SimulatedPlatform::Record(Op op, const std::string& first,
                               const std::string& second) {
  if (exited_) called_after_exit_ = true;
  calls_.push_back(Call{op, first, second});
  if (meanwhile) meanwhile(calls_.back());
  if (failing_calls.count(calls_.size() - 1) != 0) return true;
  return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& f) {
    return f.op == op && (f.path.empty() || NoCaseEqual(f.path, first));
  });
}
