#include "launcher/folder_tree.h"

#include "platform/file_find.h"

namespace {

constexpr char kAllEntries[] = "\\*.*";
constexpr char kSeparator[] = "\\";

// Empties and removes a folder already known not to be a link.
bool DeleteFolderContents(PlatformServices& platform, const std::string& path) {
  CFileFind find(platform);
  bool more = find.FindFile((path + kAllEntries).c_str());
  while (more) {
    // The entry made current by the advance that returns false is still
    // handled: it is the last one.
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    std::string entry = path + kSeparator + find.GetFileName();
    bool is_folder = find.MatchesMask(kAttributeDirectory);
    if (find.MatchesMask(kAttributeReparsePoint)) {
      // RemoveDirectoryA and DeleteFileA remove a link itself, never its
      // target.
      if (is_folder) {
        platform.RemoveDirectoryA(entry.c_str());
      } else {
        platform.DeleteFileA(entry.c_str());
      }
    } else if (is_folder) {
      DeleteFolderContents(platform, entry);
    } else {
      platform.DeleteFileA(entry.c_str());
    }
  }
  // The search holds the folder open; it must end before the removal.
  find.Close();
  return platform.RemoveDirectoryA(path.c_str());
}

}  // namespace

bool DeleteFolderTree(PlatformServices& platform, const std::string& path) {
  std::uint32_t attributes = platform.GetFileAttributesA(path.c_str());
  if (attributes != kInvalidFileAttributes &&
      (attributes & kAttributeReparsePoint) != 0) {
    return platform.RemoveDirectoryA(path.c_str());
  }
  return DeleteFolderContents(platform, path);
}
