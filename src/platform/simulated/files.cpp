// The tree of files and folders: attributes, short names, links, and the
// refusals of deletion and removal.
#include "platform/simulated/simulated_platform.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/simulated/internal.h"

namespace {

constexpr std::uint32_t kSettableAttributes =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem |
    kAttributeArchive | 0x100 /*temporary*/ | 0x1000 /*offline*/ |
    0x2000 /*not content indexed*/;

}  // namespace

namespace simulated {

std::uint32_t Reported(const SimulatedPlatform::Node& node) {
  return node.attributes == 0 ? kAttributeNormal : node.attributes;
}

}  // namespace simulated

using simulated::JoinPath;
using simulated::KeyOf;
using simulated::LastPart;
using simulated::NoCaseEqual;
using simulated::NoCaseStartsWith;
using simulated::ParentOf;
using simulated::Reported;
using simulated::SplitPath;

bool SimulatedPlatform::Node::operator==(const Node& other) const {
  return name == other.name && short_name == other.short_name &&
         attributes == other.attributes && content == other.content &&
         target == other.target && in_use == other.in_use &&
         owner == other.owner && writers == other.writers &&
         names == other.names && locked_until == other.locked_until &&
         dacl_protected == other.dacl_protected && created == other.created;
}

SimulatedPlatform::SimulatedPlatform() {
  AddFolder("C:\\Windows\\system32");
  AddFolder("C:\\Windows\\Logs");
  AddFolder("C:\\Windows\\Temp");
  // Anybody may make entries in the Windows folder's Temp.
  SetSecurity("C:\\Windows\\Temp", "SYSTEM",
              {"SYSTEM", "Administrators", "Users"});
  AddFolder(current_directory);
  AddFolder("D:\\Setup");
  // The launcher's own image, which no installer's bytes match by chance.
  AddFile(module_file_name, "MZ launcher image");
}

// ---- Setting up ----

void SimulatedPlatform::AddFolder(const std::string& path,
                                  std::uint32_t attributes) {
  std::vector<std::string> parts = SplitPath(path);
  for (std::size_t i = 1; i <= parts.size(); ++i) {
    Node& node = tree_[JoinPath(parts, i)];
    node.name = parts[i - 1];
    node.attributes |= kAttributeDirectory;
  }
  tree_[KeyOf(path)].attributes |= attributes;
}

void SimulatedPlatform::AddFile(const std::string& path,
                                const std::string& content,
                                std::uint32_t attributes) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.size() > 1) AddFolder(JoinPath(parts, parts.size() - 1));
  Node node;
  node.name = parts.back();
  node.attributes = attributes & ~kAttributeDirectory;
  node.content = content;
  tree_[KeyOf(path)] = node;
}

void SimulatedPlatform::AddLink(const std::string& path,
                                const std::string& target, bool folder) {
  AddFile(path);
  Node& node = tree_[KeyOf(path)];
  node.attributes = kAttributeReparsePoint | (folder ? kAttributeDirectory : 0);
  node.target = target;
}

void SimulatedPlatform::SetInUse(const std::string& path) {
  tree_[KeyOf(path)].in_use = true;
}

void SimulatedPlatform::SetShortName(const std::string& path,
                                     const std::string& short_name) {
  tree_[KeyOf(path)].short_name = short_name;
}

void SimulatedPlatform::Remove(const std::string& path) {
  std::string key = KeyOf(path);
  for (auto it = tree_.begin(); it != tree_.end();) {
    bool below = NoCaseStartsWith(it->first, key + "\\");
    it = (below || NoCaseEqual(it->first, key)) ? tree_.erase(it) : ++it;
  }
}

// ---- Inspection ----

const SimulatedPlatform::Node* SimulatedPlatform::Find(
    const std::string& path) const {
  auto it = tree_.find(ResolveParts(SplitPath(path), false, 0));
  return it == tree_.end() ? nullptr : &it->second;
}

bool SimulatedPlatform::Exists(const std::string& path) const {
  return Find(path) != nullptr;
}

bool SimulatedPlatform::IsFolder(const std::string& key) const {
  auto it = tree_.find(key);
  return it != tree_.end() &&
         (it->second.attributes & kAttributeDirectory) != 0;
}

