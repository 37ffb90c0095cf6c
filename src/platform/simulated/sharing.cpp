// Files and folders this process holds open (shared for reading only), and
// what other processes can then do to them.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/simulated/internal.h"

using simulated::LastPart;
using simulated::NoCaseEqual;
using simulated::NoCaseStartsWith;
using simulated::ParentOf;
using simulated::SplitPath;

bool SimulatedPlatform::WriteByOtherProcess(const std::string& path,
                                            const std::string& content) {
  std::string key = Resolve(path, true);
  if (key.empty()) return false;
  if (tree_.count(key) == 0) {
    if (!IsFolder(ParentOf(key))) return false;
    AddFile(key, content);
    return true;
  }
  if (RefusesChange(key)) return false;
  tree_[key].content = content;
  return true;
}

// Windows refuses to rename a folder while anything below it is open; Wine
// does not, which is why the launcher holds the folders too.
bool SimulatedPlatform::RenameByOtherProcess(const std::string& from,
                                             const std::string& to) {
  std::string key = Resolve(from, false);
  std::string target = Resolve(to, false);
  if (tree_.count(key) == 0 || target.empty() || tree_.count(target) != 0 ||
      !IsFolder(ParentOf(target)) || tree_.at(key).in_use ||
      HeldAtOrBelow(key)) {
    return false;
  }
  Tree moved;
  for (auto it = tree_.begin(); it != tree_.end();) {
    if (NoCaseEqual(it->first, key) ||
        NoCaseStartsWith(it->first, key + "\\")) {
      moved[target + it->first.substr(key.size())] = it->second;
      it = tree_.erase(it);
    } else {
      ++it;
    }
  }
  moved[target].name = LastPart(target);
  moved[target].short_name.clear();
  tree_.insert(moved.begin(), moved.end());
  return true;
}

bool SimulatedPlatform::DeleteByOtherProcess(const std::string& path) {
  std::string key = Resolve(path, false);
  if (tree_.count(key) == 0 || RefusesChange(key)) return false;
  tree_.erase(key);
  return true;
}

bool SimulatedPlatform::RepointByOtherProcess(const std::string& path,
                                              const std::string& target) {
  auto it = tree_.find(Resolve(path, false));
  if (it == tree_.end() || it->second.target.empty()) return false;
  it->second.target = target;
  return true;
}

bool SimulatedPlatform::Held(const std::string& path) const {
  return HeldKey(ResolveParts(SplitPath(path), false, 0));
}

bool SimulatedPlatform::RefusesChange(const std::string& key) const {
  const Node& node = tree_.at(key);
  return (node.attributes & (kAttributeDirectory | kAttributeReadOnly)) != 0 ||
         node.in_use || HeldKey(key);
}

bool SimulatedPlatform::HeldKey(const std::string& key) const {
  return std::any_of(files_.begin(), files_.end(), [&key](const auto& entry) {
    return !entry.second.shared && NoCaseEqual(entry.second.key, key);
  });
}

bool SimulatedPlatform::HeldAtOrBelow(const std::string& key) const {
  return std::any_of(files_.begin(), files_.end(), [&key](const auto& entry) {
    return !entry.second.shared &&
           (NoCaseEqual(entry.second.key, key) ||
            NoCaseStartsWith(entry.second.key, key + "\\"));
  });
}

bool SimulatedPlatform::Locked(const std::string& key) const {
  auto it = tree_.find(key);
  return it != tree_.end() && now() < it->second.locked_until;
}

Handle SimulatedPlatform::OpenKey(const std::string& key, bool shared,
                                  bool writable) {
  Handle file = NewHandle();
  handles_.insert(file);
  files_[file] = OpenFile{key, 0, shared, writable, false};
  return file;
}

bool SimulatedPlatform::CreateFileA(const char* path, bool folder,
                                    Handle* file) {
  if (Record(Op::CreateFileA, path, folder ? "folder" : "file")) return false;
  std::string key = Resolve(path, false);  // a link itself
  auto it = tree_.find(key);
  if (it == tree_.end() || IsFolder(key) != folder || it->second.in_use ||
      Locked(key)) {
    return false;
  }
  *file = OpenKey(key, false, false);
  return true;
}

bool SimulatedPlatform::ReadFile(Handle file, void* buffer, std::uint32_t size,
                                 std::uint32_t* read) {
  *read = 0;
  if (Record(Op::ReadFile, std::to_string(file))) return false;
  auto it = files_.find(file);
  if (it == files_.end()) return false;
  auto node = tree_.find(it->second.key);
  if (node == tree_.end() || IsFolder(it->second.key) ||
      Locked(it->second.key)) {
    return false;
  }
  const std::string& content = node->second.content;
  std::size_t offset = std::min(it->second.offset, content.size());
  std::size_t count = std::min<std::size_t>(size, content.size() - offset);
  std::memcpy(buffer, content.data() + offset, count);
  it->second.offset = offset + count;
  *read = static_cast<std::uint32_t>(count);
  return true;
}
