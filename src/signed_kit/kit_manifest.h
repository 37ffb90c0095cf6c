#ifndef LAUNCHER_SIGNED_KIT_KIT_MANIFEST_H_
#define LAUNCHER_SIGNED_KIT_KIT_MANIFEST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/kit_checks.h"

// The manifest of a signed kit, kit.manifest beside the launcher: a short
// text that the publisher signs (kit.manifest.sig) and that stands in for
// the pins a pinned launcher has compiled in. It reads, with "\n" ending
// every line and one space between fields:
//
//   installer-launcher-kit 1
//   product {7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}
//   version 2.4.0
//   file <64 lower-case hexadecimal digits> <size in bytes> data.exe
//   file ... setup.iss
//   file ... uninstall.iss
//
// The first three lines in this order, then one "file" line for data.exe
// and one for each response file the kit has, in any order.

// The largest manifest read; a longer one is refused unread.
constexpr std::size_t kMaxManifestSize = 4096;
// The largest signature read: that of a 4096-bit key.
constexpr std::size_t kMaxSignatureSize = 512;

// A kit version: dotted decimal numbers, 1 to 4 of them, each of up to 9
// digits without leading zeros. Missing trailing numbers count as 0.
struct KitVersion {
  std::vector<std::uint32_t> numbers;
};
bool ParseKitVersion(const std::string& text, KitVersion* version);
// Negative, 0 or positive as `a` is below, equal to or above `b`.
int CompareKitVersions(const KitVersion& a, const KitVersion& b);

struct KitManifest {
  std::string product_code;  // as written: 1 to 64 printable characters
  KitVersion version;
  KitPins pins;  // data.exe always pinned
};

// Parses `text` strictly: anything but the form above (another format line,
// a missing, repeated or unknown line or name, a name with a path
// separator, a carriage return, a missing final "\n", extra spaces,
// upper-case digits, a size with leading zeros or above 2^48, a text over
// kMaxManifestSize) gives false. Only for bytes whose signature verified.
bool ParseKitManifest(const std::string& text, KitManifest* manifest);

#endif  // LAUNCHER_SIGNED_KIT_KIT_MANIFEST_H_
