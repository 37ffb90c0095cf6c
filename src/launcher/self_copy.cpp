#include "launcher/self_copy.h"

#include <vector>

namespace {

// Reads go in chunks of this size, so memory stays the same for a file of
// any size.
constexpr std::uint32_t kChunk = 64 * 1024;

// Reads exactly `size` bytes, fewer only at the end of the file.
std::uint32_t ReadUpTo(PlatformServices& platform, Handle file,
                       unsigned char* buffer, std::uint32_t size) {
  std::uint32_t total = 0;
  while (total < size) {
    std::uint32_t read = 0;
    if (!platform.ReadFile(file, buffer + total, size - total, &read) ||
        read == 0) {
      break;
    }
    total += read;
  }
  return total;
}

// Whether the two open files hold the same bytes, `size` of them each.
bool SameBytes(PlatformServices& platform, Handle a, Handle b,
               std::uint64_t size) {
  std::vector<unsigned char> left(kChunk);
  std::vector<unsigned char> right(kChunk);
  for (std::uint64_t done = 0; done < size;) {
    std::uint32_t want =
        static_cast<std::uint32_t>(size - done < kChunk ? size - done : kChunk);
    if (ReadUpTo(platform, a, left.data(), want) != want ||
        ReadUpTo(platform, b, right.data(), want) != want || left != right) {
      return false;
    }
    done += want;
  }
  return true;
}

}  // namespace

bool IsCopyOf(PlatformServices& platform, const std::string& launcher,
              const std::string& data) {
  std::uint64_t data_size = 0;
  std::uint64_t launcher_size = 0;
  if (!platform.GetFileAttributesExA(data.c_str(), &data_size) ||
      !platform.GetFileAttributesExA(launcher.c_str(), &launcher_size) ||
      data_size != launcher_size) {
    return false;
  }
  // Opened as a start would find them, through a link at the end too.
  Handle a = 0;
  if (platform.OpenFileShared(launcher.c_str(), &a) != OpenResult::Opened) {
    return false;
  }
  Handle b = 0;
  bool opened = platform.OpenFileShared(data.c_str(), &b) == OpenResult::Opened;
  bool same = opened && SameBytes(platform, a, b, data_size);
  platform.CloseHandle(a);
  if (opened) platform.CloseHandle(b);
  return same;
}
