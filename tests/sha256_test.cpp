#include "launcher/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string Hex(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

TEST(Sha256Test, PublishedVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc",
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
       "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Sha256Of(c.message.data(), c.message.size())), c.digest)
        << c.message.size() << " bytes";
  }
}

TEST(Sha256Test, UnevenChunksGiveTheOneShotDigest) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 37 + 11);
  const std::size_t chunks[] = {0, 1, 54, 0, 1, 7, 63, 64, 65, 2, 0};
  for (std::size_t length : {55, 56, 57, 63, 64, 65, 119, 120, 128, 300}) {
    Sha256State state = Sha256Begin();
    Sha256Update(state, nullptr, 0);
    for (std::size_t at = 0, i = 0; at < length; ++i) {
      const std::size_t size = std::min(chunks[i % 11], length - at);
      Sha256Update(state, message.data() + at, size);
      at += size;
    }
    EXPECT_EQ(Hex(Sha256Finish(state)), Hex(Sha256Of(message.data(), length)))
        << length << " bytes";
  }
}

}  // namespace
