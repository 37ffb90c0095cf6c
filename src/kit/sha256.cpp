#include "kit/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define LAUNCHER_SHA256_X86 1
#endif

namespace {

constexpr std::size_t kBlockSize = 64;
// Where the big-endian bit count of the message goes in its last block.
constexpr std::size_t kLengthOffset = kBlockSize - 8;

constexpr std::array<std::uint32_t, 8> kInitialHash = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
         (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

void StoreBigEndian(std::uint64_t value, std::uint8_t* p, std::size_t size) {
  for (std::size_t i = size; i-- > 0; value >>= 8) {
    p[i] = static_cast<std::uint8_t>(value);
  }
}

// The message schedule, computed in place over a 16-word window.
std::uint32_t NextWord(std::array<std::uint32_t, 16>& w, std::size_t t) {
  if (t < 16) return w[t];
  const std::uint32_t w15 = w[(t - 15) % 16];
  const std::uint32_t w2 = w[(t - 2) % 16];
  const std::uint32_t s0 = Rotr(w15, 7) ^ Rotr(w15, 18) ^ (w15 >> 3);
  const std::uint32_t s1 = Rotr(w2, 17) ^ Rotr(w2, 19) ^ (w2 >> 10);
  w[t % 16] += s0 + w[(t - 7) % 16] + s1;
  return w[t % 16];
}

void CompressPortable(std::array<std::uint32_t, 8>& hash,
                      const std::uint8_t* block) {
  std::array<std::uint32_t, 16> w{};
  for (std::size_t t = 0; t < 16; ++t) w[t] = LoadBigEndian(block + 4 * t);
  std::array<std::uint32_t, 8> v = hash;  // a to h
  for (std::size_t t = 0; t < 64; ++t) {
    const std::uint32_t e = v[4];
    const std::uint32_t a = v[0];
    const std::uint32_t t1 = v[7] + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) +
                             ((e & v[5]) ^ (~e & v[6])) + kRoundConstants[t] +
                             NextWord(w, t);
    const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) +
                             ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
    for (std::size_t i = 7; i > 0; --i) v[i] = v[i - 1];
    v[4] += t1;
    v[0] = t1 + t2;
  }
  for (std::size_t i = 0; i < 8; ++i) hash[i] += v[i];
}

#if defined(LAUNCHER_SHA256_X86)

// The SHA extensions work on XMM registers alone, whose state every system
// with SSE saves, so CPUID's word suffices.
bool CpuHasShaExtensions() {
  unsigned a = 0;
  unsigned b = 0;
  unsigned c = 0;
  unsigned d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_SSSE3) == 0 ||
      (c & bit_SSE4_1) == 0) {
    return false;
  }
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_SHA) != 0;
}

// Only this function may use the instructions; the rest of the program runs
// on any x86 CPU. Windows promises 32-bit code a 4-byte aligned stack only,
// while GCC assumes 16 bytes and keeps vectors of this function on the stack,
// read by instructions that fault when they are not 16-byte aligned; so on
// 32-bit x86 it realigns its own stack.
#if defined(__i386__)
__attribute__((target("sha,ssse3,sse4.1"), force_align_arg_pointer))
#else
__attribute__((target("sha,ssse3,sse4.1")))
#endif
void CompressWithShaExtensions(std::array<std::uint32_t, 8>& hash,
                               const std::uint8_t* blocks, std::size_t count) {
  // Each 32-bit lane of a message vector holds a big-endian word.
  const __m128i byte_swap =
      _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  // sha256rnds2 takes the working variables as (a, b, e, f) and (c, d, g, h),
  // each from the highest lane down.
  const __m128i abcd =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(hash.data()));
  const __m128i efgh =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(hash.data() + 4));
  const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
  const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
  __m128i abef = _mm_alignr_epi8(badc, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);
  for (; count > 0; --count, blocks += kBlockSize) {
    const __m128i abef_before = abef;
    const __m128i cdgh_before = cdgh;
    // w0 to w3: message words t to t + 15 at round t, four to a vector, the
    // lowest in the lowest lane.
    const auto* words = reinterpret_cast<const __m128i*>(blocks);
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(words), byte_swap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(words + 1), byte_swap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(words + 2), byte_swap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(words + 3), byte_swap);
    for (std::size_t t = 0; t < 64; t += 4) {
      const __m128i wk =
          _mm_add_epi32(w0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                kRoundConstants.data() + t)));
      // Rounds t and t + 1, then t + 2 and t + 3: each sha256rnds2 returns
      // the new (a, b, e, f), and its old (a, b, e, f) is the new (c, d, g, h).
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
      // Words t + 16 to t + 19 (needed up to 63 only): sha256msg1 adds
      // sigma0 of words t + 1 to t + 4 to words t to t + 3, then words t + 9
      // to t + 12 are added, and sha256msg2 adds sigma1 of the words two
      // before each.
      const __m128i next =
          _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(w0, w1),
                                             _mm_alignr_epi8(w3, w2, 4)),
                               w3);
      w0 = w1;
      w1 = w2;
      w2 = w3;
      w3 = next;
    }
    abef = _mm_add_epi32(abef, abef_before);
    cdgh = _mm_add_epi32(cdgh, cdgh_before);
  }
  const __m128i abef_reversed = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i cdgh_swapped = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hash.data()),
                   _mm_blend_epi16(abef_reversed, cdgh_swapped, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hash.data() + 4),
                   _mm_alignr_epi8(cdgh_swapped, abef_reversed, 8));
}

