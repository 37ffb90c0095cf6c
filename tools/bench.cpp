// Benchmarks of the launcher on the real Win32 API, timed inside one process
// so that no figure carries the start-up of this program.
//
//   bench delete ROOT FOLDERS FILES_PER_FOLDER ROUNDS
//   bench startup LAUNCHER DATA ROUNDS
//   bench pinned PINNED UNPINNED LOG ROUNDS
//
// delete: the launcher's folder deletion against the command interpreter's
// "rmdir /s /q" on identical generated trees.
// Each round generates two identical trees under ROOT (not timed), then
// deletes one with DeleteFolderTree and the other with
// "cmd.exe /c rmdir /s /q", the order alternating from round to round. The
// rmdir figure covers CreateProcess of the interpreter and the wait for it;
// the cost of an interpreter that does nothing ("cmd.exe /c rem") is timed
// too and printed for reference. Exit code 1 when a tree is left behind.
//
// pinned: a launcher pinned to the data.exe beside it against an unpinned
// one beside a copy of the same file, each from its start until it has
// ended, alternating. Each data.exe is a stand-in that records to LOG; every
// launcher run must be followed by its data.exe's end record, or the bench
// fails with exit code 1 (a launcher that refused its kit would look fast).
// The last line gives the difference of the medians per GiB of data.exe.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "launcher/folder_tree.h"
#include "platform/platform_services.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

bool MakeTree(const std::string& root, int folders, int files) {
  if (!CreateDirectoryA(root.c_str(), nullptr)) return false;
  const std::string content(200, 'x');
  char name[64];
  for (int folder = 0; folder < folders; ++folder) {
    std::snprintf(name, sizeof(name), "\\folder%03d", folder);
    std::string sub = root + name;
    if (!CreateDirectoryA(sub.c_str(), nullptr)) return false;
    for (int file = 0; file < files; ++file) {
      // Every fifth name has no extension.
      std::snprintf(name, sizeof(name),
                    file % 5 == 0 ? "\\item%04d" : "\\item%04d.dat", file);
      std::string path = sub + name;
      HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return false;
      DWORD written = 0;
      WriteFile(handle, content.data(), static_cast<DWORD>(content.size()),
                &written, nullptr);
      CloseHandle(handle);
    }
  }
  return true;
}

// Starts `program` with `command_line` and waits for it to end: the seconds
// from CreateProcess to the end of the wait, or -1 on failure.
double TimeProcess(const std::string& program, std::string command_line) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER from, to;
  QueryPerformanceCounter(&from);
  if (!CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr,
                      FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&to);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return Seconds(from, to);
}

// Runs `arguments` under the command interpreter and waits for it.
double TimeInterpreter(const std::string& arguments) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof(system));
  return TimeProcess(std::string(system) + "\\cmd.exe", "cmd.exe " + arguments);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle]
                                : (values[middle - 1] + values[middle]) / 2;
}

// startup: the launcher with nothing to remove, from its start until it has
// ended (having started its data.exe), against starting that data.exe
// directly and waiting for it, alternating.
int Startup(const std::string& launcher, const std::string& data, int rounds) {
  std::vector<double> through_launcher, direct;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      bool launcher_turn = (turn == 0) == (round % 2 == 0);
      double seconds = launcher_turn
                           ? TimeProcess(launcher, "\"" + launcher + "\"")
                           : TimeProcess(data, "data.exe");
      if (seconds < 0) {
        std::fprintf(stderr, "cannot start %s\n",
                     (launcher_turn ? launcher : data).c_str());
        return 1;
      }
      (launcher_turn ? through_launcher : direct).push_back(seconds);
      Sleep(200);  // let the data.exe the launcher started end too
    }
  }
  double launcher_median = Median(through_launcher);
  double direct_median = Median(direct);
  std::printf("%d rounds\n", rounds);
  std::printf("median launcher, start to end: %.3f s\n", launcher_median);
  std::printf("median data.exe alone:         %.3f s\n", direct_median);
  std::printf("ratio launcher/data.exe: %.2f\n",
              launcher_median / direct_median);
  return 0;
}

