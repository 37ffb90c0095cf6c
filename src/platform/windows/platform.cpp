// The realisation of PlatformServices over the Win32 ANSI API, with the wide
// calls where a name given out must be exact. The files of platform/windows/
// are the only ones that include <windows.h> (through internal.h); the
// report build's services are in report.cpp, the signature check in
// signature.cpp.
//
// The program imports KERNEL32 and msvcrt alone: Windows takes those (and
// what they import) from its system folder only. A DLL outside that set,
// such as the shell's path library, would be looked for in the program's
// own folder first, and so would what it loads in turn: that is the kit
// folder, which anyone may be able to write. What the launcher needs of
// such libraries is done here with kernel32 calls; ADVAPI32's functions are
// found at run time in the system folder's copy (advapi32.h), whose
// forwarders lead to DLLs that are not known ones.
#include <cstdlib>
#include <cwchar>

#include "platform/windows/advapi32.h"
#include "platform/windows/internal.h"

#include "platform/path_rules.h"
#include "platform/platform_services.h"

namespace advapi32 = windows::advapi32;
using windows::FromHandle;
using windows::kAnsiCapacity;
using windows::Kernel32Entry;
using windows::ToExactAnsi;
using windows::ToHandle;

namespace {

std::string ExactAnsiOrEmpty(const wchar_t* wide) {
  char ansi[kAnsiCapacity];
  return ToExactAnsi(wide, ansi) ? std::string(ansi) : std::string();
}

void CopyEntry(const WIN32_FIND_DATAW& data, FolderEntry* entry) {
  entry->name = ExactAnsiOrEmpty(data.cFileName);
  entry->short_name = ExactAnsiOrEmpty(data.cAlternateFileName);
  entry->attributes = data.dwFileAttributes;
}

using CreateBoundaryDescriptorWFunction = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSIDToBoundaryDescriptorFunction = BOOL(WINAPI*)(HANDLE*, PSID);
using CreatePrivateNamespaceWFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES,
                                                        LPVOID, LPCWSTR);
using OpenPrivateNamespaceWFunction = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using DeleteBoundaryDescriptorFunction = VOID(WINAPI*)(HANDLE);

// The wide form of a fixed ASCII name; false when it does not fit.
bool WideName(const char* name, wchar_t* wide, int capacity) {
  return ::MultiByteToWideChar(CP_ACP, 0, name, -1, wide, capacity) != 0;
}

// The Administrators group, S-1-5-32-544; free it with FreeSid.
PSID AdministratorsSid() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!advapi32::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                          DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                          0, 0, &sid)) {
    return nullptr;
  }
  return sid;
}

using SetDllDirectoryWFunction = BOOL(WINAPI*)(LPCWSTR);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
constexpr DWORD kSearchSystem32 = 0x00000800;

// GetFileAttributesA without the "no disk" dialog; SetErrorMode leaves the
// last error as the query set it.
DWORD AttributesWithoutDialog(const char* path) {
  UINT mode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  ::SetErrorMode(mode | SEM_FAILCRITICALERRORS);
  DWORD attributes = ::GetFileAttributesA(path);
  ::SetErrorMode(mode);
  return attributes;
}

