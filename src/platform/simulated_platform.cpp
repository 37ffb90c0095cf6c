#include "platform/simulated_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/path_spec.h"

namespace {

constexpr std::uint32_t kSettableAttributes =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem |
    kAttributeArchive | 0x100 /*temporary*/ | 0x1000 /*offline*/ |
    0x2000 /*not content indexed*/;

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool NoCaseEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Upper(x) == Upper(y); });
}

bool NoCaseStartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         NoCaseEqual(text.substr(0, prefix.size()), prefix);
}

// Splits at "\" and "/", dropping empty parts and "."; ".." drops the part
// before it but never the drive.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&parts, &part] {
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, std::size_t count) {
  std::string key;
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i > 0) key += '\\';
    key += parts[i];
  }
  return key;
}

// The tree's key for a path as written: its parts joined by single "\".
std::string KeyOf(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  return JoinPath(parts, parts.size());
}

bool IsDrive(const std::string& part) {
  return part.size() == 2 && part[1] == ':' &&
         std::isalpha(static_cast<unsigned char>(part[0])) != 0;
}

std::string LastPart(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? key : key.substr(slash + 1);
}

std::string ParentOf(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// The platform's wildcard match: "*" any run, "?" any one character,
// case-insensitive; "*.*" matches names without a dot too.
bool WildcardMatch(const char* mask, const char* name) {
  if (std::strcmp(mask, "*.*") == 0) return true;
  if (*mask == '\0') return *name == '\0';
  if (*mask == '*') {
    return WildcardMatch(mask + 1, name) ||
           (*name != '\0' && WildcardMatch(mask, name + 1));
  }
  if (*name == '\0') return false;
  if (*mask != '?' && Upper(*mask) != Upper(*name)) return false;
  return WildcardMatch(mask + 1, name + 1);
}

bool HasWildcard(const std::string& mask) {
  return mask.find_first_of("*?") != std::string::npos;
}

std::uint32_t Reported(const SimulatedPlatform::Node& node) {
  return node.attributes == 0 ? kAttributeNormal : node.attributes;
}

// The length of the UTF-8 character starting at `at`, 0 when none does.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  auto byte = static_cast<unsigned char>(text[at]);
  std::size_t length = byte >= 0xF0 && byte <= 0xF4   ? 4
                       : byte >= 0xE0 && byte <= 0xEF ? 3
                       : byte >= 0xC2 && byte <= 0xDF ? 2
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

char BestFit(std::uint32_t code) {
  if (code == 0xFF0E) return '.';
  if (code == 0xFF3C) return '\\';
  if (code >= 0xFF21 && code <= 0xFF3A) return static_cast<char>(code - 0xFEE0);
  if (code >= 0xFF41 && code <= 0xFF5A) return static_cast<char>(code - 0xFEE0);
  if (code == 0x03A9) return 'O';
  return '?';
}

}  // namespace

// Each character beyond ASCII by best fit; other bytes as they are.
std::string SimulatedPlatform::AnsiRendering(const std::string& name) {
  std::string ansi;
  for (std::size_t at = 0; at < name.size();) {
    std::size_t length = Utf8Length(name, at);
    if (length == 0) {
      ansi += name[at++];
      continue;
    }
    auto lead = static_cast<unsigned char>(name[at]);
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      code = (code << 6) | (static_cast<unsigned char>(name[at + i]) & 0x3F);
    }
    ansi += BestFit(code);
    at += length;
  }
  return ansi;
}

namespace {

// The name itself when the code page carries it exactly, else "".
std::string Exact(const std::string& name) {
  return SimulatedPlatform::AnsiRendering(name) == name ? name : std::string();
}

FolderEntry EntryOf(const SimulatedPlatform::Node& node) {
  return FolderEntry{Exact(node.name), Exact(node.short_name), Reported(node)};
}

}  // namespace

