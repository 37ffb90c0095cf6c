// Benchmarks of the launcher on the real Win32 API, timed inside one process
// so that no figure carries the start-up of this program.
//
//   bench delete ROOT FOLDERS FILES_PER_FOLDER ROUNDS
//   bench startup LAUNCHER DATA ROUNDS
//
// delete: the launcher's folder deletion against the command interpreter's
// "rmdir /s /q" on identical generated trees.
// Each round generates two identical trees under ROOT (not timed), then
// deletes one with DeleteFolderTree and the other with
// "cmd.exe /c rmdir /s /q", the order alternating from round to round. The
// rmdir figure covers CreateProcess of the interpreter and the wait for it;
// the cost of an interpreter that does nothing ("cmd.exe /c rem") is timed
// too and printed for reference. Exit code 1 when a tree is left behind.
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
  std::fprintf(stderr,
               "usage: bench delete ROOT FOLDERS FILES_PER_FOLDER ROUNDS\n"
               "       bench startup LAUNCHER DATA ROUNDS\n");
  return 2;
}