std::vector<std::string> SimulatedPlatform::Children(
    const std::string& key) const {
  std::vector<std::string> children;
  std::string prefix = key + "\\";
  for (auto it = tree_.lower_bound(prefix);
       it != tree_.end() && NoCaseStartsWith(it->first, prefix); ++it) {
    if (it->first.find('\\', prefix.size()) == std::string::npos) {
      children.push_back(it->first);
    }
  }
  return children;
}

bool SimulatedPlatform::HasChildren(const std::string& key) const {
  return !Children(key).empty();
}

// ---- Files and folders ----

bool SimulatedPlatform::PathFileExistsA(const char* path) {
  if (Record(Op::PathFileExistsA, path)) return false;
  std::string key = Resolve(path, true);
  return !key.empty() && tree_.count(key) != 0;
}

std::uint32_t SimulatedPlatform::GetFileAttributesA(const char* path) {
  if (Record(Op::GetFileAttributesA, path)) return kInvalidFileAttributes;
  auto it = tree_.find(Resolve(path, false));
  return it == tree_.end() ? kInvalidFileAttributes : Reported(it->second);
}

Presence SimulatedPlatform::GetFilePresence(const char* path) {
  if (Record(Op::GetFilePresence, path)) return Presence::Unknown;
  std::vector<std::string> parts = simulated::SplitPath(path);
  if (!parts.empty() && !HasDrive(parts[0])) return Presence::NoFolder;
  std::string key = Resolve(path, false);
  if (key.empty()) return Presence::Unknown;
  if (tree_.count(key) != 0) return Presence::There;
  return IsFolder(ParentOf(key)) ? Presence::NotThere : Presence::NoFolder;
}

bool SimulatedPlatform::SetFileAttributesA(const char* path,
                                           std::uint32_t attributes) {
  if (Record(Op::SetFileAttributesA, path)) return false;
  auto it = tree_.find(Resolve(path, false));
  if (it == tree_.end()) return false;
  // The folder and link bits are not the caller's to set or clear.
  Node& node = it->second;
  node.attributes =
      (attributes & kSettableAttributes) |
      (node.attributes & (kAttributeDirectory | kAttributeReparsePoint));
  return true;
}

bool SimulatedPlatform::CopyFileA(const char* existing, const char* target,
                                  bool fail_if_exists) {
  if (Record(Op::CopyFileA, existing, target)) return false;
  auto source = tree_.find(Resolve(existing, true));
  std::string key = Resolve(target, true);
  if (source == tree_.end() || IsFolder(source->first) || key.empty() ||
      !IsFolder(ParentOf(key))) {
    return false;
  }
  if (tree_.count(key) != 0 && (fail_if_exists || RefusesChange(key))) {
    return false;
  }
  Node copy = source->second;
  copy.name = LastPart(key);
  copy.short_name.clear();
  copy.attributes |= kAttributeArchive;
  copy.in_use = false;
  tree_[key] = copy;
  return true;
}

// This process meets the same refusals as any other.
bool SimulatedPlatform::DeleteFileA(const char* path) {
  if (Record(Op::DeleteFileA, path)) return false;
  return DeleteByOtherProcess(path);
}

bool SimulatedPlatform::RemoveDirectoryA(const char* path) {
  if (Record(Op::RemoveDirectoryA, path)) return false;
  auto it = tree_.find(Resolve(path, false));
  if (it == tree_.end()) return false;
  const Node& node = it->second;
  // A link has no entries of its own: removing it leaves its target alone.
  bool is_root = it->first.find('\\') == std::string::npos;
  if (!(node.attributes & kAttributeDirectory) || is_root ||
      (node.attributes & kAttributeReadOnly) || node.in_use ||
      HeldKey(it->first) || HasChildren(it->first)) {
    return false;
  }
  tree_.erase(it);
  return true;
}

bool SimulatedPlatform::GetFileAttributesExA(const char* path,
                                             std::uint64_t* size) {
  if (Record(Op::GetFileAttributesExA, path)) return false;
  auto it = tree_.find(Resolve(path, true));
  if (it == tree_.end()) return false;
  *size = it->second.content.size();
  return true;
}
