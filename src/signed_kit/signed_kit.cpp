#include "signed_kit/signed_kit.h"

#include <vector>

#include "kit/kit_cache.h"
#include "kit/sha256.h"
#include "launcher/kit_admission.h"
#include "signed_kit/kit_manifest.h"

namespace {

// The two files of a signed kit, as read once.
struct SignedFiles {
  std::string manifest;
  std::string signature;
};

// Reads the open file `file` to its end; false when it is unreadable or
// holds more than `limit` bytes.
bool ReadBounded(PlatformServices& platform, Handle file, std::size_t limit,
                 std::string* text) {
  std::vector<char> buffer(limit + 1);
  std::size_t total = 0;
  for (;;) {
    std::uint32_t read = 0;
    auto room = static_cast<std::uint32_t>(buffer.size() - total);
    if (!platform.ReadFile(file, buffer.data() + total, room, &read)) {
      return false;
    }
    if (read == 0) break;
    total += read;
    if (total > limit) return false;
  }
  text->assign(buffer.data(), total);
  return true;
}

// Reads L\name once: held in `hold` when there is one (unelevated), else
// opened shared and closed again (elevated: nothing of the kit folder is
// held, only its copies).
bool ReadKitFile(PlatformServices& platform, const std::string& L,
                 const char* name, std::size_t limit, KitHold* hold,
                 std::string* text) {
  std::string path = L + "\\" + name;
  Handle file = 0;
  if (hold != nullptr) {
    return hold->Open(path, false, &file) &&
           ReadBounded(platform, file, limit, text);
  }
  if (platform.OpenFileShared(path.c_str(), &file) != OpenResult::Opened) {
    return false;
  }
  bool read = ReadBounded(platform, file, limit, text);
  platform.CloseHandle(file);
  return read;
}

// Whether any of the policy's keys verifies the signature of the manifest.
bool Signed(SignatureServices& signatures, const SignedKitPolicy& policy,
            const SignedFiles& files) {
  Sha256Digest digest = Sha256Of(files.manifest.data(), files.manifest.size());
  const auto* signature =
      reinterpret_cast<const std::uint8_t*>(files.signature.data());
  auto size = static_cast<std::uint32_t>(files.signature.size());
  for (std::size_t i = 0; i < policy.key_count; ++i) {
    if (signatures.VerifySignature(policy.keys[i], digest.data(), signature,
                                   size)) {
      return true;
    }
  }
  return false;
}

// The checks of the manifest itself, signature first: its pins go to
// `pins` when it passes them all.
KitRefusal TrustManifest(SignatureServices* signatures,
                         const SignedKitPolicy& policy,
                         const SignedFiles& files, KitPins* pins) {
  if (signatures == nullptr || !Signed(*signatures, policy, files)) {
    return KitRefusal::NotSigned;
  }
  KitManifest manifest;
  if (!ParseKitManifest(files.manifest, &manifest)) {
    return KitRefusal::Malformed;
  }
  if (manifest.product_code != policy.product_code) {
    return KitRefusal::OtherProduct;
  }
  KitVersion floor;
  if (!ParseKitVersion(policy.min_version, &floor) ||
      CompareKitVersions(manifest.version, floor) < 0) {
    return KitRefusal::BelowFloor;
  }
  *pins = manifest.pins;
  return KitRefusal::None;
}

// Writes `text` into the new file `path` and holds it, as the pinned
// copies are held.
bool WriteKept(PlatformServices& platform, const std::string& path,
               const std::string& text, KitHold* hold) {
  Handle file = 0;
  if (!platform.CreateNewFileA(path.c_str(), &file)) return false;
  bool written = platform.WriteFile(file, text.data(),
                                    static_cast<std::uint32_t>(text.size()));
  platform.CloseHandle(file);
  return written && hold->Open(path, false, &file);
}

// CacheKit (kit_cache.h) for a signed kit: the manifest and its signature
// are kept in the cache beside the copies, written from the bytes that
// were verified, and scheduled for deletion before the folder.
bool CacheSignedKit(PlatformServices& platform, const std::string& L,
                    const KitPins& pins, const SignedFiles& files,
                    KitHold* hold, std::string* cache, bool until_restart) {
  if (!CreateFreshCache(platform, hold, cache)) return false;
  std::string manifest = *cache + "\\" + kManifestName;
  std::string signature = *cache + "\\" + kSignatureName;
  bool copied = CopyPinnedKit(platform, L, *cache, pins, hold) &&
                WriteKept(platform, manifest, files.manifest, hold) &&
                WriteKept(platform, signature, files.signature, hold);
  if (copied && (!until_restart || (platform.MoveFileExA(manifest.c_str()) &&
                                    platform.MoveFileExA(signature.c_str()) &&
                                    ScheduleCacheDeletion(platform, *cache)))) {
    return true;
  }
  // Once any deletion at restart may have been registered, the folder
  // stays until then.
  DiscardCache(platform, *cache, hold, copied && until_restart);
  cache->clear();
  return false;
}

KitRefusal AdmitSignedKit(PlatformServices& platform, const std::string& L,
                          const KitTrust& trust, bool silent, KitHold* hold,
                          std::string* cache, bool until_restart) {
  bool elevated = platform.CheckTokenMembership();
  KitHold* kept = elevated ? nullptr : hold;
  SignedFiles files;
  KitPins pins;
  KitRefusal refusal = KitRefusal::None;
  if (!ReadKitFile(platform, L, kManifestName, kMaxManifestSize, kept,
                   &files.manifest)) {
    refusal = KitRefusal::NoManifest;
  } else if (!ReadKitFile(platform, L, kSignatureName, kMaxSignatureSize, kept,
                          &files.signature)) {
    refusal = KitRefusal::NoSignature;
  } else {
    refusal = TrustManifest(trust.signatures, *trust.policy, files, &pins);
  }
  if (refusal == KitRefusal::None && elevated && silent && !pins.setup.pinned) {
    refusal = KitRefusal::NoResponse;
  }
  if (refusal == KitRefusal::None &&
      !(elevated ? CacheSignedKit(platform, L, pins, files, hold, cache,
                                  until_restart)
                 : VerifyKit(platform, L, pins, hold))) {
    refusal = KitRefusal::Files;
  }
  if (refusal != KitRefusal::None) hold->Release();
  return refusal;
}

}  // namespace

