// The manifest parser on any bytes: no crash, and whatever it accepts is
// exactly the canonical text of what it read (so no stray byte, space or
// line end passes), with data.exe pinned.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "signed_kit/kit_manifest.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "wrong: %s\n", what);
    std::abort();
  }
}

std::string Hex(const Sha256Digest& digest) {
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

std::string Version(const KitVersion& version) {
  std::string text;
  for (std::uint32_t number : version.numbers) {
    text += (text.empty() ? "" : ".") + std::to_string(number);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  KitManifest manifest;
  if (!ParseKitManifest(text, &manifest)) return 0;
  Require(manifest.pins.data.pinned, "data.exe pinned");
  // The file lines in the order the text has them.
  struct Line {
    std::size_t at;
    std::string text;
  };
  std::vector<Line> lines;
  for (const KitFile& file : KitFiles(manifest.pins)) {
    if (!file.pin.pinned) continue;
    std::string line = "file " + Hex(file.pin.digest) + " " +
                       std::to_string(file.pin.size) + " " + file.name + "\n";
    lines.push_back({text.find(line), line});
  }
  std::sort(lines.begin(), lines.end(),
            [](const Line& a, const Line& b) { return a.at < b.at; });
  std::string canonical = "installer-launcher-kit 1\nproduct " +
                          manifest.product_code + "\nversion " +
                          Version(manifest.version) + "\n";
  for (const Line& line : lines) canonical += line.text;
  Require(canonical == text, "the accepted text is the canonical one");
  return 0;
}
