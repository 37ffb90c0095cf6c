#include "platform/file_find.h"

#include <cstring>
#include <utility>

bool CFileFind::FindFile(const char* pattern, std::uint32_t /*reserved*/) {
  Close();
  // The ANSI calls refuse paths of MAX_PATH characters or more; refusing here
  // keeps the behaviour the same whatever the platform would do with them.
  if (std::strlen(pattern) >= kMaxPath) return false;
  open_ = platform_.FindFirstFileA(pattern, &search_, &ahead_);
  has_ahead_ = open_;
  return open_;
}

bool CFileFind::FindNextFile() {
  has_current_ = has_ahead_;
  if (!has_ahead_) return false;
  current_ = std::move(ahead_);
  ahead_ = FolderEntry();
  has_ahead_ = platform_.FindNextFileA(search_, &ahead_);
  return has_ahead_;
}

void CFileFind::Close() {
  if (open_) platform_.FindClose(search_);
  open_ = false;
  has_ahead_ = false;
  has_current_ = false;
  search_ = 0;
  ahead_ = FolderEntry();
  current_ = FolderEntry();
}

bool CFileFind::IsDots() const {
  return MatchesMask(kAttributeDirectory) &&
         (current_.name == "." || current_.name == "..");
}

bool CFileFind::MatchesMask(std::uint32_t mask) const {
  return has_current_ && (current_.attributes & mask) != 0;
}

std::string CFileFind::GetFileName() const {
  return has_current_ ? current_.name : std::string();
}

std::string CFileFind::GetShortName() const {
  return has_current_ ? current_.short_name : std::string();
}
