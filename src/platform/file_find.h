#ifndef LAUNCHER_PLATFORM_FILE_FIND_H_
#define LAUNCHER_PLATFORM_FILE_FIND_H_

#include <cstdint>
#include <string>

#include "platform/platform_services.h"

// A file search over the platform's find-first, find-next and close
// primitives, with one entry fetched ahead:
//
//   CFileFind find(platform);
//   for (bool more = find.FindFile(pattern); more;) {
//     more = find.FindNextFile();
//     ... handle the current entry, also after the call that returned false
//   }
//
// FindFile fetches the first match without making it current; each
// FindNextFile makes the entry fetched ahead current and fetches the next.
// Any failed fetch, not only the end of the folder, ends the walk after the
// current entry. The search is closed by Close or by the destructor.
class CFileFind {
 public:
  explicit CFileFind(PlatformServices& platform) : platform_(platform) {}
  ~CFileFind() { Close(); }
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  // Ends any open search and starts one for `pattern` (a wildcard pattern or
  // an exact path). `reserved` must be 0. False when nothing matches, and
  // without asking the platform when the pattern reaches the path limit.
  bool FindFile(const char* pattern, std::uint32_t reserved = 0);
  bool FindNextFile();
  void Close();

  // Questions about the current entry; all false or empty when none is.
  bool IsDots() const;
  bool MatchesMask(std::uint32_t mask) const;
  std::string GetFileName() const;
  // The current entry's 8.3 alias; empty when it has none.
  std::string GetShortName() const;

 private:
  PlatformServices& platform_;
  Handle search_ = 0;
  bool open_ = false;
  bool has_ahead_ = false;
  bool has_current_ = false;
  FolderEntry ahead_;
  FolderEntry current_;
};

#endif  // LAUNCHER_PLATFORM_FILE_FIND_H_
