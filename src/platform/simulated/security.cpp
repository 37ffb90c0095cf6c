// Who may change files and folders (owners and DACLs as data), and files
// this process appends to.
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
