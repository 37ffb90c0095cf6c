// Runs the command line that follows its own name, waits for that program
// and prints its exit code in decimal: Wine hands a Windows exit code to the
// Unix caller only modulo 256, and the report build's codes are larger.
#include <windows.h>

#include <cstdio>

int main() {
  const char* line = GetCommandLineA();
  // This program's own name: quoted, or up to the first blank.
  if (*line == '"') {
    for (++line; *line != '\0' && *line != '"'; ++line) {
    }
    if (*line == '"') ++line;
  } else {
    while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  char command[4096];
  lstrcpynA(command, line, sizeof(command));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    std::printf("not started: %lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("%lu\n", code);
  return 0;
}
