// The Windows folder and the temporary folder it gives, the random
// generator, the clock, and what happens at a restart.
#include <cstring>
#include <string>

#include "platform/simulated/internal.h"
#include "platform/simulated/simulated_platform.h"

namespace {

// FILETIME units (100 ns) in a millisecond.
constexpr std::uint64_t kFileTimePerMs = 10000;

// Copies `text` as the ANSI folder queries do: its length on success, the
// size it needs when `size` is too small.
std::uint32_t GiveFolder(const std::string& text, char* buffer,
                         std::uint32_t size) {
  std::uint32_t length = static_cast<std::uint32_t>(text.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, text.c_str(), length + 1);
  return length;
}

}  // namespace

std::uint32_t SimulatedPlatform::GetSystemWindowsDirectoryA(
    char* buffer, std::uint32_t size) {
  if (Record(Op::GetSystemWindowsDirectoryA, "")) return 0;
  return GiveFolder(windows_directory, buffer, size);
}

bool SimulatedPlatform::GenerateRandom(void* buffer, std::uint32_t size) {
  if (Record(Op::GenerateRandom, std::to_string(size)) || !lookups_confined) {
    return false;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::uint32_t i = 0; i < size; ++i) {
    if (!random_bytes.empty()) {
      bytes[i] = static_cast<unsigned char>(random_bytes[0]);
      random_bytes.erase(0, 1);
    } else {
      bytes[i] = next_random_++;
    }
  }
  return true;
}

bool SimulatedPlatform::MoveFileExA(const char* path) {
  if (Record(Op::MoveFileExA, path)) return false;
  std::string key = Resolve(path, false);
  if (tree_.count(key) == 0) return false;
  pending_deletions_.push_back(path);
  return true;
}

// Time passes: the processes due end meanwhile.
void SimulatedPlatform::Sleep(std::uint32_t milliseconds) {
  Record(Op::Sleep, std::to_string(milliseconds));  // cannot fail
  AdvanceTo(now() + milliseconds);
}

void SimulatedPlatform::SetLocked(const std::string& path,
                                  std::uint64_t until_ms) {
  tree_[simulated::KeyOf(path)].locked_until = until_ms;
}

// The Session Manager deletes by name, as SYSTEM, before anyone logs on: a
// link that has taken the place of a folder on the way is followed.
void SimulatedPlatform::Restart() {
  files_.clear();
  for (const std::string& name : pending_deletions_) {
    std::string key = Resolve(name, false);
    if (tree_.count(key) != 0 && !HasChildren(key)) tree_.erase(key);
  }
  pending_deletions_.clear();
  boot_time = SystemTime() + 60 * kFileTimePerMs * 1000;
  uptime_ms = 0 - std::uint64_t{now()};  // the tick count starts at 0
}

void SimulatedPlatform::SetCreated(const std::string& path,
                                   std::uint64_t file_time) {
  tree_[simulated::KeyOf(path)].created = file_time;
}

std::uint64_t SimulatedPlatform::SystemTime() const {
  return boot_time + (uptime_ms + now()) * kFileTimePerMs;
}

std::uint64_t SimulatedPlatform::GetSystemTimeAsFileTime() {
  if (Record(Op::GetSystemTimeAsFileTime, "")) return 0;
  return SystemTime();
}

bool SimulatedPlatform::GetTickCount64(std::uint64_t* milliseconds) {
  if (Record(Op::GetTickCount64, "")) return false;
  *milliseconds = uptime_ms + now();
  return true;
}
