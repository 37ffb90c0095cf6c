#ifndef LAUNCHER_KIT_CHECK_PE_IMAGE_H_
#define LAUNCHER_KIT_CHECK_PE_IMAGE_H_

#include <cstdint>
#include <string>

// What the headers of a Windows program (PE/COFF) say about it, as far as
// the kit checker needs: read from the bytes of a whole file.
struct PeImage {
  // Empty when the headers are those of a Windows program; else what is
  // wrong ("no MZ signature", ...), and nothing below is set.
  std::string not_a_program;
  std::uint16_t machine = 0;  // IMAGE_FILE_HEADER.Machine
  // The optional header's MajorSubsystemVersion and MinorSubsystemVersion:
  // the oldest Windows the program starts on.
  std::uint16_t major_version = 0;
  std::uint16_t minor_version = 0;
  // Empty unless the headers or a section's raw data reach past the file's
  // end; then which of them does.
  std::string truncated;
};

constexpr std::uint16_t kMachineX86 = 0x14c;
constexpr std::uint16_t kMachineX64 = 0x8664;

PeImage ReadPeImage(const std::string& bytes);

#endif  // LAUNCHER_KIT_CHECK_PE_IMAGE_H_
