#include "kit_check/pe_image.h"

namespace {

// Offsets of the PE/COFF format (all fields little-endian).
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kLfanewOffset = 0x3c;
constexpr std::size_t kFileHeaderSize = 20;  // after the 4-byte signature
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;

// The unsigned little-endian number of `size` bytes at `offset`; the caller
// has checked that they are inside `bytes`.
std::uint64_t Field(const std::string& bytes, std::uint64_t offset, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  }
  return value;
}

// The name of the section header at `entry`: up to 8 bytes, NUL-padded.
std::string SectionName(const std::string& bytes, std::uint64_t entry) {
  std::string name = bytes.substr(entry, 8);
  return name.substr(0, name.find('\0'));
}

// Fills in the section table's findings: `table` is where it starts, its
// entries count `sections`.
void CheckSections(const std::string& bytes, std::uint64_t table,
                   std::uint64_t sections, PeImage* image) {
  std::uint64_t size = bytes.size();
  if (table + sections * kSectionHeaderSize > size) {
    image->truncated = "its section table";
    return;
  }
  for (std::uint64_t i = 0; i < sections; ++i) {
    std::uint64_t entry = table + i * kSectionHeaderSize;
    std::uint64_t raw_size = Field(bytes, entry + 16, 4);
    std::uint64_t raw_start = Field(bytes, entry + 20, 4);
    if (raw_size != 0 && raw_start + raw_size > size) {
      image->truncated = "section " + std::to_string(i + 1) + " (" +
                         SectionName(bytes, entry) + ")";
      return;
    }
  }
}

}  // namespace

PeImage ReadPeImage(const std::string& bytes) {
  PeImage image;
  std::uint64_t size = bytes.size();
  if (bytes.compare(0, 2, "MZ") != 0) {
    image.not_a_program = "it does not start with an MZ header";
    return image;
  }
  if (size < kDosHeaderSize) {
    image.not_a_program = "it is too short for an MZ header";
    return image;
  }
  std::uint64_t pe = Field(bytes, kLfanewOffset, 4);
  std::uint64_t optional = pe + 4 + kFileHeaderSize;
  if (optional + 2 > size) {
    image.not_a_program =
        "its PE header offset (e_lfanew) points past the file's end";
    return image;
  }
  if (bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    image.not_a_program = "it has no PE signature where e_lfanew points";
    return image;
  }
  auto magic = static_cast<std::uint16_t>(Field(bytes, optional, 2));
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    image.not_a_program =
        "its optional header's magic is neither PE32 nor PE32+";
    return image;
  }
  image.machine = static_cast<std::uint16_t>(Field(bytes, pe + 4, 2));
  std::uint64_t sections = Field(bytes, pe + 6, 2);
  std::uint64_t optional_size = Field(bytes, pe + 20, 2);
  // The subsystem version and SizeOfHeaders lie at the same offsets in
  // PE32 and PE32+.
  if (optional + 64 > size || optional + optional_size > size) {
    image.truncated = "its optional header";
    return image;
  }
  image.major_version =
      static_cast<std::uint16_t>(Field(bytes, optional + 48, 2));
  image.minor_version =
      static_cast<std::uint16_t>(Field(bytes, optional + 50, 2));
  if (Field(bytes, optional + 60, 4) > size) {
    image.truncated = "its headers (SizeOfHeaders)";
    return image;
  }
  CheckSections(bytes, optional + optional_size, sections, &image);
  return image;
}