const char* SimulatedPlatform::Name(Op op) {
  static const char* const kNames[] = {
      "GetSystemDirectoryA",
      "GetModuleFileNameA",
      "GetCommandLineA",
      "GetCPInfo",
      "PathRemoveFileSpecA",
      "PathFileExistsA",
      "GetFileAttributesA",
      "SetFileAttributesA",
      "CopyFileA",
      "DeleteFileA",
      "RemoveDirectoryA",
      "FindFirstFileA",
      "FindNextFileA",
      "FindClose",
      "CreateProcessA",
      "WaitForSingleObject",
      "CloseHandle",
      "CreateMutexA",
      "GetFileAttributesExA",
      "CreateFileA",
      "ReadFile",
      "CheckTokenMembership",
      "CreateBoundaryDescriptorW",
      "AddSIDToBoundaryDescriptor",
      "CreatePrivateNamespaceW",
      "OpenPrivateNamespaceW",
      "DeleteBoundaryDescriptor",
      "SetDefaultDllDirectories",
      "exit",
  };
  return kNames[static_cast<int>(op)];
}

bool SimulatedPlatform::Node::operator==(const Node& other) const {
  return name == other.name && short_name == other.short_name &&
         attributes == other.attributes && content == other.content &&
         target == other.target && in_use == other.in_use;
}

bool SimulatedPlatform::NoCaseLess::operator()(const std::string& a,
                                               const std::string& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char x, char y) { return Upper(x) < Upper(y); });
}

SimulatedPlatform::SimulatedPlatform() {
  AddFolder("C:\\Windows\\system32");
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

namespace {

// A namespace is known by its boundary: the name and the one SID it holds.
std::string NamespaceKey(const std::string& boundary, bool administrators) {
  return "[" + boundary + (administrators ? "|S-1-5-32-544]" : "]");
}

}  // namespace

void SimulatedPlatform::AddMutex(const std::string& name, bool access_denied,
                                 const std::string& boundary) {
  if (boundary.empty()) {
    foreign_mutexes_[name] = access_denied;
    return;
  }
  AddPrivateNamespace(boundary);
  foreign_mutexes_[NamespaceKey(boundary, true) + "\\" + name] = access_denied;
}

void SimulatedPlatform::AddPrivateNamespace(const std::string& boundary) {
  namespaces_.insert(NamespaceKey(boundary, true));
}

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

void SimulatedPlatform::FailOn(Op op, const std::string& path) {
  faults_.push_back(Fault{op, path});
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

bool SimulatedPlatform::HoldsMutex(const std::string& name,
                                   const std::string& boundary) const {
  return HoldsMutexKey(
      boundary.empty() ? name : NamespaceKey(boundary, true) + "\\" + name);
}

bool SimulatedPlatform::HoldsMutexKey(const std::string& key) const {
  return std::any_of(mutex_handles_.begin(), mutex_handles_.end(),
                     [&key](const auto& entry) { return entry.second == key; });
}

bool SimulatedPlatform::Held(const std::string& path) const {
  return HeldKey(ResolveParts(SplitPath(path), true, 0));
}

std::vector<SimulatedPlatform::Op> SimulatedPlatform::ops() const {
  std::vector<Op> result;
  for (const Call& call : calls_) result.push_back(call.op);
  return result;
}

// ---- Paths ----

bool SimulatedPlatform::Record(Op op, const std::string& first,
                               const std::string& second) {
  if (exited_) called_after_exit_ = true;
  calls_.push_back(Call{op, first, second});
  if (failing_calls.count(calls_.size() - 1) != 0) return true;
  return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& f) {
    return f.op == op && (f.path.empty() || NoCaseEqual(f.path, first));
  });
}

std::string SimulatedPlatform::Resolve(const std::string& path,
                                       bool follow_last) const {
  if (path.empty() || path.size() >= kMaxPath) return "";
  std::string full = path;
  if (path.size() >= 2 && path[1] == ':') {
    full = path.substr(0, 2) + "\\" + path.substr(2);
  } else if (path[0] == '\\' || path[0] == '/') {
    full = current_directory.substr(0, 2) + path;
  } else {
    full = current_directory + "\\" + path;
  }
  std::vector<std::string> parts = SplitPath(full);
  if (parts.empty() || !IsDrive(parts[0])) return "";
  std::string key = ResolveParts(parts, follow_last, 0);
  return key.size() >= kMaxPath ? "" : key;
}

