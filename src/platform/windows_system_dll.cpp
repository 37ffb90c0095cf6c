// System DLLs loaded at run time from the system folder alone.
#include "platform/windows_internal.h"

namespace windows {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
constexpr DWORD kSearchSystem32 = 0x00000800;

// Loads `dll` from the system folder. Windows 8 on (7 and Vista with
// KB2533623) take the flag that confines the whole load, the DLL's own
// imports included, to the system folder. Older systems refuse the flag
// (ERROR_INVALID_PARAMETER); there the DLL is named by its full path, and
// LOAD_WITH_ALTERED_SEARCH_PATH looks for its imports in that folder first
// instead of the program's.
HMODULE LoadSystemDll(const wchar_t* dll) {
  HMODULE module = ::LoadLibraryExW(dll, nullptr, kSearchSystem32);
  if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) {
    return module;
  }
  wchar_t path[MAX_PATH];
  UINT folder = ::GetSystemDirectoryW(path, MAX_PATH);
  int name = ::lstrlenW(dll);
  if (folder == 0 || folder + 1 + name >= MAX_PATH) return nullptr;
  path[folder] = L'\\';
  ::lstrcpyW(path + folder + 1, dll);
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void* SystemEntry(const wchar_t* dll, const char* name) {
  HMODULE module = LoadSystemDll(dll);
  FARPROC entry = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<void*>(entry);
}

}  // namespace windows
