#include "launcher/folder_tree.h"

#include <cstring>

#include "platform/file_find.h"

namespace {

constexpr char kAllEntries[] = "\\*.*";
constexpr char kSeparator[] = "\\";

// The name to compose the current entry's path from: its long name when
// usable, else its short one; empty when neither is.
std::string UsableName(const CFileFind& find, const LeadBytes& lead_bytes) {
  std::string name = find.GetFileName();
  if (!IsUsableEntryName(name, lead_bytes)) name = find.GetShortName();
  return IsUsableEntryName(name, lead_bytes) ? name : std::string();
}

bool DeleteFolderContents(PlatformServices& platform, const std::string& path,
                          const LeadBytes& lead_bytes);

// Deletes what a folder already known not to be a link holds.
void EmptyFolderContents(PlatformServices& platform, const std::string& path,
                         const LeadBytes& lead_bytes) {
  CFileFind find(platform);
  bool more = find.FindFile((path + kAllEntries).c_str());
  while (more) {
    // The entry made current by the advance that returns false is still
    // handled: it is the last one.
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    std::string name = UsableName(find, lead_bytes);
    if (name.empty()) continue;
    std::string entry = path + kSeparator;
    entry += name;
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
      DeleteFolderContents(platform, entry, lead_bytes);
    } else {
      platform.DeleteFileA(entry.c_str());
    }
  }
  find.Close();
}

// Empties and removes a folder already known not to be a link. The search
// holds the folder open; it ends before the removal.
bool DeleteFolderContents(PlatformServices& platform, const std::string& path,
                          const LeadBytes& lead_bytes) {
  EmptyFolderContents(platform, path, lead_bytes);
  return platform.RemoveDirectoryA(path.c_str());
}

}  // namespace

bool DeleteFolderTree(PlatformServices& platform, const std::string& path) {
  std::uint32_t attributes = platform.GetFileAttributesA(path.c_str());
  if (attributes != kInvalidFileAttributes &&
      (attributes & kAttributeReparsePoint) != 0) {
    return platform.RemoveDirectoryA(path.c_str());
  }
  return DeleteFolderContents(platform, path, platform.GetCPInfo());
}

void EmptyFolder(PlatformServices& platform, const std::string& path) {
  EmptyFolderContents(platform, path, platform.GetCPInfo());
}

bool IsUsableEntryName(const std::string& name, const LeadBytes& lead_bytes) {
  if (name.empty() || name == "." || name == "..") return false;
  char last = name.back();
  if (last == '.' || last == ' ') return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto byte = static_cast<unsigned char>(name[i]);
    if (lead_bytes.test(byte)) {
      ++i;
    } else if (byte < 0x20 || std::strchr("\\/:*?\"<>|", byte) != nullptr) {
      return false;
    }
  }
  return true;
}
