#ifndef LAUNCHER_KIT_KIT_TRUST_H_
#define LAUNCHER_KIT_KIT_TRUST_H_

#include "kit/kit_checks.h"

struct SignedKitPolicy;   // signed_kit/signed_kit.h
class SignatureServices;  // platform/signature_services.h

// How the launcher trusts its kit, the same type in every build: by the
// pins compiled in (none: nothing is checked), or by a manifest signed
// under a policy of publisher keys, verified with `signatures`. Only a
// build that links the signed kit's admission (signed_kit/) reads the
// policy; the pinned kit's admission reads the pins alone.
struct KitTrust {
  KitTrust() = default;
  KitTrust(const KitPins& pins) : pins(pins) {}  // NOLINT: implicit on purpose
  KitTrust(const SignedKitPolicy& policy, SignatureServices& signatures)
      : policy(&policy), signatures(&signatures) {}
  KitPins pins;
  const SignedKitPolicy* policy = nullptr;
  SignatureServices* signatures = nullptr;
};

// Why the pinned kit's admission refused a kit (AdmittedKit::refusal).
enum PinnedRefusal : int {
  kPinnedKitDiffers = 1,    // a pinned file missing, different or uncopied
  kLookupsNotConfined = 2,  // no AddDllDirectory: elevation cannot be told
  kNoSilentResponses = 3,   // silent from a cache, setup.iss not pinned
};

#endif  // LAUNCHER_KIT_KIT_TRUST_H_
