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
//
// A path is composed only from an entry name that names that entry itself
// (IsUsableEntryName): the long name, else the short one. An entry with
// neither is left in place, and so is every folder above it.
bool DeleteFolderTree(PlatformServices& platform, const std::string& path);

// Deletes everything below the folder `path` as DeleteFolderTree does, and
// leaves the folder itself, which must be known not to be a link (held
// open, say).
void EmptyFolder(PlatformServices& platform, const std::string& path);

// Whether `name`, put after a folder path and a "\", names an entry of that
// folder and nothing else: not empty, not "." or "..", no separator, drive
// colon, wildcard, quote, angle bracket, bar or control character, and no
// trailing dot or space (path parsing drops those, so the path would name
// another entry, or the folder itself). Bytes after a lead byte of the ANSI
// code page are the second half of a character, never one of these.
bool IsUsableEntryName(const std::string& name, const LeadBytes& lead_bytes);

#endif  // LAUNCHER_LAUNCHER_FOLDER_TREE_H_
