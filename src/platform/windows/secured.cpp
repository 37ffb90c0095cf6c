// The Windows realisation's part for the kit cache: a fresh folder that
// only administrators can write, the files copied into it, and the opens
// that follow no link or hold nothing.
#include "platform/windows/advapi32.h"

namespace windows {

namespace {

bool Opened(HANDLE handle, Handle* out) {
  if (handle == INVALID_HANDLE_VALUE) return false;
  *out = ToHandle(handle);
  return true;
}

}  // namespace

// The owner is given as Administrators: an elevated administrator's token
// and SYSTEM's may set it, and no unelevated process can act as it.
FolderResult CreateDirectoryA(const char* path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
          &descriptor, nullptr)) {
    return FolderResult::Failed;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  BOOL made = ::CreateDirectoryA(path, &attributes);
  DWORD error = ::GetLastError();
  ::LocalFree(descriptor);
  if (made != FALSE) return FolderResult::Created;
  return error == ERROR_ALREADY_EXISTS ? FolderResult::AlreadyExists
                                       : FolderResult::Failed;
}

bool OpenFolderA(const char* path, Handle* folder) {
  HANDLE handle = ::CreateFileA(
      path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  DWORD attributes = ::GetFileInformationByHandle(handle, &info) != FALSE
                         ? info.dwFileAttributes
                         : FILE_ATTRIBUTE_REPARSE_POINT;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    ::CloseHandle(handle);
    return false;
  }
  return Opened(handle, folder);
}

bool GetKernelObjectSecurity(Handle object, bool* administrators_own) {
  // An owner and its SID fit in a small descriptor.
  alignas(void*) BYTE descriptor[256];
  DWORD needed = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!advapi32::GetKernelObjectSecurity(FromHandle(object),
                                         OWNER_SECURITY_INFORMATION, descriptor,
                                         sizeof(descriptor), &needed) ||
      !advapi32::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      owner == nullptr) {
    return false;
  }
  *administrators_own =
      advapi32::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) != FALSE ||
      advapi32::IsWellKnownSid(owner, WinLocalSystemSid) != FALSE;
  return true;
}

// Wine makes every file its one user's (see GetProtectedDacl).
bool GetSecurityInfo(Handle object, bool* administrators_own) {
  if (UnderWine()) {
    *administrators_own = true;
    return true;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (advapi32::GetSecurityInfo(
          FromHandle(object), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
          &owner, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  *administrators_own =
      advapi32::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) != FALSE ||
      advapi32::IsWellKnownSid(owner, WinLocalSystemSid) != FALSE;
  ::LocalFree(descriptor);
  return true;
}

OpenResult OpenFileShared(const char* path, Handle* file) {
  HANDLE handle =
      ::CreateFileA(path, GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (Opened(handle, file)) return OpenResult::Opened;
  DWORD error = ::GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
             ? OpenResult::InUse
             : OpenResult::Failed;
}

bool CreateNewFileA(const char* path, Handle* file) {
  return Opened(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                file);
}

bool WriteFile(Handle file, const void* buffer, std::uint32_t size) {
  const char* bytes = static_cast<const char*>(buffer);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(FromHandle(file), bytes, size, &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

}  // namespace windows
