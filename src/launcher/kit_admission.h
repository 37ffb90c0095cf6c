#ifndef LAUNCHER_LAUNCHER_KIT_ADMISSION_H_
#define LAUNCHER_LAUNCHER_KIT_ADMISSION_H_

#include <string>

#include "launcher/kit_hold.h"
#include "launcher/locations.h"
#include "platform/platform_services.h"

// What the run sequence needs of the kit beside the launcher before
// anything is removed. It is declared here, for the run sequences, and
// defined by the kit library the build links: the pinned kit's
// (kit/pinned_admission.cpp) in a build without publisher keys, the signed
// kit's (signed_kit/) in one with them.

// How the build trusts its kit: the pins compiled in, or a signed manifest
// (kit/kit_trust.h). The run sequences only pass it on.
struct KitTrust;

// A kit the run may use.
struct AdmittedKit {
  // Where the new installer starts from: the launcher's folder L, or the
  // verified copy of the kit in a fresh cache.
  const std::string& folder(const std::string& L) const {
    return cache.empty() ? L : cache;
  }
  // The cache, when there is one; "" otherwise.
  std::string cache;
  // Whether anything was checked: a file pinned, or a signed manifest.
  bool checked = false;
  // Why the kit was refused, as the admission numbers its checks; 0 when
  // it was admitted.
  int refusal = 0;
};

// Admits the kit of the launcher folder L as `trust` says, for a run in
// `mode`. Elevated, a kit with anything to check goes through a fresh
// cache, scheduled for deletion at the next restart when `until_restart`
// (the default build, which does not wait for the new installer);
// unelevated it is checked in place. Such a cache holds only what the kit
// pins or its manifest names: a silent run from one without setup.iss,
// which the silent command line names, is refused before it is made. True when
// the kit may be used: `kit` tells where it is, and its files stay in `hold`
// until the new installer runs. False when it is refused: `kit` has no cache
// (one named for deletion at restart stays, emptied, until then) and tells why,
// and nothing is held once `hold` is released.
bool AdmitKit(PlatformServices& platform, const std::string& L,
              const KitTrust& trust, LaunchMode mode, bool until_restart,
              KitHold* hold, AdmittedKit* kit);

// What follows L in the report build's log line for a kit AdmitKit refused:
// "Kit check: <L><clause>; nothing is removed or started". Defined beside
// AdmitKit, in a file of its own, so that only a build that logs carries
// the text.
std::string KitRefusalClause(const AdmittedKit& kit);

// Releases `hold` and deletes the admitted kit's cache, when it has one: what
// it holds, and the folder itself unless it is scheduled for deletion at the
// next restart (`until_restart`), when it stays, empty, until then.
void DiscardKit(PlatformServices& platform, const AdmittedKit& kit,
                KitHold* hold, bool until_restart);

#endif  // LAUNCHER_LAUNCHER_KIT_ADMISSION_H_