const char* KitRefusalText(KitRefusal refusal) {
  switch (refusal) {
    case KitRefusal::None:
      return "the kit may be used";
    case KitRefusal::Unconfined:
      return "this Windows cannot keep the launcher's DLLs to its system "
             "folder (it lacks AddDllDirectory)";
    case KitRefusal::NoManifest:
      return "kit.manifest is missing, unreadable or too long";
    case KitRefusal::NoSignature:
      return "kit.manifest.sig is missing, unreadable or too long";
    case KitRefusal::NotSigned:
      return "no publisher key of this launcher verifies kit.manifest.sig";
    case KitRefusal::Malformed:
      return "kit.manifest is malformed";
    case KitRefusal::OtherProduct:
      return "kit.manifest is for another product code";
    case KitRefusal::BelowFloor:
      return "kit.manifest's version is below this launcher's lowest";
    case KitRefusal::NoResponse:
      return "the kit has no setup.iss for the silent installation its "
             "command line names";
    case KitRefusal::Files:
      break;
  }
  return "a kit file is missing, differs, or cannot be read or copied";
}

namespace {

// The kit checks of one run, for both kinds of trust.
KitRefusal CheckKit(PlatformServices& platform, const std::string& L,
                    const KitTrust& trust, bool silent, KitHold* hold,
                    std::string* cache, bool until_restart) {
  // Where lookups cannot be confined, the launcher cannot tell that it
  // runs elevated, nor verify a signature.
  if ((trust.policy != nullptr || IsPinned(trust.pins)) &&
      !platform.LookupsConfined()) {
    return KitRefusal::Unconfined;
  }
  if (trust.policy != nullptr) {
    return AdmitSignedKit(platform, L, trust, silent, hold, cache,
                          until_restart);
  }
  bool cached = IsPinned(trust.pins) && platform.CheckTokenMembership();
  if (cached && silent && !trust.pins.setup.pinned) {
    return KitRefusal::NoResponse;
  }
  if (cached ? CacheKit(platform, L, trust.pins, hold, cache, until_restart)
             : VerifyKit(platform, L, trust.pins, hold)) {
    return KitRefusal::None;
  }
  cache->clear();
  return KitRefusal::Files;
}

}  // namespace

bool AdmitKit(PlatformServices& platform, const std::string& L,
              const KitTrust& trust, LaunchMode mode, bool until_restart,
              KitHold* hold, AdmittedKit* kit) {
  KitRefusal why = CheckKit(platform, L, trust, mode == LaunchMode::Silent,
                            hold, &kit->cache, until_restart);
  if (why != KitRefusal::None) {
    kit->refusal = static_cast<int>(why);
    return false;
  }
  kit->checked = IsPinned(trust.pins) || trust.policy != nullptr;
  return true;
}

std::string KitRefusalClause(const AdmittedKit& kit) {
  return std::string(": ") +
         KitRefusalText(static_cast<KitRefusal>(kit.refusal));
}