class WindowsPlatform : public PlatformServices {
 public:
  // Both from Windows XP SP1 and 8 (7 with its update) on, where present.
  void SetDefaultDllDirectories() override {
    auto set_directory =
        Kernel32Entry<SetDllDirectoryWFunction>("SetDllDirectoryW");
    if (set_directory != nullptr) set_directory(L"");
    auto set_defaults = Kernel32Entry<SetDefaultDllDirectoriesFunction>(
        "SetDefaultDllDirectories");
    if (set_defaults != nullptr) set_defaults(kSearchSystem32);
  }
  bool LookupsConfined() override { return windows::SearchCanBeConfined(); }
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return ::GetSystemDirectoryA(buffer, size);
  }
  std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override {
    wchar_t wide[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, wide, MAX_PATH);
    if (length == 0 || size == 0) return 0;
    bool cut = length >= MAX_PATH;
    wide[MAX_PATH - 1] = L'\0';
    char ansi[kAnsiCapacity];
    if (!ToExactAnsi(wide, ansi)) {
      // A name cut short has no short form to ask for.
      wchar_t short_path[MAX_PATH];
      DWORD short_length =
          cut ? 0 : ::GetShortPathNameW(wide, short_path, MAX_PATH);
      if (short_length == 0 || short_length >= MAX_PATH ||
          !ToExactAnsi(short_path, ansi)) {
        return 0;
      }
    }
    // Like the ANSI call: a name that does not fit is cut short, terminated,
    // and reported by returning `size`.
    std::uint32_t ansi_length = ::lstrlenA(ansi);
    if (cut || ansi_length >= size) {
      ::lstrcpynA(buffer, ansi, static_cast<int>(size));
      return size;
    }
    ::lstrcpyA(buffer, ansi);
    return ansi_length;
  }
  std::string GetCommandLineA() override {
    const char* line = ::GetCommandLineA();
    return line != nullptr ? line : "";
  }
  LeadBytes GetCPInfo() override {
    LeadBytes lead;
    CPINFO info = {};
    if (!::GetCPInfo(CP_ACP, &info)) return lead;
    // LeadByte holds up to six inclusive ranges, ended by a pair of zeros.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
      for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1];
           ++byte) {
        lead.set(byte);
      }
    }
    return lead;
  }
  bool PathRemoveFileSpecA(char* path) override {
    return RemoveLastPathPart(path, GetCPInfo());
  }
  // An empty removable drive would otherwise ask the user for a disk, and
  // an unattended run would wait for the answer.
  bool PathFileExistsA(const char* path) override {
    return AttributesWithoutDialog(path) != INVALID_FILE_ATTRIBUTES;
  }
  Presence GetFilePresence(const char* path) override {
    if (AttributesWithoutDialog(path) != INVALID_FILE_ATTRIBUTES) {
      return Presence::There;
    }
    switch (::GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
        return Presence::NotThere;
      case ERROR_PATH_NOT_FOUND:
        return Presence::NoFolder;
      default:
        return Presence::Unknown;
    }
  }
  std::uint32_t GetFileAttributesA(const char* path) override {
    return ::GetFileAttributesA(path);
  }
  bool SetFileAttributesA(const char* path, std::uint32_t attributes) override {
    return ::SetFileAttributesA(path, attributes) != FALSE;
  }
  bool CopyFileA(const char* existing, const char* target,
                 bool fail_if_exists) override {
    return ::CopyFileA(existing, target, fail_if_exists ? TRUE : FALSE) !=
           FALSE;
  }
  bool DeleteFileA(const char* path) override {
    return ::DeleteFileA(path) != FALSE;
  }
  bool RemoveDirectoryA(const char* path) override {
    return ::RemoveDirectoryA(path) != FALSE;
  }
  bool GetFileAttributesExA(const char* path, std::uint64_t* size) override {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
      return false;
    }
    *size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
            data.nFileSizeLow;
    return true;
  }
  // Renaming or deleting needs DELETE access and writing needs write access;
  // neither is shared, so both are refused to every other open. A folder is
  // renamed through its own DELETE access, so holding it keeps the path to
  // the files below as it is.
  bool CreateFileA(const char* path, bool folder, Handle* file) override {
    DWORD share = folder ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    // The hold is on the name: a link at the end is held itself.
    DWORD flags =
        FILE_FLAG_OPEN_REPARSE_POINT |
        (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_FLAG_SEQUENTIAL_SCAN);
    HANDLE handle = ::CreateFileA(path, GENERIC_READ, share, nullptr,
                                  OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    bool is_folder = ::GetFileInformationByHandle(handle, &info) != FALSE &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (is_folder != folder) {
      ::CloseHandle(handle);
      return false;
    }
    *file = ToHandle(handle);
    return true;
  }
  bool GetFileInformationByHandle(Handle file,
                                  HandleInformation* info) override {
    return windows::GetFileInformationByHandle(file, info);
  }
  bool ReadFile(Handle file, void* buffer, std::uint32_t size,
                std::uint32_t* read) override {
    DWORD got = 0;
    BOOL ok = ::ReadFile(FromHandle(file), buffer, size, &got, nullptr);
    *read = got;
    return ok != FALSE;
  }
  // The ANSI search calls give best-fit names; the wide ones give the names
  // as they are, and the pattern converts as the ANSI call would convert it.
  bool FindFirstFileA(const char* pattern, Handle* search,
                      FolderEntry* entry) override {
    wchar_t wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide, MAX_PATH) == 0) {
      return false;
    }
    WIN32_FIND_DATAW data = {};
    HANDLE handle = ::FindFirstFileW(wide, &data);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *search = ToHandle(handle);
    CopyEntry(data, entry);
    return true;
  }
  bool FindNextFileA(Handle search, FolderEntry* entry) override {
    WIN32_FIND_DATAW data = {};
    if (!::FindNextFileW(FromHandle(search), &data)) return false;
    CopyEntry(data, entry);
    return true;
  }
  bool FindClose(Handle search) override {
    return ::FindClose(FromHandle(search)) != FALSE;
  }
  bool CreateProcessA(const char* application, char* command_line,
                      const char* current_directory,
                      ProcessInformation* info) override {
    return windows::StartProcess(application, command_line, current_directory,
                                 0, info);
  }
  std::uint32_t WaitForSingleObject(Handle handle,
                                    std::uint32_t milliseconds) override {
    return ::WaitForSingleObject(FromHandle(handle), milliseconds);
  }
  bool CloseHandle(Handle handle) override {
    return ::CloseHandle(FromHandle(handle)) != FALSE;
  }
  MutexResult CreateMutexA(const char* name, Handle* mutex) override {
    HANDLE handle = ::CreateMutexA(nullptr, FALSE, name);
    // The call sets the last error on success too: ERROR_ALREADY_EXISTS when
    // it opened an existing mutex, 0 when it made a new one.
    DWORD error = ::GetLastError();
    if (handle == nullptr) {
      return error == ERROR_ACCESS_DENIED ? MutexResult::AccessDenied
                                          : MutexResult::Failed;
    }
    *mutex = ToHandle(handle);
    return error == ERROR_ALREADY_EXISTS ? MutexResult::AlreadyExists
                                         : MutexResult::Created;
  }
  bool CheckTokenMembership() override {
    PSID administrators = AdministratorsSid();
    if (administrators == nullptr) return false;
    BOOL member = FALSE;
    // No token: the calling thread's, which is the process's own.
    bool ok = advapi32::CheckTokenMembership(nullptr, administrators,
                                             &member) != FALSE;
    advapi32::FreeSid(administrators);
    return ok && member != FALSE;
  }
  bool CreateBoundaryDescriptorW(const char* name, Handle* boundary) override {
    auto create = Kernel32Entry<CreateBoundaryDescriptorWFunction>(
        "CreateBoundaryDescriptorW");
    wchar_t wide[MAX_PATH];
    if (create == nullptr || !WideName(name, wide, MAX_PATH)) return false;
    HANDLE handle = create(wide, 0);
    if (handle == nullptr) return false;
    *boundary = ToHandle(handle);
    return true;
  }
  bool AddSIDToBoundaryDescriptor(Handle* boundary) override {
    auto add = Kernel32Entry<AddSIDToBoundaryDescriptorFunction>(
        "AddSIDToBoundaryDescriptor");
    PSID administrators = add != nullptr ? AdministratorsSid() : nullptr;
    if (administrators == nullptr) return false;
    HANDLE handle = FromHandle(*boundary);
    bool ok = add(&handle, administrators) != FALSE;
    advapi32::FreeSid(administrators);
    *boundary = ToHandle(handle);
    return ok;
  }
  NamespaceResult CreatePrivateNamespaceW(Handle boundary, const char* alias,
                                          Handle* ns) override {
    auto create = Kernel32Entry<CreatePrivateNamespaceWFunction>(
        "CreatePrivateNamespaceW");
    wchar_t wide[MAX_PATH];
    if (create == nullptr || !WideName(alias, wide, MAX_PATH)) {
      return NamespaceResult::Failed;
    }
    // Protected: generic all for SYSTEM and Administrators, nothing else.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
      return NamespaceResult::Failed;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    HANDLE handle = create(&attributes, FromHandle(boundary), wide);
    DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    if (handle == nullptr) {
      return error == ERROR_ALREADY_EXISTS ? NamespaceResult::AlreadyExists
                                           : NamespaceResult::Failed;
    }
    *ns = ToHandle(handle);
    return NamespaceResult::Created;
  }
  bool OpenPrivateNamespaceW(Handle boundary, const char* alias,
                             Handle* ns) override {
    auto open =
        Kernel32Entry<OpenPrivateNamespaceWFunction>("OpenPrivateNamespaceW");
    wchar_t wide[MAX_PATH];
    if (open == nullptr || !WideName(alias, wide, MAX_PATH)) return false;
    HANDLE handle = open(FromHandle(boundary), wide);
    if (handle == nullptr) return false;
    *ns = ToHandle(handle);
    return true;
  }
  void DeleteBoundaryDescriptor(Handle boundary) override {
    auto remove = Kernel32Entry<DeleteBoundaryDescriptorFunction>(
        "DeleteBoundaryDescriptor");
    if (remove != nullptr) remove(FromHandle(boundary));
  }
  std::uint32_t GetSystemWindowsDirectoryA(char* buffer,
                                           std::uint32_t size) override {
    return ::GetSystemWindowsDirectoryA(buffer, size);
  }
  bool GenerateRandom(void* buffer, std::uint32_t size) override {
    return windows::GenerateRandom(buffer, size);
  }
  FolderResult CreateDirectoryA(const char* path) override {
    return windows::CreateDirectoryA(path);
  }
  bool OpenFolderA(const char* path, Handle* folder) override {
    return windows::OpenFolderA(path, folder);
  }
  bool GetKernelObjectSecurity(Handle object,
                               bool* administrators_own) override {
    return windows::GetKernelObjectSecurity(object, administrators_own);
  }
  bool QueryObjectName(Handle object, std::string* name) override {
    return windows::QueryObjectName(object, name);
  }
  bool GetSecurityInfo(Handle object, bool* administrators_own) override {
    return windows::GetSecurityInfo(object, administrators_own);
  }
  bool GetProtectedDacl(Handle object, bool* administrators_only) override {
    return windows::GetProtectedDacl(object, administrators_only);
  }
  OpenResult OpenFileShared(const char* path, Handle* file) override {
    return windows::OpenFileShared(path, file);
  }
  bool CreateNewFileA(const char* path, Handle* file) override {
    return windows::CreateNewFileA(path, file);
  }
  bool WriteFile(Handle file, const void* buffer, std::uint32_t size) override {
    return windows::WriteFile(file, buffer, size);
  }
  bool MoveFileExA(const char* path) override {
    return ::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
  std::uint64_t GetSystemTimeAsFileTime() override {
    return windows::GetSystemTimeAsFileTime();
  }
  bool GetTickCount64(std::uint64_t* milliseconds) override {
    return windows::GetTickCount64(milliseconds);
  }
  bool CreateProcessSuspendedA(const char* application, char* command_line,
                               const char* current_directory,
                               ProcessInformation* info) override {
    return windows::StartProcess(application, command_line, current_directory,
                                 CREATE_SUSPENDED, info);
  }
  bool ResumeThread(Handle thread) override {
    return ::ResumeThread(FromHandle(thread)) != static_cast<DWORD>(-1);
  }
  bool TerminateProcess(Handle process, std::uint32_t exit_code) override {
    return ::TerminateProcess(FromHandle(process), exit_code) != FALSE;
  }
  void exit(int code) override { std::exit(code); }
};

}  // namespace

std::unique_ptr<PlatformServices> CreateWindowsPlatform() {
  return std::unique_ptr<PlatformServices>(new WindowsPlatform());
}
