#ifndef LAUNCHER_LAUNCHER_SIGNED_KIT_H_
#define LAUNCHER_LAUNCHER_SIGNED_KIT_H_

#include <cstddef>
#include <string>

#include "launcher/kit_checks.h"
#include "platform/platform_services.h"

// A signed kit: instead of digests compiled in, the launcher carries the
// publisher's public keys and takes the kit's digests from kit.manifest
// (kit_manifest.h) once kit.manifest.sig proves that one of those keys
// signed it. One launcher build then serves every release of the product.

constexpr char kManifestName[] = "kit.manifest";
constexpr char kSignatureName[] = "kit.manifest.sig";

#if LAUNCHER_SIGNED_KIT
// What a signed-kit launcher trusts: manifests signed with any of `keys`,
// for the product `product_code`, of a version not below `min_version`
// (dotted numbers).
struct SignedKitPolicy {
  const PublisherKey* keys = nullptr;
  std::size_t key_count = 0;
  const char* product_code = "";
  const char* min_version = "0";
};

// How the launcher trusts its kit: by the pins compiled in (none: nothing
// is checked), or by a signed manifest.
struct KitTrust {
  KitTrust() = default;
  KitTrust(const KitPins& pins) : pins(pins) {}  // NOLINT: implicit on purpose
  KitTrust(const SignedKitPolicy& policy) : policy(&policy) {}  // NOLINT
  KitPins pins;
  const SignedKitPolicy* policy = nullptr;
};

// Why a kit was refused, in the order the checks run.
enum class KitRefusal {
  None,
  NoManifest,    // kit.manifest missing, unreadable or too long
  NoSignature,   // kit.manifest.sig missing, unreadable or too long
  NotSigned,     // no pinned key verifies the signature
  Malformed,     // the signed text is no manifest (kit_manifest.h)
  OtherProduct,  // signed for another product code
  BelowFloor,    // a version below the launcher's floor
  Files,         // a kit file missing, different, unreadable or uncopied
};
const char* KitRefusalText(KitRefusal refusal);

// The kit checks of one run, for both kinds of trust. Elevated, the kit's
// files go through a fresh cache (kit_cache.h), which then serves as the
// kit folder and is named in `cache`; unelevated, they are checked in
// place and held. A signed kit's manifest and signature are each read once
// (bounded: kMaxManifestSize, kMaxSignatureSize), the signature verified
// before a byte of the manifest is parsed; elevated, the copies in the
// cache are written from those very bytes, and unelevated both files stay
// held with the others. `until_restart` as for CacheKit. On a refusal
// nothing is left held and `cache` is empty; a cache named for deletion at
// restart stays, emptied, until then.
KitRefusal AdmitKit(PlatformServices& platform, const std::string& L,
                    const KitTrust& trust, KitHold* hold, std::string* cache,
                    bool until_restart);
#else
// The default build trusts the pins compiled in, and nothing else.
using KitTrust = KitPins;
#endif  // LAUNCHER_SIGNED_KIT

#endif  // LAUNCHER_LAUNCHER_SIGNED_KIT_H_
