// Who may change files and folders (owners and DACLs as data), folders this
// process creates, and files it appends to.
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
                                    const std::vector<std::string>& writers) {
  Node& node = tree_[KeyOf(path)];
  node.owner = owner;
  node.writers = writers;
}

void SimulatedPlatform::SetNames(const std::string& path, std::uint32_t names) {
  tree_[KeyOf(path)].names = names;
}

std::uint32_t SimulatedPlatform::GetSystemWindowsDirectoryA(
    char* buffer, std::uint32_t size) {
  if (Record(Op::GetSystemWindowsDirectoryA, "")) return 0;
  if (windows_directory.size() >= size) {
    return static_cast<std::uint32_t>(windows_directory.size() + 1);
  }
  std::memcpy(buffer, windows_directory.c_str(), windows_directory.size() + 1);
  return static_cast<std::uint32_t>(windows_directory.size());
}

bool SimulatedPlatform::CreateDirectoryA(const char* path) {
  if (Record(Op::CreateDirectoryA, path)) return false;
  std::string key = Resolve(path, false);
  if (key.empty() || tree_.count(key) != 0 || !IsFolder(ParentOf(key))) {
    return false;
  }
  Node node;
  node.name = LastPart(key);
  node.attributes = kAttributeDirectory;
  tree_[key] = node;  // owned by Administrators, SYSTEM and them alone
  return true;
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
  *file = NewHandle();
  handles_.insert(*file);
  files_[*file] = OpenFile{key, 0, true};
  return true;
}

bool SimulatedPlatform::WriteFile(Handle file, const void* data,
                                  std::uint32_t size) {
  if (Record(Op::WriteFile, std::to_string(file))) return false;
  auto it = files_.find(file);
  auto node = it != files_.end() ? tree_.find(it->second.key) : tree_.end();
  if (node == tree_.end() || !it->second.append) return false;
  node->second.content.append(static_cast<const char*>(data), size);
  return true;
}
