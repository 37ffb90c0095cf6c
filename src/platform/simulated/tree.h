#ifndef LAUNCHER_PLATFORM_SIMULATED_TREE_H_
#define LAUNCHER_PLATFORM_SIMULATED_TREE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The simulated file system (files.cpp, sharing.cpp, security.cpp): one
// map of nodes by canonical path, compared as Windows compares names.
namespace simulated {

struct Node {
  std::string name;  // the last part of the path, as created
  std::uint32_t attributes = 0;
  std::string content;
  std::string short_name;  // the 8.3 alias, "" when it has none
  std::string target;      // for links: the path linked to
  bool in_use = false;
  std::string owner = "Administrators";
  std::vector<std::string> writers = {"SYSTEM", "Administrators"};
  std::uint32_t names = 1;  // hard links to the same file
  // Another process shares it with nobody, or has locked it, until the
  // clock reaches this; 0: never.
  std::uint64_t locked_until = 0;
  // The DACL takes nothing from the parent (a folder CreateDirectoryA made).
  bool dacl_protected = false;
  // When it was made (a FILETIME); 0, long ago, for what the test set up.
  std::uint64_t created = 0;
  bool operator==(const Node& other) const;
};

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Tree = std::map<std::string, Node, NoCaseLess>;

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_TREE_H_
