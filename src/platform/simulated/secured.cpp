// Folders and files made with a security of their own, opens that follow no
// link or hold nothing, and writing.
#include <algorithm>
#include <string>

#include "platform/simulated/internal.h"
#include "platform/simulated/simulated_platform.h"

using simulated::LastPart;
using simulated::ParentOf;

FolderResult SimulatedPlatform::CreateDirectoryA(const char* path) {
  if (Record(Op::CreateDirectoryA, path)) return FolderResult::Failed;
  std::string key = Resolve(path, false);
  if (key.empty() || !IsFolder(ParentOf(key))) return FolderResult::Failed;
  if (tree_.count(key) != 0) return FolderResult::AlreadyExists;
  Node& node = tree_[key];
  node.name = LastPart(key);
  node.attributes = kAttributeDirectory;
  // Protected: owned by Administrators, changed by them and SYSTEM alone,
  // whatever its parent allows.
  node.owner = "Administrators";
  node.writers = {"SYSTEM", "Administrators"};
  return FolderResult::Created;
}

bool SimulatedPlatform::OpenFolderA(const char* path, Handle* folder) {
  if (Record(Op::OpenFolderA, path)) return false;
  std::string key = Resolve(path, false);
  auto it = tree_.find(key);
  if (it == tree_.end() || !IsFolder(key) ||
      (it->second.attributes & kAttributeReparsePoint) != 0) {
    return false;
  }
  *folder = OpenKey(key, false, false);
  return true;
}

bool SimulatedPlatform::GetSecurityInfo(Handle object,
                                        bool* administrators_own) {
  if (Record(Op::GetSecurityInfo, std::to_string(object))) return false;
  auto it = files_.find(object);
  if (it == files_.end() || tree_.count(it->second.key) == 0) return false;
  const std::string& owner = tree_.at(it->second.key).owner;
  *administrators_own = owner == "Administrators" || owner == "SYSTEM";
  return true;
}

OpenResult SimulatedPlatform::OpenFileShared(const char* path, Handle* file) {
  if (Record(Op::OpenFileShared, path)) return OpenResult::Failed;
  std::string key = Resolve(path, true);
  if (tree_.count(key) == 0 || IsFolder(key)) return OpenResult::Failed;
  if (Locked(key)) return OpenResult::InUse;
  *file = OpenKey(key, true, false);
  return OpenResult::Opened;
}

bool SimulatedPlatform::CreateNewFileA(const char* path, Handle* file) {
  if (Record(Op::CreateNewFileA, path)) return false;
  std::string key = Resolve(path, false);
  if (key.empty() || tree_.count(key) != 0 || !IsFolder(ParentOf(key))) {
    return false;
  }
  Node& node = tree_[key];
  node.name = LastPart(key);
  node.owner = "Administrators";
  node.writers = tree_.at(ParentOf(key)).writers;
  *file = OpenKey(key, false, true);
  return true;
}

bool SimulatedPlatform::WriteFile(Handle file, const void* buffer,
                                  std::uint32_t size) {
  if (Record(Op::WriteFile, std::to_string(file))) return false;
  auto it = files_.find(file);
  if (it == files_.end() || !it->second.writable ||
      tree_.count(it->second.key) == 0) {
    return false;
  }
  std::string& content = tree_.at(it->second.key).content;
  if (it->second.append) it->second.offset = content.size();
  content.resize(std::max(content.size(), it->second.offset + size));
  content.replace(it->second.offset, size, static_cast<const char*>(buffer),
                  size);
  it->second.offset += size;
  return true;
}
