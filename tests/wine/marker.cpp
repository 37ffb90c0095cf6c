// A DLL planted where no program of the launcher's should ever load it from,
// under whatever name the case needs. Each process it is loaded into appends
// a line to the file "<its own file name>" in the folder named by the
// environment variable MARKER_DIR (a Windows path): the module name of the
// program that loaded it. It exports nothing and changes nothing else.
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self) {
  wchar_t path[3 * MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"MARKER_DIR", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(self, own, MAX_PATH);
  const wchar_t* name = own;
  for (const wchar_t* at = own; *at != L'\0'; ++at) {
    if (*at == L'\\') name = at + 1;
  }
  lstrcatW(path, L"\\");
  lstrcatW(path, name);
  // Appends from processes that share the file never overlap.
  HANDLE file =
      CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  wchar_t host[MAX_PATH] = {};
  DWORD host_length = GetModuleFileNameW(nullptr, host, MAX_PATH - 1);
  host[host_length++] = L'\n';
  char text[4 * MAX_PATH];
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
