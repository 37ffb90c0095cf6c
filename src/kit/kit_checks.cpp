#include "kit/kit_checks.h"

#include "launcher/locations.h"

namespace {

// Whether the open file or folder is a link: a junction, a symbolic link or
// a mount point (a reparse point); true when that cannot be read.
bool IsLink(PlatformServices& platform, Handle handle) {
  HandleInformation info;
  return !platform.GetFileInformationByHandle(handle, &info) ||
         (info.attributes & kAttributeReparsePoint) != 0;
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