std::string SimulatedPlatform::ResolveParts(
    const std::vector<std::string>& parts, bool follow_last, int depth) const {
  if (parts.empty()) return "";
  std::string key = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string folder = key;
    key += "\\" + parts[i];
    auto it = tree_.find(key);
    if (it == tree_.end()) {
      std::string alias = ChildByShortName(folder, parts[i]);
      if (!alias.empty()) {
        key = alias;
        it = tree_.find(key);
      }
    }
    bool follow = i + 1 < parts.size() || follow_last;
    if (it != tree_.end() && !it->second.target.empty() && follow &&
        depth < 8) {
      key = ResolveParts(SplitPath(it->second.target), true, depth + 1);
    }
  }
  return key;
}

std::string SimulatedPlatform::ChildByShortName(
    const std::string& folder, const std::string& short_name) const {
  for (const std::string& key : Children(folder)) {
    const std::string& alias = tree_.at(key).short_name;
    if (!alias.empty() && NoCaseEqual(alias, short_name)) return key;
  }
  return "";
}

// The path with each part that has a short name replaced by it; "" when a
// part is missing.
std::string SimulatedPlatform::ShortPath(const std::string& path) const {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return "";
  std::string key = parts[0];
  std::string result = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) {
    key += "\\" + parts[i];
    auto it = tree_.find(key);
    if (it == tree_.end()) return "";
    const std::string& alias = it->second.short_name;
    result += "\\" + (alias.empty() ? parts[i] : alias);
  }
  return result;
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

Handle SimulatedPlatform::NewHandle() { return next_handle_++; }

bool SimulatedPlatform::RefusesChange(const std::string& key) const {
  const Node& node = tree_.at(key);
  return (node.attributes & (kAttributeDirectory | kAttributeReadOnly)) != 0 ||
         node.in_use || HeldKey(key);
}

bool SimulatedPlatform::HeldKey(const std::string& key) const {
  return std::any_of(files_.begin(), files_.end(), [&key](const auto& entry) {
    return NoCaseEqual(entry.second.key, key);
  });
}

bool SimulatedPlatform::HeldAtOrBelow(const std::string& key) const {
  return std::any_of(files_.begin(), files_.end(), [&key](const auto& entry) {
    return NoCaseEqual(entry.second.key, key) ||
           NoCaseStartsWith(entry.second.key, key + "\\");
  });
}

// ---- Queries ----

std::uint32_t SimulatedPlatform::GetSystemDirectoryA(char* buffer,
                                                     std::uint32_t size) {
  if (Record(Op::GetSystemDirectoryA, "")) return 0;
  std::uint32_t length = static_cast<std::uint32_t>(system_directory.size());
  if (length + 1 > size) return length + 1;  // the size it needs
  std::memcpy(buffer, system_directory.c_str(), length + 1);
  return length;
}

