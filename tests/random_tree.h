#ifndef LAUNCHER_TESTS_RANDOM_TREE_H_
#define LAUNCHER_TESTS_RANDOM_TREE_H_

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/simulated_platform.h"

// A random folder tree under C:\Top with read-only files, links to a folder
// outside it and names too long for the platform, drawn from a source of
// numbers; and the check of what deleting C:\Top must leave: nothing outside
// changed, everything inside gone but what the platform refuses and the
// folders above it, and the result true exactly when the top went.
class RandomTree {
 public:
  // `next(n)` gives a number below n.
  using Source = std::function<std::size_t(std::size_t)>;

  const std::string top = "C:\\Top";

  void Build(SimulatedPlatform& p, const Source& next) {
    p.AddFile("E:\\out\\x.txt", "outside");
    p.AddFolder("E:\\out\\sub", kAttributeReadOnly);
    p.AddFolder(top);
    std::vector<std::string> folders = {top};
    std::size_t entries = next(40);
    for (std::size_t i = 0; i < entries; ++i) {
      std::string path = folders[next(folders.size())] + "\\";
      std::size_t length = next(8) == 0 ? 100 + next(80) : 1 + next(8);
      path += std::string(length, static_cast<char>('a' + next(26)));
      path += std::to_string(i);
      bool read_only = false;
      switch (next(6)) {
        case 0:
          p.AddFolder(path);
          folders.push_back(path);
          break;
        case 1:
          p.AddFile(path, "", kAttributeReadOnly);
          read_only = true;
          break;
        case 2:
          p.AddLink(path, "E:\\out", true);
          break;
        default:
          p.AddFile(path, "f");
          break;
      }
      // A folder whose search pattern reaches the limit is never listed.
      bool unlisted = std::any_of(
          folders.begin(), folders.end(), [&](const std::string& f) {
            return Below(path, f) && f.size() + 4 >= kMaxPath;
          });
      if (read_only || path.size() >= kMaxPath || unlisted) {
        refused_.push_back(path);
      }
    }
    before_ = p.tree();
  }

  // Empty when the deletion left what it must; else the first difference.
  std::string Check(const SimulatedPlatform& p, bool removed) const {
    if (removed == p.Exists(top)) return "result does not match the top";
    if (removed != refused_.empty()) return "result wrong for what stays";
    if (p.open_searches() != 0) return "a search left open";
    for (const auto& entry : before_) {
      const std::string& path = entry.first;
      bool inside = path == top || Below(path, top);
      bool stays = std::any_of(
          refused_.begin(), refused_.end(),
          [&](const std::string& r) { return r == path || Below(r, path); });
      const SimulatedPlatform::Node* now = p.Find(path);
      if ((!inside || stays) && (now == nullptr || !(*now == entry.second))) {
        return "changed: " + path;
      }
      if (inside && !stays && now != nullptr) return "left: " + path;
    }
    return "";
  }

 private:
  static bool Below(const std::string& path, const std::string& folder) {
    return path.rfind(folder + "\\", 0) == 0;
  }

  std::vector<std::string> refused_;
  SimulatedPlatform::Tree before_;
};

#endif  // LAUNCHER_TESTS_RANDOM_TREE_H_
