#ifndef LAUNCHER_LAUNCHER_KIT_HOLD_H_
#define LAUNCHER_LAUNCHER_KIT_HOLD_H_

#include <string>
#include <vector>

#include "platform/platform_services.h"

// What a run lets go of once the new installer runs: the kit's files and
// folders, held since they were checked. Defined here whole, so that each
// room that holds files instantiates what it uses. Files and folders held
// open (PlatformServices::CreateFileA, which holds a
// link itself, not its target) so that nobody can write, rename or delete
// them; released by Release or when the hold is destroyed.
class KitHold {
 public:
  explicit KitHold(PlatformServices& platform) : platform_(platform) {}
  ~KitHold() { Release(); }
  KitHold(const KitHold&) = delete;
  KitHold& operator=(const KitHold&) = delete;

  // Opens and keeps `path`; false when the platform refuses it.
  bool Open(const std::string& path, bool folder, Handle* handle) {
    if (!platform_.CreateFileA(path.c_str(), folder, handle)) return false;
    Keep(*handle);
    return true;
  }
  // Keeps a handle opened otherwise.
  void Keep(Handle handle) { handles_.push_back(handle); }
  void Release() {
    for (Handle handle : handles_) platform_.CloseHandle(handle);
    handles_.clear();
  }

 private:
  PlatformServices& platform_;
  std::vector<Handle> handles_;
};

#endif  // LAUNCHER_LAUNCHER_KIT_HOLD_H_
