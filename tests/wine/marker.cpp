// A DLL planted where no program of the launcher's should ever load it from,
// under whatever name the case needs. Each process it is loaded into leaves
// a file "<pid>.<its own file name>" in the folder named by the environment
// variable MARKER_DIR (a Windows path), holding the module name of the
// program that loaded it. It exports nothing and changes nothing else.
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self) {
  wchar_t folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"MARKER_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t own[MAX_PATH] = {};
  wchar_t host[MAX_PATH] = {};
  GetModuleFileNameW(self, own, MAX_PATH);
  DWORD host_length = GetModuleFileNameW(nullptr, host, MAX_PATH);
  const wchar_t* name = own;
  for (const wchar_t* at = own; *at != L'\0'; ++at) {
    if (*at == L'\\') name = at + 1;
  }
  // "<folder>\<pid>.<name>", with kernel32 calls alone.
  wchar_t pid[16];
  int digits = 0;
  for (DWORD n = GetCurrentProcessId(); digits == 0 || n != 0; n /= 10) {
    pid[digits++] = static_cast<wchar_t>(L'0' + n % 10);
  }
  wchar_t path[3 * MAX_PATH];
  lstrcpyW(path, folder);
  lstrcatW(path, L"\\");
  int at = lstrlenW(path);
  while (digits > 0) path[at++] = pid[--digits];
  path[at++] = L'.';
  path[at] = L'\0';
  lstrcatW(path, name);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[3 * MAX_PATH];
  int bytes =
      WideCharToMultiByte(CP_UTF8, 0, host, static_cast<int>(host_length), text,
                          sizeof(text), nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(bytes), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}
