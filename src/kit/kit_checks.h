#ifndef LAUNCHER_KIT_KIT_CHECKS_H_
#define LAUNCHER_KIT_KIT_CHECKS_H_

#include <string>
#include <vector>

#include "kit/sha256.h"
#include "launcher/kit_hold.h"
#include "platform/platform_services.h"

// What the launcher checks of its own folder before anything is removed:
// that each file of the kit it was built for is there and unchanged.

// The digest and size the build recorded of one kit file; a file that was
// absent when the launcher was built is not pinned and goes unchecked.
struct KitPin {
  bool pinned = false;
  Sha256Digest digest = {};
  std::uint64_t size = 0;  // in bytes
};

// The kit's files beside the launcher. Without a kit at build time nothing
// is pinned and the launcher checks nothing.
struct KitPins {
  KitPin data;       // data.exe
  KitPin setup;      // setup.iss
  KitPin uninstall;  // uninstall.iss
};

// The kit's files in the order they are checked: each one's pin and its
// name in the kit folder.
struct KitFile {
  const KitPin& pin;
  const char* name;
};
std::vector<KitFile> KitFiles(const KitPins& pins);
bool IsPinned(const KitPins& pins);

// What reading a kit file against its pin found: exactly its bytes, other
// bytes (or a write that failed), or a read that failed.
enum class PinnedRead { Same, Differs, Unreadable };

// Reads the open file `in` from its position to its end, in 1 MiB pieces,
// hashing what passes and, unless `out` is 0, writing it there; stops as
// soon as more than the pinned size has passed.
PinnedRead ReadPinned(PlatformServices& platform, Handle in, Handle out,
                      const KitPin& pin);

// The folders whose renaming would move the files of L: every folder from
// the one below the root down to L itself ("D:\a\b" gives "D:\a" and
// "D:\a\b"). A drive root and a share (\\server\share) are never renamed
// and are left out. Lead bytes of a double-byte code page keep the byte
// after them from counting as a separator.
std::vector<std::string> FoldersToHold(const std::string& L,
                                       const LeadBytes& lead_bytes);

// True when every pinned file in L (data.exe, setup.iss, uninstall.iss) is
// there and has its recorded size and digest, hashed through the handle that
// keeps it; the files and the folders above them (FoldersToHold) are then in
// `hold`, to be released once they have been used. False as soon as a
// folder or file cannot be held so or is a link (a junction, a symbolic
// link, a mount point), a file is missing, or one differs: a
// file of another size before a byte of it is read, so that a huge (or
// sparse) file cannot keep the launcher busy.
// With nothing pinned: true, and nothing is asked of the platform.
bool VerifyKit(PlatformServices& platform, const std::string& L,
               const KitPins& pins, KitHold* hold);

#endif  // LAUNCHER_KIT_KIT_CHECKS_H_
