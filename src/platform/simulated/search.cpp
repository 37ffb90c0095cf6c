// Folder search: FindFirstFileA, FindNextFileA and FindClose.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/simulated/internal.h"

using simulated::Exact;
using simulated::Reported;
using simulated::Upper;

namespace {

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

FolderEntry EntryOf(const SimulatedPlatform::Node& node) {
  return FolderEntry{Exact(node.name), Exact(node.short_name), Reported(node)};
}

}  // namespace

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
