#include "kit/kit_cache.h"

#include <algorithm>
#include <vector>

#include "kit/sha256.h"
#include "launcher/folder_tree.h"
#include "launcher/kit_admission.h"
#include "launcher/locations.h"
#include "platform/file_find.h"

const char kCachePrefix[] = "InstallerLauncherKit-";
const char kCacheParentName[] = "InstallerLauncherKits";

namespace {

constexpr int kNameTries = 4;
constexpr std::size_t kRandomBytes = 8;
// Pauses while a kit file is kept from the launcher: doubling from the
// first, never longer than the longest, about 10 s in all.
constexpr std::uint32_t kFirstPause = 50;
constexpr std::uint32_t kLongestPause = 2000;
constexpr std::uint32_t kPatience = 10000;
// FILETIME units (100 ns) in a millisecond, and the margin, in
// milliseconds, by which an old cache must predate the start of Windows.
constexpr std::uint64_t kFileTimePerMs = 10000;
constexpr std::uint64_t kClockMargin = std::uint64_t{24} * 3600 * 1000;

// The name of a cache and nothing else: the prefix and 16 digits.
bool IsCacheName(const std::string& name) {
  std::size_t prefix = sizeof(kCachePrefix) - 1;
  return name.size() == prefix + 2 * kRandomBytes &&
         name.compare(0, prefix, kCachePrefix) == 0 &&
         name.find_first_not_of("0123456789abcdef", prefix) ==
             std::string::npos;
}

// Whether the open folder is one that only administrators can have made or
// changed since: owned by Administrators or SYSTEM, with a protected DACL
// that lets nobody else write (what CreateDirectoryA gives).
bool AdministratorsOnly(PlatformServices& platform, Handle folder) {
  bool owned = false;
  bool protected_dacl = false;
  return platform.GetSecurityInfo(folder, &owned) && owned &&
         platform.GetProtectedDacl(folder, &protected_dacl) && protected_dacl;
}

// When Windows last started (a FILETIME), less the margin: the system time
// less the time since the start. 0 when the tick count cannot be had.
std::uint64_t StartOfWindows(PlatformServices& platform) {
  std::uint64_t ticks = 0;
  if (!platform.GetTickCount64(&ticks)) return 0;
  std::uint64_t now = platform.GetSystemTimeAsFileTime();
  std::uint64_t since = (ticks + kClockMargin) * kFileTimePerMs;
  return now > since ? now - since : 0;
}

// One attempt at copying `source` to the new file `target`; a copy that
// fails is deleted again. Unreadable when another process keeps the file
// from being read (a failed read is taken for a lock), to be tried again.
PinnedRead CopyOnce(PlatformServices& platform, const std::string& source,
                    const std::string& target, const KitPin& pin) {
  Handle in = 0;
  switch (platform.OpenFileShared(source.c_str(), &in)) {
    case OpenResult::InUse:
      return PinnedRead::Unreadable;
    case OpenResult::Failed:
      return PinnedRead::Differs;
    case OpenResult::Opened:
      break;
  }
  PinnedRead result = PinnedRead::Differs;
  Handle out = 0;
  if (platform.CreateNewFileA(target.c_str(), &out)) {
    result = ReadPinned(platform, in, out, pin);
    platform.CloseHandle(out);
    if (result != PinnedRead::Same) platform.DeleteFileA(target.c_str());
  }
  platform.CloseHandle(in);
  return result;
}

// Copies one file, asking again while it is kept from the launcher, as long
// as `waited` (shared by the kit's files) stays within the patience. A file
// of another size is refused before a byte of it is read.
bool CopyPinned(PlatformServices& platform, const std::string& source,
                const std::string& target, const KitPin& pin,
                std::uint32_t* waited) {
  std::uint64_t size = 0;
  if (!platform.GetFileAttributesExA(source.c_str(), &size) ||
      size != pin.size) {
    return false;
  }
  for (std::uint32_t pause = kFirstPause;;
       pause = std::min(2 * pause, kLongestPause)) {
    PinnedRead result = CopyOnce(platform, source, target, pin);
    if (result != PinnedRead::Unreadable) return result == PinnedRead::Same;
    if (*waited >= kPatience) return false;
    pause = std::min(pause, kPatience - *waited);
    platform.Sleep(pause);
    *waited += pause;
  }
}

// Holds the folder `path` (not a link) when only administrators can have
// made it or changed it since.
bool HoldAdministratorsOnly(PlatformServices& platform, const std::string& path,
                            KitHold* hold) {
  Handle folder = 0;
  if (!platform.OpenFolderA(path.c_str(), &folder)) return false;
  if (!AdministratorsOnly(platform, folder)) {
    platform.CloseHandle(folder);
    return false;
  }
  hold->Keep(folder);
  return true;
}

}  // namespace

bool CreateFreshCache(PlatformServices& platform, KitHold* hold,
                      std::string* cache) {
  std::string windows = WindowsFolder(platform);
  if (windows.empty()) return false;
  auto sweep_and_create = [&](const std::string& parent) {
    SweepOldCaches(platform, parent);
    return CreateCache(platform, parent, hold, cache);
  };
  // SystemTemp may pass the check and still refuse an administrator's new
  // entries (it is SYSTEM's own): the launcher's own folder serves then.
  std::string system_temp = windows + "\\SystemTemp";
  if (platform.PathFileExistsA(system_temp.c_str()) &&
      HoldAdministratorsOnly(platform, system_temp, hold) &&
      sweep_and_create(system_temp)) {
    return true;
  }
  std::string own = windows + "\\" + kCacheParentName;
  return platform.CreateDirectoryA(own.c_str()) != FolderResult::Failed &&
         HoldAdministratorsOnly(platform, own, hold) && sweep_and_create(own);
}

