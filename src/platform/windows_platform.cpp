// The realisation of PlatformServices over the Win32 ANSI API. This is the
// only file that includes <windows.h>.
#include <windows.h>
// shlwapi.h needs the types of windows.h first.
#include <shlwapi.h>

#include <cstdlib>

#include "platform/platform_services.h"

namespace {

Handle ToHandle(HANDLE handle) { return reinterpret_cast<Handle>(handle); }
// Handles travel through the interface as integers; they are the values the
// platform issued, turned back into what it expects.
HANDLE FromHandle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

void CopyEntry(const WIN32_FIND_DATAA& data, FolderEntry* entry) {
  entry->name = data.cFileName;
  entry->attributes = data.dwFileAttributes;
}

class WindowsPlatform : public PlatformServices {
 public:
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return ::GetSystemDirectoryA(buffer, size);
  }
  std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override {
    return ::GetModuleFileNameA(nullptr, buffer, size);
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
    return ::PathRemoveFileSpecA(path) != FALSE;
  }
  bool PathFileExistsA(const char* path) override {
    return ::PathFileExistsA(path) != FALSE;
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
  bool FindFirstFileA(const char* pattern, Handle* search,
                      FolderEntry* entry) override {
    WIN32_FIND_DATAA data = {};
    HANDLE handle = ::FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *search = ToHandle(handle);
    CopyEntry(data, entry);
    return true;
  }
  bool FindNextFileA(Handle search, FolderEntry* entry) override {
    WIN32_FIND_DATAA data = {};
    if (!::FindNextFileA(FromHandle(search), &data)) return false;
    CopyEntry(data, entry);
    return true;
  }
  bool FindClose(Handle search) override {
    return ::FindClose(FromHandle(search)) != FALSE;
  }
  bool CreateProcessA(const char* application, char* command_line,
                      ProcessInformation* info) override {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(application, command_line, nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process)) {
      return false;
    }
    info->process = ToHandle(process.hProcess);
    info->thread = ToHandle(process.hThread);
    return true;
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
  void exit(int code) override { std::exit(code); }
};

}  // namespace

std::unique_ptr<PlatformServices> CreateWindowsPlatform() {
  return std::unique_ptr<PlatformServices>(new WindowsPlatform());
}
