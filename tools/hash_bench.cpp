// Hashing throughput of the launcher's SHA-256 on the host.
//
//   hash_bench portable|sha-extensions FILE [KIB]
//
// Reads FILE in reads of KIB KiB (default 64), hashing each as it comes with
// the engine named, and prints the digest in lower-case hexadecimal and the
// seconds from opening the file to the digest: "<hex>  <seconds>". Exit code
// 1 when the file cannot be read, 2 when the command line is wrong, 3 when
// this CPU cannot run the engine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kit/sha256.h"

namespace {

// Nothing is left to do when stderr itself fails.
int Fail(int code, const char* message, const char* path) {
  (void)std::fprintf(stderr, "hash_bench: %s%s\n", message, path);
  return code;
}

bool HashFile(const char* path, Sha256Engine engine, std::size_t read_size,
              Sha256Digest& digest) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  // Unbuffered: each read goes to the system at the size asked.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  std::vector<unsigned char> buffer(read_size);
  Sha256State state = Sha256Begin(engine);
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
  const long kib = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 64;
  const bool portable = argc >= 3 && std::strcmp(argv[1], "portable") == 0;
  if ((argc != 3 && argc != 4) || kib <= 0 ||
      (!portable && std::strcmp(argv[1], "sha-extensions") != 0)) {
    return Fail(2, "usage: hash_bench portable|sha-extensions FILE [KIB]", "");
  }
  const Sha256Engine engine =
      portable ? Sha256Engine::kPortable : Sha256Engine::kShaExtensions;
  if (!Sha256Runs(engine)) return Fail(3, "this CPU cannot run ", argv[1]);
  const auto start = std::chrono::steady_clock::now();
  Sha256Digest digest{};
  if (!HashFile(argv[2], engine, static_cast<std::size_t>(kib) * 1024,
                digest)) {
    return Fail(1, "cannot read ", argv[2]);
  }
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  for (std::uint8_t byte : digest) std::printf("%02x", byte);
  std::printf("  %.3f\n", elapsed.count());
  return 0;
}
