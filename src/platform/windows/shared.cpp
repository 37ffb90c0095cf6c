// What the files of the Windows realisation share beyond internal.h's
// inline helpers: exact ANSI names, and process starts.
#include <cwchar>

#include "platform/windows/internal.h"

namespace windows {

// Writes the ANSI form of `wide` into `ansi` (kAnsiCapacity bytes) and tells
// whether it is exact: whether the ANSI calls, which turn a path back into
// Unicode before anything else, get exactly `wide` again. A best-fit or
// default character never survives that round trip. This test also holds
// where the code page is UTF-8, which refuses the conversion flags that
// report best fit.
bool ToExactAnsi(const wchar_t* wide, char* ansi) {
  if (::WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, kAnsiCapacity, nullptr,
                            nullptr) == 0) {
    return false;
  }
  wchar_t back[MAX_PATH];
  return ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, MAX_PATH) != 0 &&
         std::wcscmp(back, wide) == 0;
}

bool StartProcess(const char* application, char* command_line,
                  const char* current_directory, std::uint32_t flags,
                  ProcessInformation* info) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(application, command_line, nullptr, nullptr, FALSE,
                        flags, nullptr, current_directory, &startup,
                        &process)) {
    return false;
  }
  info->process = ToHandle(process.hProcess);
  info->thread = ToHandle(process.hThread);
  return true;
}

}  // namespace windows
