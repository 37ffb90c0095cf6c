// SHA-256 by the fastest engine this CPU runs, fed in chunks whose size the
// first byte sets, against the portable code taking the rest at once.
#include <algorithm>
#include <cstdlib>

#include "kit/sha256.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = std::size_t{data[0]} + 1;
  Sha256State fast = Sha256Begin();
  Sha256State portable = Sha256Begin(Sha256Engine::kPortable);
  Sha256Update(portable, data + 1, size - 1);
  for (std::size_t at = 1; at < size; at += chunk) {
    Sha256Update(fast, data + at, std::min(chunk, size - at));
  }
  if (Sha256Finish(fast) != Sha256Finish(portable)) std::abort();
  return 0;
}
