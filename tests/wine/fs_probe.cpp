// Asks the Win32 file API what it makes of a path, so the tests can show
// (and rely on) how the system under test presents links and read-only
// entries:
//
//   fs_probe attributes PATH   GetFileAttributesA, as 0x%08x or "invalid"
//   fs_probe list FOLDER       one line per FindFirstFileA/FindNextFileA entry
//                              of FOLDER\*.*: attributes, a tab, the name
//   fs_probe rmdir PATH        RemoveDirectoryA
//   fs_probe delete PATH       DeleteFileA
//   fs_probe setattr PATH HEX  SetFileAttributesA
//
// The last three print "ok" or "failed <GetLastError>". Exit code 0 when the
// call succeeded, 1 when it failed, 2 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Outcome(BOOL ok) {
  if (ok) {
    std::printf("ok\n");
    return 0;
  }
  std::printf("failed %lu\n", static_cast<unsigned long>(GetLastError()));
  return 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: fs_probe attributes|list|rmdir|delete PATH\n"
               "       fs_probe setattr PATH HEX\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* path = argv[2];
  if (argc == 3 && std::strcmp(command, "attributes") == 0) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      std::printf("invalid %lu\n", static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    std::printf("0x%08lx\n", static_cast<unsigned long>(attributes));
    return 0;
  }
  if (argc == 3 && std::strcmp(command, "list") == 0) {
    WIN32_FIND_DATAA data = {};
    std::string pattern = std::string(path) + "\\*.*";
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return Outcome(FALSE);
    do {
      std::printf("0x%08lx\t%s\n",
                  static_cast<unsigned long>(data.dwFileAttributes),
                  data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return 0;
  }
  if (argc == 3 && std::strcmp(command, "rmdir") == 0) {
    return Outcome(RemoveDirectoryA(path));
  }
  if (argc == 3 && std::strcmp(command, "delete") == 0) {
    return Outcome(DeleteFileA(path));
  }
  if (argc == 4 && std::strcmp(command, "setattr") == 0) {
    DWORD attributes = std::strtoul(argv[3], nullptr, 16);
    return Outcome(SetFileAttributesA(path, attributes));
  }
  return Usage();
}
