#include "launcher/kit_checks.h"

#include "launcher/locations.h"

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

// Whether the open file or folder is a link: a junction, a symbolic link or
// a mount point (a reparse point); true when that cannot be read.
bool IsLink(PlatformServices& platform, Handle handle) {
  HandleInformation info;
  return !platform.GetFileInformationByHandle(handle, &info) ||
         (info.attributes & kAttributeReparsePoint) != 0;
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

std::vector<KitFile> KitFiles(const KitPins& pins) {
  return {{pins.data, "data.exe"},
          {pins.setup, "setup.iss"},
          {pins.uninstall, "uninstall.iss"}};
}

bool IsPinned(const KitPins& pins) {
  return pins.data.pinned || pins.setup.pinned || pins.uninstall.pinned;
}

PinnedRead ReadPinned(PlatformServices& platform, Handle in, Handle out,
                      const KitPin& pin) {
  constexpr std::uint32_t kPiece = 1024 * 1024;
  std::vector<unsigned char> buffer(kPiece);
  Sha256State state = Sha256Begin();
  std::uint64_t total = 0;
  for (;;) {
    std::uint32_t read = 0;
    if (!platform.ReadFile(in, buffer.data(), kPiece, &read)) {
      return PinnedRead::Unreadable;
    }
    if (read == 0) break;
    total += read;
    if (total > pin.size) return PinnedRead::Differs;
    Sha256Update(state, buffer.data(), read);
    if (out != 0 && !platform.WriteFile(out, buffer.data(), read)) {
      return PinnedRead::Differs;
    }
  }
  bool same = total == pin.size && Sha256Finish(state) == pin.digest;
  return same ? PinnedRead::Same : PinnedRead::Differs;
}

bool KitHold::Open(const std::string& path, bool folder, Handle* handle) {
  if (!platform_.CreateFileA(path.c_str(), folder, handle)) return false;
  handles_.push_back(*handle);
  return true;
}

void KitHold::Release() {
  for (Handle handle : handles_) platform_.CloseHandle(handle);
  handles_.clear();
}

std::vector<std::string> FoldersToHold(const std::string& L,
                                       const LeadBytes& lead_bytes) {
  // The separators of L, each the end of a folder above it.
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < L.size(); ++at) {
    if (lead_bytes.test(static_cast<unsigned char>(L[at]))) {
      ++at;
    } else if (L[at] == '\\') {
      ends.push_back(at);
    }
  }
  ends.push_back(L.size());
  // "D:\" ends its root at its first separator; "\\server\share" at its
  // fourth, or at its end.
  std::size_t root = L.size() >= 2 && L[1] == ':' ? 2 : L.size();
  if (L.compare(0, 2, "\\\\") == 0) root = ends.size() > 3 ? ends[3] : L.size();
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    bool named = i == 0 || ends[i] > ends[i - 1] + 1;
    if (ends[i] > root && named) folders.push_back(L.substr(0, ends[i]));
  }
  return folders;
}

bool VerifyKit(PlatformServices& platform, const std::string& L,
               const KitPins& pins, KitHold* hold) {
  if (!IsPinned(pins)) return true;
  // The folders first, top down: once they are held, the paths below name
  // what is hashed through the handles until those are released. A hold
  // keeps a name, never where a link leads: whoever can write a link can
  // point it elsewhere while it is held, so none may be on the way.
  Handle handle = 0;
  for (const std::string& folder : FoldersToHold(L, platform.GetCPInfo())) {
    if (!hold->Open(folder, true, &handle) || IsLink(platform, handle)) {
      return false;
    }
  }
  for (const KitFile& file : KitFiles(pins)) {
    if (!file.pin.pinned) continue;
    // Held, the file keeps the size it is asked for here.
    std::string path = L + "\\" + file.name;
    std::uint64_t size = 0;
    if (!hold->Open(path, false, &handle) || IsLink(platform, handle) ||
        !platform.GetFileAttributesExA(path.c_str(), &size) ||
        size != file.pin.size ||
        ReadPinned(platform, handle, 0, file.pin) != PinnedRead::Same) {
      return false;
    }
  }
  return true;
}

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
  KitHold files(platform);
  Handle a = 0;
  Handle b = 0;
  auto open = [&](const std::string& path, Handle* file) {
    if (platform.OpenFileShared(path.c_str(), file) != OpenResult::Opened) {
      return false;
    }
    files.Keep(*file);
    return true;
  };
  return open(launcher, &a) && open(data, &b) &&
         SameBytes(platform, a, b, data_size);
}
