#ifndef LAUNCHER_TESTS_RANDOM_TREE_H_
#define LAUNCHER_TESTS_RANDOM_TREE_H_

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/simulated/simulated_platform.h"

// A random folder tree under C:\Top with read-only files, links to a folder
// outside it, names too long for the platform and names the code page
// renders by best fit (some files with an exact short name), drawn from a
// source of numbers; and the check of what deleting C:\Top must leave:
// nothing outside changed, everything inside gone but what the platform
// refuses or cannot name and the folders above it, and the result true
// exactly when the top went.
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
    std::vector<std::string> unnamed;  // folders the deletion cannot name
    std::size_t entries = next(40);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::string folder = folders[next(folders.size())];
      std::string path = folder + "\\";
      bool best_fit = next(6) == 0;
      std::string victim;  // where the best-fit rendering of the path points
      if (best_fit) {
        // Full-width "..\..\" ahead of a name, or a character with no fit.
        bool up = next(2) == 0;
        std::string name = next(2) == 0 ? "Victim" : "escape.txt";
        name += std::to_string(i);
        path += (up ? kUp + kUp : std::string("\xe4\xb8\xad")) + name;
        // Two levels up from C:\Top or a folder in it is the drive's root.
        if (up && std::count(folder.begin(), folder.end(), '\\') <= 2) {
          victim = "C:\\" + name;
        }
      } else {
        std::size_t length = next(8) == 0 ? 100 + next(80) : 1 + next(8);
        path += std::string(length, static_cast<char>('a' + next(26)));
        path += std::to_string(i);
      }
      bool read_only = false;
      switch (next(6)) {
        case 0:
          p.AddFolder(path);
          folders.push_back(path);
          if (best_fit) unnamed.push_back(path);
          break;
        case 1:
          p.AddFile(path, "", kAttributeReadOnly);
          read_only = true;
          break;
        case 2:
          p.AddLink(path, "E:\\out", true);
          if (best_fit) unnamed.push_back(path);
          break;
        default:
          p.AddFile(path, "f");
          // A short name makes a file deletable whatever its long name.
          if (best_fit && next(2) == 0) {
            p.SetShortName(path, "S~" + std::to_string(i));
          } else if (best_fit) {
            unnamed.push_back(path);
          }
          break;
      }
      if (!victim.empty()) {
        bool file = (p.Find(path)->attributes & kAttributeDirectory) == 0;
        p.AddFile(file ? victim : victim + "\\data", "outside");
      }
      // A folder whose search pattern reaches the limit is never listed,
      // nor is one that cannot be named.
      bool unlisted = std::any_of(
          folders.begin(), folders.end(), [&](const std::string& f) {
            return Below(path, f) && f.size() + 4 >= kMaxPath;
          });
      bool unreached = std::any_of(
          unnamed.begin(), unnamed.end(),
          [&](const std::string& f) { return f == path || Below(path, f); });
      if (read_only || path.size() >= kMaxPath || unlisted || unreached) {
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
  static inline const std::string kUp =
      "\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\xbc";  // full-width "..\"

  static bool Below(const std::string& path, const std::string& folder) {
    return path.rfind(folder + "\\", 0) == 0;
  }

  std::vector<std::string> refused_;
  SimulatedPlatform::Tree before_;
};

#endif  // LAUNCHER_TESTS_RANDOM_TREE_H_