bool CreateCache(PlatformServices& platform, const std::string& parent,
                 KitHold* hold, std::string* cache) {
  if (parent.empty()) return false;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    unsigned char random[kRandomBytes];
    if (!platform.GenerateRandom(random, sizeof(random))) return false;
    std::string path = parent + "\\" + kCachePrefix;
    for (unsigned char byte : random) {
      path += "0123456789abcdef"[byte >> 4];
      path += "0123456789abcdef"[byte & 0xF];
    }
    switch (platform.CreateDirectoryA(path.c_str())) {
      case FolderResult::AlreadyExists:
        continue;
      case FolderResult::Failed:
        return false;
      case FolderResult::Created:
        break;
    }
    // Until it is held, whoever can rename entries of the parent can put
    // another folder, or a link, in its place.
    Handle folder = 0;
    bool opened = platform.OpenFolderA(path.c_str(), &folder);
    if (!opened || !AdministratorsOnly(platform, folder)) {
      if (opened) platform.CloseHandle(folder);
      platform.RemoveDirectoryA(path.c_str());
      return false;
    }
    hold->Keep(folder);
    *cache = path;
    return true;
  }
  return false;
}

bool CopyPinnedKit(PlatformServices& platform, const std::string& L,
                   const std::string& cache, const KitPins& pins,
                   KitHold* hold) {
  std::uint32_t waited = 0;
  Handle copy = 0;
  for (const KitFile& file : KitFiles(pins)) {
    if (!file.pin.pinned) continue;
    std::string target = cache + "\\" + file.name;
    if (!CopyPinned(platform, L + "\\" + file.name, target, file.pin,
                    &waited) ||
        !hold->Open(target, false, &copy)) {
      return false;
    }
  }
  return true;
}

bool ScheduleCacheDeletion(PlatformServices& platform,
                           const std::string& cache) {
  // The cache holds the copies of one kit and nothing else: files, one at
  // least (data.exe), and no folder.
  std::size_t files = 0;
  bool scheduled = true;
  CFileFind find(platform);
  std::string pattern = cache + "\\*";
  for (bool more = find.FindFile(pattern.c_str()); more;) {
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    std::string path = cache + "\\" + find.GetFileName();
    ++files;
    scheduled = scheduled && !find.MatchesMask(kAttributeDirectory) &&
                !find.GetFileName().empty() &&
                platform.MoveFileExA(path.c_str());
  }
  find.Close();
  return scheduled && files != 0 && platform.MoveFileExA(cache.c_str());
}

void SweepOldCaches(PlatformServices& platform, const std::string& parent) {
  struct Found {
    std::string path;
    bool link;
  };
  std::vector<Found> found;
  CFileFind find(platform);
  std::string pattern = parent + "\\" + kCachePrefix + "*";
  for (bool more = find.FindFile(pattern.c_str()); more;) {
    more = find.FindNextFile();
    if (find.MatchesMask(kAttributeDirectory) &&
        IsCacheName(find.GetFileName())) {
      found.push_back({parent + "\\" + find.GetFileName(),
                       find.MatchesMask(kAttributeReparsePoint)});
    }
  }
  find.Close();
  std::uint64_t started = StartOfWindows(platform);
  for (const Found& old : found) {
    // A link goes as a link; a folder is looked into only while it is
    // held, and only when administrators alone made it and can change it:
    // one that anybody else can change could turn into a link to elsewhere
    // while it is emptied.
    if (old.link) {
      platform.RemoveDirectoryA(old.path.c_str());
      continue;
    }
    Handle folder = 0;
    if (!platform.OpenFolderA(old.path.c_str(), &folder)) continue;
    HandleInformation info;
    std::string data = old.path + "\\data.exe";
    bool idle = AdministratorsOnly(platform, folder) &&
                platform.GetFileInformationByHandle(folder, &info) &&
                info.created < started &&
                (platform.DeleteFileA(data.c_str()) ||
                 !platform.PathFileExistsA(data.c_str()));
    if (idle) EmptyFolder(platform, old.path);
    platform.CloseHandle(folder);
    if (idle) platform.RemoveDirectoryA(old.path.c_str());
  }
}

bool CacheKit(PlatformServices& platform, const std::string& L,
              const KitPins& pins, KitHold* hold, std::string* cache,
              bool until_restart) {
  if (!CreateFreshCache(platform, hold, cache)) return false;
  bool copied = CopyPinnedKit(platform, L, *cache, pins, hold);
  if (copied && (!until_restart || ScheduleCacheDeletion(platform, *cache))) {
    return true;
  }
  // Once any deletion at restart may have been registered, the folder
  // stays until then.
  DiscardCache(platform, *cache, hold, copied && until_restart);
  return false;
}

void DiscardCache(PlatformServices& platform, const std::string& cache,
                  KitHold* hold, bool until_restart) {
  hold->Release();
  if (cache.empty()) return;
  if (until_restart) {
    EmptyFolder(platform, cache);
  } else {
    DeleteFolderTree(platform, cache);
  }
}

void DiscardKit(PlatformServices& platform, const AdmittedKit& kit,
                KitHold* hold, bool until_restart) {
  DiscardCache(platform, kit.cache, hold, until_restart);
}
