// A signed kit's signature check on the real Win32 API, timed inside one
// process:
//
//   signature_bench VERIFIER MANIFEST SIGNATURE ROUNDS
//
// Each round does what a signed-kit launcher does with the two files'
// bytes: the SHA-256 of the manifest, then a verification with each key of
// the test launcher's (test_programs/signed_launcher.exe) until one
// verifies. VERIFIER is "launcher" (SignatureServices::VerifySignature, CNG
// or else CryptoAPI), "cng" or "cryptoapi" (each verifier on its own).
// Prints the verdict ("valid", "invalid", or "unavailable" when CNG gave
// none), then the median and the fastest round in milliseconds. The Wine
// suite reads the verdicts; tools/bench.sh the times.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kit/sha256.h"
#include "platform/windows/signature.h"
#include "publisher_keys.h"

namespace {

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One verifier's verdict over every key, as the launcher asks them.
windows::Verdict Check(const char* verifier, SignatureServices& platform,
                       const std::string& manifest,
                       const std::string& signature) {
  Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(signature.data());
  auto size = static_cast<std::uint32_t>(signature.size());
  windows::Verdict verdict = windows::Verdict::Unavailable;
  for (std::size_t i = 0; i < kSignedKit.key_count; ++i) {
    const PublisherKey& key = kSignedKit.keys[i];
    windows::Verdict one = windows::Verdict::Invalid;
    if (std::strcmp(verifier, "cng") == 0) {
      one = windows::VerifyWithCng(key, digest.data(), bytes, size);
    } else if (std::strcmp(verifier, "cryptoapi") == 0) {
      if (windows::VerifyWithCryptoApi(key, digest.data(), bytes, size)) {
        one = windows::Verdict::Valid;
      }
    } else if (platform.VerifySignature(key, digest.data(), bytes, size)) {
      one = windows::Verdict::Valid;
    }
    if (one == windows::Verdict::Valid) return one;
    if (one == windows::Verdict::Invalid) verdict = one;
  }
  return verdict;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: signature_bench launcher|cng|cryptoapi MANIFEST "
                 "SIGNATURE ROUNDS\n");
    return 2;
  }
  std::string manifest = ReadAll(argv[2]);
  std::string signature = ReadAll(argv[3]);
  int rounds = std::max(1, std::atoi(argv[4]));
  std::unique_ptr<SignatureServices> platform =
      CreateWindowsSignatureServices();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  windows::Verdict verdict = windows::Verdict::Unavailable;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    verdict = Check(argv[1], *platform, manifest, signature);
    QueryPerformanceCounter(&end);
    times.push_back(1000.0 *
                    static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
  }
  std::sort(times.begin(), times.end());
  std::printf("verdict: %s\n", verdict == windows::Verdict::Valid ? "valid"
                               : verdict == windows::Verdict::Invalid
                                   ? "invalid"
                                   : "unavailable");
  std::printf("median %.3f ms, fastest %.3f ms (%d rounds, first included)\n",
              times[times.size() / 2], times[0], rounds);
  return 0;
}