std::uint32_t SimulatedPlatform::GetModuleFileNameA(char* buffer,
                                                    std::uint32_t size) {
  if (Record(Op::GetModuleFileNameA, "") || size == 0) return 0;
  std::string name = Exact(module_file_name);
  if (name.empty()) name = Exact(ShortPath(module_file_name));
  if (name.empty()) return 0;
  std::uint32_t length = static_cast<std::uint32_t>(name.size());
  if (length + 1 > size) {
    // Cut short and terminated; the return value says so by being `size`.
    std::memcpy(buffer, name.c_str(), size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  std::memcpy(buffer, name.c_str(), length + 1);
  return length;
}

std::string SimulatedPlatform::GetCommandLineA() {
  Record(Op::GetCommandLineA, command_line);  // cannot fail
  return command_line;
}

LeadBytes SimulatedPlatform::GetCPInfo() {
  if (Record(Op::GetCPInfo, "")) return LeadBytes();
  return lead_bytes;
}

// ---- Shell path library ----

bool SimulatedPlatform::PathRemoveFileSpecA(char* path) {
  if (Record(Op::PathRemoveFileSpecA, path)) return false;
  return RemoveFileSpec(path, lead_bytes);
}

bool SimulatedPlatform::PathFileExistsA(const char* path) {
  if (Record(Op::PathFileExistsA, path)) return false;
  std::string key = Resolve(path, true);
  return !key.empty() && tree_.count(key) != 0;
}

// ---- Files and folders ----

std::uint32_t SimulatedPlatform::GetFileAttributesA(const char* path) {
  if (Record(Op::GetFileAttributesA, path)) return kInvalidFileAttributes;
  auto it = tree_.find(Resolve(path, false));
  return it == tree_.end() ? kInvalidFileAttributes : Reported(it->second);
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

bool SimulatedPlatform::CreateFileA(const char* path, bool folder,
                                    Handle* file) {
  if (Record(Op::CreateFileA, path, folder ? "folder" : "file")) return false;
  std::string key = Resolve(path, true);
  auto it = tree_.find(key);
  if (it == tree_.end() || IsFolder(key) != folder || it->second.in_use) {
    return false;
  }
  *file = NewHandle();
  handles_.insert(*file);
  files_[*file] = OpenFile{key, 0};
  return true;
}

bool SimulatedPlatform::ReadFile(Handle file, void* buffer, std::uint32_t size,
                                 std::uint32_t* read) {
  *read = 0;
  if (Record(Op::ReadFile, std::to_string(file))) return false;
  auto it = files_.find(file);
  if (it == files_.end()) return false;
  auto node = tree_.find(it->second.key);
  if (node == tree_.end() || IsFolder(it->second.key)) return false;
  const std::string& content = node->second.content;
  std::size_t offset = std::min(it->second.offset, content.size());
  std::size_t count = std::min<std::size_t>(size, content.size() - offset);
  std::memcpy(buffer, content.data() + offset, count);
  it->second.offset = offset + count;
  *read = static_cast<std::uint32_t>(count);
  return true;
}

// ---- Search ----

bool SimulatedPlatform::FindFirstFileA(const char* pattern, Handle* search,
                                       FolderEntry* entry) {
  if (Record(Op::FindFirstFileA, pattern)) return false;
  std::string text = pattern;
  std::replace(text.begin(), text.end(), '/', '\\');
  std::size_t slash = text.rfind('\\');
  std::string mask = slash == std::string::npos ? text : text.substr(slash + 1);
  std::string folder =
      slash == std::string::npos ? "." : text.substr(0, slash + 1);
  std::string folder_key = Resolve(folder, true);
  if (mask.empty() || text.size() >= kMaxPath || !IsFolder(folder_key)) {
    return false;
  }
  Search found;
  auto add = [&found](const FolderEntry& entry, const std::string& key) {
    found.pending.push_back(entry);
    found.keys.push_back(key);
  };
  if (!HasWildcard(mask)) {
    std::string key = Resolve(text, false);
    auto it = tree_.find(key);
    if (it != tree_.end()) add(EntryOf(it->second), key);
  } else {
    if (folder_key.find('\\') != std::string::npos) {
      for (const char* dots : {".", ".."}) {
        if (WildcardMatch(mask.c_str(), dots)) {
          add(FolderEntry{dots, "", kAttributeDirectory}, "");
        }
      }
    }
    for (const std::string& key : Children(folder_key)) {
      const Node& node = tree_.at(key);
      if (WildcardMatch(mask.c_str(), node.name.c_str()) ||
          (!node.short_name.empty() &&
           WildcardMatch(mask.c_str(), node.short_name.c_str()))) {
        add(EntryOf(node), key);
      }
    }
  }
  if (found.pending.empty()) return false;
  *entry = found.pending[0];
  found.next = 1;
  *search = NewHandle();
  searches_[*search] = found;
  return true;
}

bool SimulatedPlatform::FindNextFileA(Handle search, FolderEntry* entry) {
  if (Record(Op::FindNextFileA, std::to_string(search))) return false;
  auto it = searches_.find(search);
  if (it == searches_.end()) return false;
  Search& state = it->second;
  // Entries deleted since the search started are not listed any more.
  while (state.next < state.pending.size()) {
    std::size_t index = state.next++;
    const std::string& key = state.keys[index];
    if (key.empty()) {
      *entry = state.pending[index];
      return true;
    }
    auto node = tree_.find(key);
    if (node != tree_.end()) {
      *entry = EntryOf(node->second);
      return true;
    }
  }
  return false;
}

bool SimulatedPlatform::FindClose(Handle search) {
  if (Record(Op::FindClose, std::to_string(search))) return false;
  return searches_.erase(search) != 0;
}

// ---- Processes ----

std::string SimulatedPlatform::ResolveProgram(
    const std::string& candidate) const {
  std::string name = candidate;
  if (LastPart(name).find('.') == std::string::npos) name += ".exe";
  auto is_program = [this](const std::string& key) {
    return !key.empty() && tree_.count(key) != 0 && !IsFolder(key);
  };
  if (name.find_first_of("\\/:") != std::string::npos) {
    std::string key = Resolve(name, true);
    return is_program(key) ? key : "";
  }
  std::vector<std::string> folders = {ParentOf(module_file_name),
                                      current_directory, system_directory,
                                      ParentOf(system_directory)};
  folders.insert(folders.end(), search_path.begin(), search_path.end());
  for (const std::string& folder : folders) {
    std::string path = folder;
    path.append("\\").append(name);
    std::string key = Resolve(path, true);
    if (is_program(key)) return key;
  }
  return "";
}

std::string SimulatedPlatform::ResolveCommandLineHead(
    const std::string& line) const {
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    return ResolveProgram(line.substr(
        1, close == std::string::npos ? std::string::npos : close - 1));
  }
  for (std::size_t end = line.find(' ');; end = line.find(' ', end + 1)) {
    std::string found = ResolveProgram(line.substr(0, end));
    if (!found.empty() || end == std::string::npos) return found;
  }
}

bool SimulatedPlatform::CreateProcessA(const char* application,
                                       char* command_line,
                                       const char* current_directory,
                                       ProcessInformation* info) {
  std::string line = command_line != nullptr ? command_line : "";
  if (Record(Op::CreateProcessA, application != nullptr ? application : "",
             line)) {
    return false;
  }
  // The child's folder must exist; it is the child's, not the search's.
  std::string folder = current_directory != nullptr
                           ? Resolve(current_directory, true)
                           : Resolve(this->current_directory, true);
  if (folder.empty() || !IsFolder(folder)) return false;
  folder = tree_.find(folder)->first;  // spelled as created
  std::string image;
  if (application != nullptr) {
    std::string key = Resolve(application, true);
    if (!key.empty() && tree_.count(key) != 0 && !IsFolder(key)) image = key;
  } else {
    image = ResolveCommandLineHead(line);
  }
  if (image.empty()) return false;
  Process process{image, line, folder, NewHandle(), NewHandle()};
  handles_.insert(process.process);
  handles_.insert(process.thread);
  processes_.push_back(process);
  info->process = process.process;
  info->thread = process.thread;
  auto program = programs.find(image);
  if (program != programs.end()) program->second();
  return true;
}

std::uint32_t SimulatedPlatform::WaitForSingleObject(
    Handle handle, std::uint32_t /*milliseconds*/) {
  if (Record(Op::WaitForSingleObject, std::to_string(handle))) {
    return kWaitFailed;
  }
  // Programs run to their end when they start, so an open process handle is
  // already signalled.
  bool is_process =
      std::any_of(processes_.begin(), processes_.end(),
                  [handle](const Process& p) { return p.process == handle; });
  return is_process && handles_.count(handle) ? kWaitObject0 : kWaitFailed;
}

bool SimulatedPlatform::CloseHandle(Handle handle) {
  if (Record(Op::CloseHandle, std::to_string(handle))) return false;
  // Closing the last handle to a mutex ends it; closing a file's releases it.
  mutex_handles_.erase(handle);
  files_.erase(handle);
  return handles_.erase(handle) != 0;
}

// ---- Named objects ----

std::string SimulatedPlatform::MutexKey(const std::string& name) const {
  std::size_t slash = name.find('\\');
  if (slash == std::string::npos) return name;
  auto alias = aliases_.find(name.substr(0, slash));
  return alias == aliases_.end() ? name : alias->second + name.substr(slash);
}

MutexResult SimulatedPlatform::CreateMutexA(const char* name, Handle* mutex) {
  if (Record(Op::CreateMutexA, name)) return MutexResult::Failed;
  std::string key = MutexKey(name);
  auto foreign = foreign_mutexes_.find(key);
  if (foreign != foreign_mutexes_.end() && foreign->second) {
    return MutexResult::AccessDenied;
  }
  bool exists = foreign != foreign_mutexes_.end() || HoldsMutexKey(key);
  *mutex = NewHandle();
  handles_.insert(*mutex);
  mutex_handles_[*mutex] = key;
  return exists ? MutexResult::AlreadyExists : MutexResult::Created;
}

bool SimulatedPlatform::CheckTokenMembership() {
  if (Record(Op::CheckTokenMembership, "")) return false;
  return administrator;
}

bool SimulatedPlatform::CreateBoundaryDescriptorW(const char* name,
                                                  Handle* boundary) {
  if (Record(Op::CreateBoundaryDescriptorW, name) || !private_namespaces) {
    return false;
  }
  *boundary = NewHandle();
  boundaries_[*boundary] = Boundary{name, false};
  return true;
}

bool SimulatedPlatform::AddSIDToBoundaryDescriptor(Handle* boundary) {
  if (Record(Op::AddSIDToBoundaryDescriptor, std::to_string(*boundary))) {
    return false;
  }
  auto it = boundaries_.find(*boundary);
  if (it == boundaries_.end()) return false;
  it->second.administrators = true;
  return true;
}

NamespaceResult SimulatedPlatform::CreatePrivateNamespaceW(Handle boundary,
                                                           const char* alias,
                                                           Handle* ns) {
  if (Record(Op::CreatePrivateNamespaceW, std::to_string(boundary), alias)) {
    return NamespaceResult::Failed;
  }
  auto it = boundaries_.find(boundary);
  if (it == boundaries_.end() ||
      (it->second.administrators && !administrator)) {
    return NamespaceResult::Failed;
  }
  std::string key = NamespaceKey(it->second.name, it->second.administrators);
  if (!namespaces_.insert(key).second) return NamespaceResult::AlreadyExists;
  *ns = NewHandle();
  handles_.insert(*ns);
  aliases_[alias] = key;
  return NamespaceResult::Created;
}

bool SimulatedPlatform::OpenPrivateNamespaceW(Handle boundary,
                                              const char* alias, Handle* ns) {
  if (Record(Op::OpenPrivateNamespaceW, std::to_string(boundary), alias)) {
    return false;
  }
  auto it = boundaries_.find(boundary);
  if (it == boundaries_.end() || !administrator) return false;
  std::string key = NamespaceKey(it->second.name, it->second.administrators);
  if (namespaces_.count(key) == 0) return false;
  *ns = NewHandle();
  handles_.insert(*ns);
  aliases_[alias] = key;
  return true;
}

void SimulatedPlatform::DeleteBoundaryDescriptor(Handle boundary) {
  Record(Op::DeleteBoundaryDescriptor, std::to_string(boundary));
  boundaries_.erase(boundary);
}

void SimulatedPlatform::exit(int code) {
  Record(Op::exit, std::to_string(code));  // cannot fail
  exited_ = true;
  exit_code_ = code;
}

void SimulatedPlatform::SetDefaultDllDirectories() {
  Record(Op::SetDefaultDllDirectories, "");  // reports nothing
}
