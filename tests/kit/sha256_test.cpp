#include "kit/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The digest of `size` bytes at `data` by `engine`, fed in chunks of the
// sizes in `chunks`, round and round.
Sha256Digest Digest(Sha256Engine engine, const char* data, std::size_t size,
                    const std::vector<std::size_t>& chunks) {
  Sha256State state = Sha256Begin(engine);
  Sha256Update(state, nullptr, 0);
  for (std::size_t at = 0, i = 0; at < size; ++i) {
    const std::size_t chunk = std::min(chunks[i % chunks.size()], size - at);
    Sha256Update(state, data + at, chunk);
    at += chunk;
  }
  return Sha256Finish(state);
}

// Each engine; the SHA extensions' tests report themselves skipped on a CPU
// without them.
class Sha256Test : public testing::TestWithParam<Sha256Engine> {
 protected:
  void SetUp() override {
    if (!Sha256Runs(GetParam())) GTEST_SKIP() << "this CPU cannot run it";
  }
};

INSTANTIATE_TEST_SUITE_P(Engines, Sha256Test,
                         testing::Values(Sha256Engine::kPortable,
                                         Sha256Engine::kShaExtensions),
                         [](const testing::TestParamInfo<Sha256Engine>& info) {
                           return info.param == Sha256Engine::kPortable
                                      ? "Portable"
                                      : "ShaExtensions";
                         });

TEST_P(Sha256Test, PublishedVectors) {
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
    EXPECT_EQ(Sha256Hex(Digest(GetParam(), c.message.data(), c.message.size(),
                               {c.message.size()})),
              c.digest)
        << c.message.size() << " bytes";
  }
}

// Against the portable code taking the whole message at once.
TEST_P(Sha256Test, UnevenChunksGiveTheOneShotDigest) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 37 + 11);
  const std::vector<std::size_t> chunks = {0,   1,  54, 0,  1, 7,
                                           129, 63, 64, 65, 2};
  for (std::size_t length = 0; length <= message.size(); ++length) {
    EXPECT_EQ(Sha256Hex(Digest(GetParam(), message.data(), length, chunks)),
              Sha256Hex(Digest(Sha256Engine::kPortable, message.data(), length,
                               {length})))
        << length << " bytes";
  }
}

}  // namespace
