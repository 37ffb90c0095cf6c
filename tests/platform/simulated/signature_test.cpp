#include <gtest/gtest.h>

#include "kit/sha256.h"
#include "platform/simulated/simulated_platform.h"
#include "test_keys.h"

namespace {

using Op = SimulatedPlatform::Op;

// Real keys and signatures: what verifies, and every way one does not.
TEST(SimulatedSignatureTest, VerifiesPkcs1Sha256SignaturesOfItsKeyAlone) {
  TestKey publisher("publisher");
  TestKey backup("backup");
  TestKey other("other");
  const std::string message = "installer-launcher-kit 1\n";
  Sha256Digest digest = Sha256Of(message.data(), message.size());
  struct Case {
    const char* what;
    const TestKey& signer;
    const TestKey& verifier;
    std::string (*change)(const std::string&);
    bool valid;
  };
  auto same = [](const std::string& s) { return s; };
  const Case cases[] = {
      {"3072 bits", publisher, publisher, same, true},
      {"4096 bits", backup, backup, same, true},
      {"another key's signature", other, publisher, same, false},
      {"a 4096-bit signature for a 3072-bit key", backup, publisher, same,
       false},
      {"one bit changed", publisher, publisher,
       [](const std::string& s) {
         std::string changed = s;
         changed[100] = static_cast<char>(s[100] ^ 1);
         return changed;
       },
       false},
      {"one byte short", publisher, publisher,
       [](const std::string& s) { return s.substr(1); }, false},
      {"one byte more, a leading zero", publisher, publisher,
       [](const std::string& s) { return std::string(1, '\0') + s; }, false},
      {"empty", publisher, publisher,
       [](const std::string&) { return std::string(); }, false},
  };
  for (const Case& c : cases) {
    SimulatedPlatform p;
    std::string signature = c.change(c.signer.Sign(message));
    EXPECT_EQ(p.VerifySignature(
                  c.verifier.public_key(), digest.data(),
                  reinterpret_cast<const std::uint8_t*>(signature.data()),
                  static_cast<std::uint32_t>(signature.size())),
              c.valid)
        << c.what;
  }
  // Another message under the right key, and the call made to fail.
  SimulatedPlatform p;
  std::string signature = publisher.Sign(message);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(signature.data());
  Sha256Digest other_digest = Sha256Of("x", 1);
  EXPECT_FALSE(p.VerifySignature(publisher.public_key(), other_digest.data(),
                                 bytes, 384));
  p.FailOn(Op::VerifySignature);
  EXPECT_FALSE(
      p.VerifySignature(publisher.public_key(), digest.data(), bytes, 384));
  ASSERT_EQ(p.calls().size(), 2u);
  EXPECT_EQ(p.calls()[1].first, "3072");
}

}  // namespace
