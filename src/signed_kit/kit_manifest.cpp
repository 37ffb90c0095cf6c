#include "signed_kit/kit_manifest.h"

#include <algorithm>

namespace {

constexpr char kFormatLine[] = "installer-launcher-kit 1";
constexpr std::size_t kMaxVersionNumbers = 4;
constexpr std::size_t kMaxNumberDigits = 9;
constexpr std::size_t kMaxSizeDigits = 15;
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 48;
constexpr std::size_t kMaxProductCode = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits, 1 to `max_digits` of them, no leading zero but in "0".
bool ParseNumber(const std::string& text, std::size_t max_digits,
                 std::uint64_t* value) {
  if (text.empty() || text.size() > max_digits) return false;
  if (text.size() > 1 && text[0] == '0') return false;
  std::uint64_t result = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    result = result * 10 + static_cast<std::uint64_t>(c - '0');
  }
  *value = result;
  return true;
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseDigest(const std::string& text, Sha256Digest* digest) {
  if (text.size() != 2 * digest->size()) return false;
  for (std::size_t i = 0; i < digest->size(); ++i) {
    int high = HexValue(text[2 * i]);
    int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

// Splits `line` at single spaces; an empty field (two spaces, or one at
// either end) gives no fields at all.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = line.find(' ', start);
    std::string field = line.substr(start, end - start);
    if (field.empty()) return {};
    fields.push_back(field);
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

// The pin a "file" line's name stands for; null for any other name, and so
// for any name with a separator in it.
KitPin* PinNamed(KitPins* pins, const std::string& name) {
  if (name == "data.exe") return &pins->data;
  if (name == "setup.iss") return &pins->setup;
  if (name == "uninstall.iss") return &pins->uninstall;
  return nullptr;
}

bool ParseFileLine(const std::vector<std::string>& fields, KitPins* pins) {
  if (fields.size() != 4 || fields[0] != "file") return false;
  KitPin* pin = PinNamed(pins, fields[3]);
  std::uint64_t size = 0;
  if (pin == nullptr || pin->pinned || !ParseDigest(fields[1], &pin->digest) ||
      !ParseNumber(fields[2], kMaxSizeDigits, &size) || size > kMaxFileSize) {
    return false;
  }
  pin->size = size;
  pin->pinned = true;
  return true;
}

bool IsPrintable(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c > ' ' && c <= '~'; });
}

}  // namespace

bool ParseKitVersion(const std::string& text, KitVersion* version) {
  KitVersion result;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find('.', start);
    std::uint64_t number = 0;
    if (result.numbers.size() == kMaxVersionNumbers ||
        !ParseNumber(text.substr(start, end - start), kMaxNumberDigits,
                     &number)) {
      return false;
    }
    result.numbers.push_back(static_cast<std::uint32_t>(number));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  *version = result;
  return true;
}

int CompareKitVersions(const KitVersion& a, const KitVersion& b) {
  std::size_t count = std::max(a.numbers.size(), b.numbers.size());
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t x = i < a.numbers.size() ? a.numbers[i] : 0;
    std::uint32_t y = i < b.numbers.size() ? b.numbers[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool ParseKitManifest(const std::string& text, KitManifest* manifest) {
  if (text.size() > kMaxManifestSize || text.empty() || text.back() != '\n') {
    return false;
  }
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 4 || lines[0] != kFormatLine) return false;
  KitManifest result;
  std::vector<std::string> product = Fields(lines[1]);
  std::vector<std::string> version = Fields(lines[2]);
  if (product.size() != 2 || product[0] != "product" ||
      product[1].size() > kMaxProductCode || !IsPrintable(product[1]) ||
      version.size() != 2 || version[0] != "version" ||
      !ParseKitVersion(version[1], &result.version)) {
    return false;
  }
  result.product_code = product[1];
  for (std::size_t i = 3; i < lines.size(); ++i) {
    if (!ParseFileLine(Fields(lines[i]), &result.pins)) return false;
  }
  if (!result.pins.data.pinned) return false;
  *manifest = result;
  return true;
}
