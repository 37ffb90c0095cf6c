#ifndef LAUNCHER_KIT_SHA256_H_
#define LAUNCHER_KIT_SHA256_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4) of messages of any length up to 2^64 - 1 bits, in
// constant memory, with no allocation and no exceptions.

using Sha256Digest = std::array<std::uint8_t, 32>;

// How blocks are compressed: by portable code, which runs everywhere, or by
// the SHA extensions of an x86 CPU that has them with SSSE3 and SSE4.1.
enum class Sha256Engine : std::uint8_t { kPortable, kShaExtensions };

// Streaming SHA-256 state: Sha256Update any number of times, then Sha256Finish
// once. Plain data: it may be copied to hash two messages sharing a prefix.
struct Sha256State {
  std::array<std::uint32_t, 8> hash;
  // The bytes of the current 64-byte block taken so far, length % 64 of them.
  std::array<std::uint8_t, 64> block;
  std::uint64_t length;  // in bytes
  Sha256Engine engine;
};

// Whether this CPU runs `engine`, as CPUID told once at start-up.
bool Sha256Runs(Sha256Engine engine);

// Begins a message, compressed by the fastest engine this CPU runs.
Sha256State Sha256Begin();
// Begins a message compressed by `engine`, which this CPU must run.
Sha256State Sha256Begin(Sha256Engine engine);
// Takes size bytes at data, in chunks of any size; data may be null when size
// is 0.
void Sha256Update(Sha256State& state, const void* data, std::size_t size);
// The digest of everything taken. Leaves the state spent: it must be begun
// again before it takes another message.
Sha256Digest Sha256Finish(Sha256State& state);

Sha256Digest Sha256Of(const void* data, std::size_t size);

// The digest in lower-case hexadecimal, as sha256sum and kit.manifest write
// it.
std::string Sha256Hex(const Sha256Digest& digest);

#endif  // LAUNCHER_KIT_SHA256_H_
