// Who may change files and folders (owners and DACLs as data), folders made
// for administrators alone, opens that follow no link or hold nothing, and
// writing and appending.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/simulated/internal.h"
#include "platform/simulated/simulated_platform.h"

using simulated::KeyOf;
using simulated::LastPart;
using simulated::ParentOf;

void SimulatedPlatform::SetSecurity(const std::string& path,
                                    const std::string& owner,
                                    const std::vector<std::string>& writers,
                                    bool dacl_protected) {
  Node& node = tree_[KeyOf(path)];
  node.owner = owner;
  node.writers = writers;
  node.dacl_protected = dacl_protected;
}

void SimulatedPlatform::SetNames(const std::string& path, std::uint32_t names) {
  tree_[KeyOf(path)].names = names;
}

bool SimulatedPlatform::GetFileSecurityA(const char* path,
                                         FileSecurity* security) {
  if (Record(Op::GetFileSecurityA, path)) return false;
  auto it = tree_.find(Resolve(path, false));
  if (it == tree_.end()) return false;
  const Node& node = it->second;
  auto trusted = [this](const std::string& account) {
    return account == "SYSTEM" || account == "Administrators" ||
           account == "TrustedInstaller" || account == user;
  };
  security->folder = (node.attributes & kAttributeDirectory) != 0;
  security->link = (node.attributes & kAttributeReparsePoint) != 0;
  security->names = node.names;
  security->others_can_write =
      !trusted(node.owner) ||
      !std::all_of(node.writers.begin(), node.writers.end(), trusted);
  return true;
}

bool SimulatedPlatform::OpenAppendFileA(const char* path, Handle* file) {
  if (Record(Op::OpenAppendFileA, path)) return false;
  std::string key = Resolve(path, false);
  if (key.empty()) return false;
  auto it = tree_.find(key);
  if (it == tree_.end()) {
    auto parent = tree_.find(ParentOf(key));
    if (parent == tree_.end() || !IsFolder(parent->first)) return false;
    Node node;
    node.name = LastPart(key);
    node.writers = parent->second.writers;  // inherited
    tree_[key] = node;
  } else if ((it->second.attributes &
              (kAttributeDirectory | kAttributeReparsePoint |
               kAttributeReadOnly)) != 0 ||
             it->second.names != 1 || it->second.in_use) {
    return false;
  }
  // Shared for reading and appending: it holds nothing.
  *file = OpenKey(key, true, true);
  files_[*file].append = true;
  return true;
}

FolderResult SimulatedPlatform::CreateDirectoryA(const char* path) {
  if (Record(Op::CreateDirectoryA, path) || !lookups_confined) {
    return FolderResult::Failed;
  }
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
  node.dacl_protected = true;
  node.created = SystemTime();
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
  if (Record(Op::GetSecurityInfo, std::to_string(object)) ||
      !lookups_confined) {
    return false;
  }
  auto it = files_.find(object);
  if (it == files_.end() || tree_.count(it->second.key) == 0) return false;
  const std::string& owner = tree_.at(it->second.key).owner;
  *administrators_own = owner == "Administrators" || owner == "SYSTEM";
  return true;
}

bool SimulatedPlatform::GetProtectedDacl(Handle object,
                                         bool* administrators_only) {
  if (Record(Op::GetProtectedDacl, std::to_string(object)) ||
      !lookups_confined) {
    return false;
  }
  auto it = files_.find(object);
  if (it == files_.end() || tree_.count(it->second.key) == 0) return false;
  const Node& node = tree_.at(it->second.key);
  *administrators_only =
      node.dacl_protected &&
      std::all_of(node.writers.begin(), node.writers.end(),
                  [](const std::string& account) {
                    return account == "SYSTEM" || account == "Administrators";
                  });
  return true;
}

bool SimulatedPlatform::GetFileInformationByHandle(Handle file,
                                                   HandleInformation* info) {
  if (Record(Op::GetFileInformationByHandle, std::to_string(file))) {
    return false;
  }
  auto it = files_.find(file);
  if (it == files_.end() || tree_.count(it->second.key) == 0) return false;
  const Node& node = tree_.at(it->second.key);
  info->attributes = simulated::Reported(node);
  info->created = node.created;
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
  node.created = SystemTime();
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
