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
//   fs_probe names FOLDER      one line per FindFirstFileW/FindNextFileW entry
//                              of FOLDER\*: the long name, the short name
//                              (cAlternateFileName), the ANSI rendering of
//                              the long name as the ANSI calls give it (best
//                              fit), "exact" or "inexact", and what
//                              GetShortPathNameW makes of FOLDER\<long name>;
//                              tab-separated, Unicode text as UTF-8
//
// The last three print "ok" or "failed <GetLastError>". Exit code 0 when the
// call succeeded, 1 when it failed, 2 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
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

std::string Utf8(const wchar_t* text) {
  int size =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  return out.c_str();
}

// The long name as an ANSI call renders it, and whether that rendering
// converts back to exactly the same name.
std::string Ansi(const wchar_t* text, bool* exact) {
  char ansi[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof(ansi), nullptr,
                      nullptr);
  wchar_t back[MAX_PATH * 2] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, MAX_PATH * 2);
  *exact = std::wcscmp(back, text) == 0;
  return ansi;
}

int Names(const char* folder) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, MAX_PATH);
  std::wstring base = wide;
  WIN32_FIND_DATAW data = {};
  HANDLE search = FindFirstFileW((base + L"\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return Outcome(FALSE);
  do {
    bool exact = false;
    std::string ansi = Ansi(data.cFileName, &exact);
    wchar_t short_path[MAX_PATH] = {};
    std::wstring full = base + L"\\" + data.cFileName;
    if (GetShortPathNameW(full.c_str(), short_path, MAX_PATH) == 0) {
      short_path[0] = L'\0';
    }
    std::printf("%s\t%s\t%s\t%s\t%s\n", Utf8(data.cFileName).c_str(),
                Utf8(data.cAlternateFileName).c_str(), ansi.c_str(),
                exact ? "exact" : "inexact", Utf8(short_path).c_str());
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: fs_probe attributes|list|names|rmdir|delete PATH\n"
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
  if (argc == 3 && std::strcmp(command, "names") == 0) return Names(path);
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
