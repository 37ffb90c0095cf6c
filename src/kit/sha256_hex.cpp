// Apart from sha256.cpp: only the host tools and tests write digests out,
// and a program that never calls it links none of it.
#include "kit/sha256.h"

std::string Sha256Hex(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}