#endif  // LAUNCHER_SHA256_X86

// Told once, before main (a hash begun earlier, from another file's static
// initialisation, would get the portable code).
#if defined(LAUNCHER_SHA256_X86)
const bool kHasShaExtensions = CpuHasShaExtensions();
#else
const bool kHasShaExtensions = false;
#endif

void Compress(Sha256Engine engine, std::array<std::uint32_t, 8>& hash,
              const std::uint8_t* blocks, std::size_t count) {
#if defined(LAUNCHER_SHA256_X86)
  if (engine == Sha256Engine::kShaExtensions) {
    CompressWithShaExtensions(hash, blocks, count);
    return;
  }
#endif
  for (; count > 0; --count, blocks += kBlockSize) {
    CompressPortable(hash, blocks);
  }
}

}  // namespace

bool Sha256Runs(Sha256Engine engine) {
  return engine == Sha256Engine::kPortable || kHasShaExtensions;
}

Sha256State Sha256Begin() {
  return Sha256Begin(kHasShaExtensions ? Sha256Engine::kShaExtensions
                                       : Sha256Engine::kPortable);
}

Sha256State Sha256Begin(Sha256Engine engine) {
  return Sha256State{kInitialHash, {}, 0, engine};
}

void Sha256Update(Sha256State& state, const void* data, std::size_t size) {
  if (size == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t used = state.length % kBlockSize;
  state.length += size;
  if (used != 0) {
    const std::size_t take = std::min(size, kBlockSize - used);
    std::memcpy(state.block.data() + used, bytes, take);
    if (used + take < kBlockSize) return;
    Compress(state.engine, state.hash, state.block.data(), 1);
    bytes += take;
    size -= take;
  }
  Compress(state.engine, state.hash, bytes, size / kBlockSize);
  std::memcpy(state.block.data(), bytes + size / kBlockSize * kBlockSize,
              size % kBlockSize);
}

Sha256Digest Sha256Finish(Sha256State& state) {
  // Bit counts past 2^64 - 1 wrap, as the length field cannot hold them.
  const std::uint64_t bits = state.length * 8;
  const std::size_t used = state.length % kBlockSize;
  // A one bit, then zeros up to the length field, in this block or the next.
  const std::array<std::uint8_t, kBlockSize> padding = {0x80};
  Sha256Update(state, padding.data(),
               (kBlockSize + kLengthOffset - 1 - used) % kBlockSize + 1);
  std::array<std::uint8_t, 8> length{};
  StoreBigEndian(bits, length.data(), length.size());
  Sha256Update(state, length.data(), length.size());
  Sha256Digest digest{};
  for (std::size_t i = 0; i < state.hash.size(); ++i) {
    StoreBigEndian(state.hash[i], digest.data() + 4 * i, 4);
  }
  return digest;
}

Sha256Digest Sha256Of(const void* data, std::size_t size) {
  Sha256State state = Sha256Begin();
  Sha256Update(state, data, size);
  return Sha256Finish(state);
}