// The "end" records whose line holds `module` in the stand-in log `log`, or -1
// while a stand-in holds the log for its append.
int EndsIn(const std::string& log, const std::string& module) {
  HANDLE file =
      CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
  }
  std::string content;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    content.append(chunk, got);
  }
  CloseHandle(file);
  int ends = 0;
  for (size_t line = 0; line < content.size();) {
    size_t next = content.find('\n', line);
    if (next == std::string::npos) break;
    ++next;
    if (content.compare(line, 4, "end\t") == 0 &&
        content.substr(line, next - line).find(module) != std::string::npos) {
      ++ends;
    }
    line = next;
  }
  return ends;
}

// Waits up to a minute until `module` has recorded `ends` ends in `log`.
bool WaitForEnds(const std::string& log, const std::string& module, int ends) {
  for (int waited = 0; waited < 60000; waited += 10) {
    if (EndsIn(log, module) >= ends) return true;
    Sleep(10);
  }
  return false;
}

// Deletes the caches the pinned launcher made (in the Windows folder's
// SystemTemp, or in its own folder beside it), as a restart would, before
// their bytes reach the disk: each run then pays for its own copy only, as
// a machine's single installation does.
void RemoveCachesIn(const std::string& temp) {
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
  WIN32_FIND_DATAA entry;
  HANDLE find =
      FindFirstFileA((temp + "InstallerLauncherKit-*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFolderTree(*platform, temp + entry.cFileName);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}

void RemoveCaches() {
  char windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryA(windows, MAX_PATH);
  for (const char* parent : {"\\SystemTemp\\", "\\InstallerLauncherKits\\"}) {
    RemoveCachesIn(std::string(windows) + parent);
  }
}

int Pinned(const std::string& pinned, const std::string& unpinned,
           const std::string& log, int rounds) {
  SetEnvironmentVariableA("STANDIN_LOG", log.c_str());
  DeleteFileA(log.c_str());
  const std::string launchers[2] = {pinned, unpinned};
  std::string data[2];
  for (int which = 0; which < 2; ++which) {
    data[which] =
        launchers[which].substr(0, launchers[which].find_last_of('\\')) +
        "\\data.exe";
  }
  // Run as an administrator (as Wine runs everything), the pinned launcher
  // starts the copy in its cache.
  const std::string started[2] = {"\\InstallerLauncherKit-", data[1]};
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (!GetFileAttributesExA(data[0].c_str(), GetFileExInfoStandard,
                            &attributes)) {
    std::fprintf(stderr, "no %s\n", data[0].c_str());
    return 2;
  }
  ULARGE_INTEGER size;
  size.LowPart = attributes.nFileSizeLow;
  size.HighPart = attributes.nFileSizeHigh;
  const double mib = static_cast<double>(size.QuadPart) / (1024.0 * 1024.0);
  std::vector<double> seconds[2];
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      int which = (turn == 0) == (round % 2 == 0) ? 0 : 1;
      const std::string& launcher = launchers[which];
      double taken = TimeProcess(launcher, "\"" + launcher + "\"");
      if (taken < 0) {
        std::fprintf(stderr, "cannot start %s\n", launcher.c_str());
        return 1;
      }
      if (!WaitForEnds(log, started[which], round + 1)) {
        std::fprintf(stderr, "%s did not start %s in round %d\n",
                     launcher.c_str(), data[which].c_str(), round + 1);
        return 1;
      }
      seconds[which].push_back(taken);
      Sleep(100);  // let that data.exe's process end too
      RemoveCaches();
    }
  }
  double pinned_median = Median(seconds[0]);
  double unpinned_median = Median(seconds[1]);
  std::printf("%d rounds, %.0f MiB data.exe, started after every run\n", rounds,
              mib);
  std::printf("median pinned launcher, start to end:   %.3f s\n",
              pinned_median);
  std::printf("median unpinned launcher, start to end: %.3f s\n",
              unpinned_median);
  std::printf(
      "ratio pinned/unpinned start-up: %.2f (pinned %.3f s, unpinned %.3f s, "
      "%+.0f ms for %.0f MiB)\n",
      pinned_median / unpinned_median, pinned_median, unpinned_median,
      (pinned_median - unpinned_median) * 1000, mib);
  std::printf("extra start-up per GiB: %.3f s\n",
              (pinned_median - unpinned_median) * 1024 / mib);
  return 0;
}

int Delete(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: bench delete ROOT FOLDERS FILES_PER_FOLDER ROUNDS\n");
    return 2;
  }
  const std::string root = argv[2];
  const int folders = std::atoi(argv[3]);
  const int files = std::atoi(argv[4]);
  const int rounds = std::atoi(argv[5]);
  if (folders <= 0 || files <= 0 || rounds <= 0) {
    std::fprintf(stderr, "bench_delete: counts must be positive\n");
    return 2;
  }
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
  std::vector<double> ours, interpreter, idle;
  bool all_removed = true;
  std::printf("%d folders x %d files per tree, %d rounds\n", folders, files,
              rounds);
  for (int round = 0; round < rounds; ++round) {
    std::string tree_a = root + "\\tree_" + std::to_string(round) + "_a";
    std::string tree_b = root + "\\tree_" + std::to_string(round) + "_b";
    if (!MakeTree(tree_a, folders, files) ||
        !MakeTree(tree_b, folders, files)) {
      std::fprintf(stderr, "bench_delete: cannot generate the trees under %s\n",
                   root.c_str());
      return 2;
    }
    double ours_seconds = 0;
    double interpreter_seconds = 0;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (round % 2 == 0)) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        bool removed = DeleteFolderTree(*platform, tree_a);
        QueryPerformanceCounter(&to);
        ours_seconds = Seconds(from, to);
        if (!removed ||
            GetFileAttributesA(tree_a.c_str()) != INVALID_FILE_ATTRIBUTES) {
          std::fprintf(stderr, "DeleteFolderTree left %s\n", tree_a.c_str());
          all_removed = false;
        }
      } else {
        interpreter_seconds =
            TimeInterpreter("/c rmdir /s /q \"" + tree_b + "\"");
        if (interpreter_seconds < 0 ||
            GetFileAttributesA(tree_b.c_str()) != INVALID_FILE_ATTRIBUTES) {
          std::fprintf(stderr, "rmdir left %s\n", tree_b.c_str());
          all_removed = false;
        }
      }
    }
    double idle_seconds = TimeInterpreter("/c rem");
    ours.push_back(ours_seconds);
    interpreter.push_back(interpreter_seconds);
    idle.push_back(idle_seconds);
    std::printf(
        "round %d (%s first): DeleteFolderTree %.3f s, rmdir %.3f s, "
        "idle interpreter %.3f s\n",
        round + 1, round % 2 == 0 ? "DeleteFolderTree" : "rmdir", ours_seconds,
        interpreter_seconds, idle_seconds);
  }
  double ours_median = Median(ours);
  double interpreter_median = Median(interpreter);
  std::printf("median DeleteFolderTree: %.3f s\n", ours_median);
  std::printf("median rmdir /s /q:      %.3f s (idle interpreter %.3f s)\n",
              interpreter_median, Median(idle));
  std::printf("ratio DeleteFolderTree/rmdir: %.2f\n",
              ours_median / interpreter_median);
  return all_removed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "delete") return Delete(argc, argv);
  if (command == "startup" && argc == 5 && std::atoi(argv[4]) > 0) {
    return Startup(argv[2], argv[3], std::atoi(argv[4]));
  }
  if (command == "pinned" && argc == 6 && std::atoi(argv[5]) > 0) {
    return Pinned(argv[2], argv[3], argv[4], std::atoi(argv[5]));
  }
  std::fprintf(stderr,
               "usage: bench delete ROOT FOLDERS FILES_PER_FOLDER ROUNDS\n"
               "       bench startup LAUNCHER DATA ROUNDS\n"
               "       bench pinned PINNED UNPINNED LOG ROUNDS\n");
  return 2;
}
