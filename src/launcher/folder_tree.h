#ifndef LAUNCHER_LAUNCHER_FOLDER_TREE_H_
#define LAUNCHER_LAUNCHER_FOLDER_TREE_H_

#include <string>

#include "platform/platform_services.h"

// Deletes the folder `path` (no trailing backslash) and everything below it,
// depth first, in the order the platform lists entries. Returns whether
// `path` itself was removed at the end; entries that could not be deleted
// show only through that result.
//
// Attributes are never changed, so read-only files stay. Links (entries with
// the reparse-point attribute) are never descended into: a folder link is
// removed as a link, a file link deleted as a file, and what they point to is
// never searched or touched. When `path` itself is a link, only the link is
// removed. Paths are composed whole; one the platform refuses for its length
// is left in place, and so is every folder above it.
bool DeleteFolderTree(PlatformServices& platform, const std::string& path);

#endif  // LAUNCHER_LAUNCHER_FOLDER_TREE_H_
