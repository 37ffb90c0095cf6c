#ifndef LAUNCHER_PLATFORM_SIMULATED_HELD_H_
#define LAUNCHER_PLATFORM_SIMULATED_HELD_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "platform/simulated/calls.h"

// What the simulated process holds open, by handle (search.cpp, files.cpp,
// security.cpp, jobs.cpp, named_objects.cpp), and the faults it is to meet
// (recording.cpp).
namespace simulated {

struct Search {
  std::vector<FolderEntry> pending;  // dots, then entries, in order
  std::vector<std::string> keys;     // canonical path of each, "" for dots
  std::size_t next = 0;
};
struct Fault {
  Op op;
  std::string path;
};
struct OpenFile {
  std::string key;
  std::size_t offset = 0;
  bool shared = false;    // holds nothing (OpenFileShared)
  bool writable = false;  // made by CreateNewFileA
  bool append = false;    // writes go to the end (OpenAppendFileA)
};
struct Job {
  Handle port = 0;                   // 0: another process's job
  Handle parent = 0;                 // the job it is nested in, or 0
  std::vector<JobMessage> messages;  // queued, oldest first
  bool breakaway_ok = false;
  bool kill_on_close = false;
};
struct Boundary {
  std::string name;
  bool administrators = false;
};
// A mutex another process made and holds; `object_name` its kernel name
// when it is reached through a link of another name, else "". It is gone
// once the clock reaches `released_at`.
struct ForeignMutex {
  bool access_denied = false;
  std::string owner;
  std::string object_name;
  std::uint64_t released_at = UINT64_MAX;
};

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_HELD_H_
