// Paths as the ANSI calls take them (case-insensitive, "/" and doubled "\"
// read as one, relative to the current folder, refused from MAX_PATH on, a
// short name standing for its part), the code page with its best fit, and
// what the process is told about itself.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/path_rules.h"
#include "platform/simulated/internal.h"

namespace simulated {

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

std::string KeyOf(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  return JoinPath(parts, parts.size());
}

std::string LastPart(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? key : key.substr(slash + 1);
}

std::string ParentOf(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

std::string Exact(const std::string& name) {
  return SimulatedPlatform::AnsiRendering(name) == name ? name : std::string();
}

}  // namespace simulated

using simulated::Exact;
using simulated::NoCaseEqual;
using simulated::SplitPath;
using simulated::Upper;

namespace {

bool IsDrive(const std::string& part) {
  return part.size() == 2 && part[1] == ':' &&
         std::isalpha(static_cast<unsigned char>(part[0])) != 0;
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

bool SimulatedPlatform::NoCaseLess::operator()(const std::string& a,
                                               const std::string& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char x, char y) { return Upper(x) < Upper(y); });
}

// ---- Paths ----

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
  if (parts.empty() || !IsDrive(parts[0]) || !HasDrive(parts[0])) return "";
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
  return RemoveLastPathPart(path, lead_bytes);
}
