// The cost of a signed kit's signature check on the real Win32 API, timed
// inside one process:
//
//   signature_bench MANIFEST SIGNATURE ROUNDS
//
// Each round does what a signed-kit launcher does with the two files' bytes:
// the SHA-256 of the manifest, then PlatformServices::VerifySignature with
// each key of the test launcher's (test_programs/signed_launcher.exe) until
// one verifies. Prints the median and the fastest round in milliseconds;
// exit code 1 when a round does not verify.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "launcher/sha256.h"
#include "platform/platform_services.h"
#include "publisher_keys.h"

namespace {

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: signature_bench MANIFEST SIGNATURE ROUNDS\n");
    return 2;
  }
  std::string manifest = ReadAll(argv[1]);
  std::string signature = ReadAll(argv[2]);
  int rounds = std::atoi(argv[3]);
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
    bool verified = false;
    for (std::size_t i = 0; i < kSignedKit.key_count && !verified; ++i) {
      verified = platform->VerifySignature(
          kSignedKit.keys[i], digest.data(),
          reinterpret_cast<const std::uint8_t*>(signature.data()),
          static_cast<std::uint32_t>(signature.size()));
    }
    QueryPerformanceCounter(&end);
    if (!verified) {
      std::printf("round %d: the signature does not verify\n", round);
      return 1;
    }
    times.push_back(1000.0 *
                    static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "signature check: median %.3f ms, fastest %.3f ms (%d rounds, first "
      "included)\n",
      times[times.size() / 2], times[0], rounds);
  return 0;
}
