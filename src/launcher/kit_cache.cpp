#include "launcher/kit_cache.h"

#include <algorithm>
#include <vector>

#include "launcher/folder_tree.h"
#include "launcher/locations.h"
#include "launcher/sha256.h"
#include "platform/file_find.h"

const char kCachePrefix[] = "InstallerLauncherKit-";

namespace {

constexpr int kNameTries = 4;
constexpr std::size_t kRandomBytes = 8;
// Pauses while a kit file is kept from the launcher: doubling from the
// first, never longer than the longest, about 10 s in all.
constexpr std::uint32_t kFirstPause = 50;
constexpr std::uint32_t kLongestPause = 2000;
constexpr std::uint32_t kPatience = 10000;

// The name of a cache and nothing else: the prefix and 16 digits.
bool IsCacheName(const std::string& name) {
  std::size_t prefix = sizeof(kCachePrefix) - 1;
  return name.size() == prefix + 2 * kRandomBytes &&
         name.compare(0, prefix, kCachePrefix) == 0 &&
         name.find_first_not_of("0123456789abcdef", prefix) ==
             std::string::npos;
}

// ASCII letters compare without case, as the file system compares them.
bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  auto upper = [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  };
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [&](char a, char b) { return upper(a) == upper(b); });
}

// The folder GetTempPath2A gives, without its final "\"; empty without one.
std::string TempPath2(PlatformServices& platform) {
  char buffer[kMaxPath] = {};
  std::uint32_t length = platform.GetTempPath2A(buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return "";
  std::string folder(buffer, length);
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
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

}  // namespace

std::string CacheParent(PlatformServices& platform) {
  std::string windows = WindowsFolder(platform);
  if (windows.empty()) return "";
  std::string temp = TempPath2(platform);
  // Inside the Windows folder, and no way out of it by "..".
  if (StartsWithNoCase(temp, windows + "\\") &&
      temp.find("..") == std::string::npos &&
      temp.find('/') == std::string::npos) {
    return temp;
  }
  return windows + "\\Temp";
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
    *cache = path;
    Handle folder = 0;
    if (!platform.OpenFolderA(path.c_str(), &folder)) return false;
    hold->Keep(folder);
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

bool ScheduleCacheDeletion(PlatformServices& platform, const std::string& cache,
                           const KitPins& pins) {
  for (const KitFile& file : KitFiles(pins)) {
    std::string path = cache + "\\" + file.name;
    if (file.pin.pinned && !platform.MoveFileExA(path.c_str())) return false;
  }
  return platform.MoveFileExA(cache.c_str());
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
  for (const Found& old : found) {
    // A link goes as a link; a folder is looked into only while it is
    // held, and only when an administrator made it: one that anybody else
    // made could turn into a link to elsewhere while it is deleted.
    if (old.link) {
      platform.RemoveDirectoryA(old.path.c_str());
      continue;
    }
    Handle folder = 0;
    if (!platform.OpenFolderA(old.path.c_str(), &folder)) continue;
    bool ours = false;
    std::string data = old.path + "\\data.exe";
    bool idle = platform.GetSecurityInfo(folder, &ours) && ours &&
                (platform.DeleteFileA(data.c_str()) ||
                 !platform.PathFileExistsA(data.c_str()));
    platform.CloseHandle(folder);
    if (idle) DeleteFolderTree(platform, old.path);
  }
}

bool CacheKit(PlatformServices& platform, const std::string& L,
              const KitPins& pins, KitHold* hold, std::string* cache) {
  std::string parent = CacheParent(platform);
  if (!parent.empty()) SweepOldCaches(platform, parent);
  if (CreateCache(platform, parent, hold, cache) &&
      CopyPinnedKit(platform, L, *cache, pins, hold) &&
      ScheduleCacheDeletion(platform, *cache, pins)) {
    return true;
  }
  DiscardCache(platform, *cache, hold);
  return false;
}

void DiscardCache(PlatformServices& platform, const std::string& cache,
                  KitHold* hold) {
  hold->Release();
  if (!cache.empty()) DeleteFolderTree(platform, cache);
}
