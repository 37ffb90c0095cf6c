// Hashing throughput of the launcher's SHA-256 on the host.
//
//   hash_bench FILE
//
// Reads FILE in 64 KiB reads, hashing each as it comes, and prints the
// digest in lower-case hexadecimal and the seconds from opening the file to
// the digest: "<hex>  <seconds>". Exit code 1 when the file cannot be read, 2
// when the command line is wrong.
#include <chrono>
#include <cstdio>
#include <vector>

#include "launcher/sha256.h"

namespace {

constexpr std::size_t kReadSize = std::size_t{64} * 1024;

// Nothing is left to do when stderr itself fails.
int Fail(int code, const char* message, const char* path) {
  (void)std::fprintf(stderr, "hash_bench: %s%s\n", message, path);
  return code;
}

bool HashFile(const char* path, Sha256Digest& digest) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::vector<unsigned char> buffer(kReadSize);
  Sha256State state = Sha256Begin();
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    Sha256Update(state, buffer.data(), got);
  }
  const bool read = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  digest = Sha256Finish(state);
  return read && closed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail(2, "usage: hash_bench FILE", "");
  const auto start = std::chrono::steady_clock::now();
  Sha256Digest digest{};
  if (!HashFile(argv[1], digest)) return Fail(1, "cannot read ", argv[1]);
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  for (std::uint8_t byte : digest) std::printf("%02x", byte);
  std::printf("  %.3f\n", elapsed.count());
  return 0;
}
