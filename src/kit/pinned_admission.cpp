// The admission of a kit in a build without publisher keys: the pins
// compiled in, and nothing else (a KitTrust's policy is never set there).
#include "kit/kit_cache.h"
#include "kit/kit_trust.h"
#include "launcher/kit_admission.h"

bool AdmitKit(PlatformServices& platform, const std::string& L,
              const KitTrust& trust, LaunchMode mode, bool until_restart,
              KitHold* hold, AdmittedKit* kit) {
  bool pinned = IsPinned(trust.pins);
  // Where lookups cannot be confined, the launcher cannot tell that it runs
  // elevated, and would check the kit in place and start it there with
  // whatever rights it has.
  if (pinned && !platform.LookupsConfined()) {
    kit->refusal = kLookupsNotConfined;
    return false;
  }
  bool cached = pinned && platform.CheckTokenMembership();
  if (cached && mode == LaunchMode::Silent && !trust.pins.setup.pinned) {
    kit->refusal = kNoSilentResponses;
    return false;
  }
  if (cached
          ? !CacheKit(platform, L, trust.pins, hold, &kit->cache, until_restart)
          : !VerifyKit(platform, L, trust.pins, hold)) {
    kit->cache.clear();
    kit->refusal = kPinnedKitDiffers;
    return false;
  }
  kit->checked = pinned;
  return true;
}
