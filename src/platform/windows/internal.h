#ifndef LAUNCHER_PLATFORM_WINDOWS_INTERNAL_H_
#define LAUNCHER_PLATFORM_WINDOWS_INTERNAL_H_

// What the files of the Windows realisation share; only they include it.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform_services.h"

namespace windows {

inline Handle ToHandle(HANDLE handle) {
  return reinterpret_cast<Handle>(handle);
}
// Handles travel through the interface as integers; they are the values the
// platform issued, turned back into what it expects.
inline HANDLE FromHandle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

// Room for the ANSI form of a name of up to MAX_PATH UTF-16 units: two
// bytes for each in a double-byte code page, up to three in UTF-8.
constexpr int kAnsiCapacity = 3 * MAX_PATH;

// Writes the ANSI form of `wide` into `ansi` (kAnsiCapacity bytes) and tells
// whether it is exact (shared.cpp).
bool ToExactAnsi(const wchar_t* wide, char* ansi);

// A kernel32 entry point looked up at run time, so that the program still
// loads where the system lacks it; null when absent.
template <typename Function>
Function Kernel32Entry(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  FARPROC entry =
      kernel32 != nullptr ? ::GetProcAddress(kernel32, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

// A function of the system DLL `dll` (a bare file name), found at run
// time; null when the DLL or the function is absent, and always null where
// Windows cannot keep a load to the system folder (before Windows 8, and 7
// and Vista without KB2533623). The DLL, and all it loads in turn, comes
// from the system folder alone, never from the program's folder or the
// current one, and stays loaded. This is how the launcher reaches every DLL but
// KERNEL32 and msvcrt: Windows resolves load-time imports, and the
// forwarders they lead to, before main and in the ordinary search order,
// which puts the program's own folder first (system_dll.cpp).
void* SystemEntry(const wchar_t* dll, const char* name);
// Whether SystemEntry finds anything on this Windows at all.
bool SearchCanBeConfined();
template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function>(SystemEntry(dll, name));
}

// CreateProcessA as PlatformServices describes it, with the creation
// `flags` (0, or CREATE_SUSPENDED).
bool StartProcess(const char* application, char* command_line,
                  const char* current_directory, std::uint32_t flags,
                  ProcessInformation* info);

// The members of PlatformServices for the kit cache, as the interface
// describes them (secured.cpp).
bool GenerateRandom(void* buffer, std::uint32_t size);
FolderResult CreateDirectoryA(const char* path);
bool OpenFolderA(const char* path, Handle* folder);
bool GetSecurityInfo(Handle object, bool* administrators_own);
bool GetKernelObjectSecurity(Handle object, bool* administrators_own);
bool QueryObjectName(Handle object, std::string* name);
OpenResult OpenFileShared(const char* path, Handle* file);
bool CreateNewFileA(const char* path, Handle* file);
bool WriteFile(Handle file, const void* buffer, std::uint32_t size);

// What an open handle tells, and the clock (handles.cpp).
bool UnderWine();
bool GetFileInformationByHandle(Handle file, HandleInformation* info);
bool GetProtectedDacl(Handle object, bool* administrators_only);
std::uint64_t GetSystemTimeAsFileTime();
bool GetTickCount64(std::uint64_t* milliseconds);

}  // namespace windows

#endif  // LAUNCHER_PLATFORM_WINDOWS_INTERNAL_H_
