#ifndef LAUNCHER_SIGNED_KIT_SIGNED_KIT_H_
#define LAUNCHER_SIGNED_KIT_SIGNED_KIT_H_

#include <cstddef>
#include <string>

#include "kit/kit_trust.h"
#include "platform/signature_services.h"

// A signed kit: instead of digests compiled in, the launcher carries the
// publisher's public keys and takes the kit's digests from kit.manifest
// (kit_manifest.h) once kit.manifest.sig proves that one of those keys
// signed it. One launcher build then serves every release of the product.
// A build with publisher keys links this admission of its kit
// (launcher/kit_admission.h) in place of the pinned kit's: it takes the
// pins of a KitTrust without a policy as that one does.

constexpr char kManifestName[] = "kit.manifest";
constexpr char kSignatureName[] = "kit.manifest.sig";

// What a signed-kit launcher trusts: manifests signed with any of `keys`,
// for the product `product_code`, of a version not below `min_version`
// (dotted numbers).
struct SignedKitPolicy {
  const PublisherKey* keys = nullptr;
  std::size_t key_count = 0;
  const char* product_code = "";
  const char* min_version = "0";
};

// Why a kit was refused, in the order the checks run.
enum class KitRefusal {
  None,
  Unconfined,    // this Windows cannot keep DLL lookups to its system folder
  NoManifest,    // kit.manifest missing, unreadable or too long
  NoSignature,   // kit.manifest.sig missing, unreadable or too long
  NotSigned,     // no pinned key verifies the signature
  Malformed,     // the signed text is no manifest (kit_manifest.h)
  OtherProduct,  // signed for another product code
  BelowFloor,    // a version below the launcher's floor
  NoResponse,    // silent from a cache, but no setup.iss is pinned or named
  Files,         // a kit file missing, different, unreadable or uncopied
};
const char* KitRefusalText(KitRefusal refusal);

// What this admission's AdmitKit does, for both kinds of trust. Elevated,
// the kit's files go through a fresh cache (kit/kit_cache.h), which then
// serves as the kit folder; unelevated, they are checked in place and held.
// A signed kit's manifest and signature are each read once (bounded:
// kMaxManifestSize, kMaxSignatureSize), the signature verified with the
// trust's SignatureServices before a byte of the manifest is parsed;
// elevated, the copies in the cache are written from those very bytes, and
// unelevated both files stay held with the others. A refusal is numbered
// as KitRefusal, and its clause is ": " and KitRefusalText.

#endif  // LAUNCHER_SIGNED_KIT_SIGNED_KIT_H_
