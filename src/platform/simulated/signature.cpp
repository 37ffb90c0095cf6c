// Signature checks, with the host's libcrypto in place of the system's
// cryptography.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <memory>

#include "platform/simulated/simulated_platform.h"

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* object) const { Free(object); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

void FreeNumber(BIGNUM* number) { BN_free(number); }

// The public key (n, e), or null.
Owned<EVP_PKEY, EVP_PKEY_free> PublicKey(const PublisherKey& key) {
  Owned<BIGNUM, FreeNumber> n(
      BN_bin2bn(key.modulus, static_cast<int>(key.modulus_size), nullptr));
  Owned<BIGNUM, FreeNumber> e(BN_new());
  Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || BN_set_word(e.get(), key.exponent) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) !=
          1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) !=
          1) {
    return nullptr;
  }
  Owned<OSSL_PARAM, OSSL_PARAM_free> params(
      OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> context(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* result = nullptr;
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &result, EVP_PKEY_PUBLIC_KEY,
                        params.get()) != 1) {
    return nullptr;
  }
  return Owned<EVP_PKEY, EVP_PKEY_free>(result);
}

}  // namespace

bool SimulatedPlatform::VerifySignature(const PublisherKey& key,
                                        const std::uint8_t* digest,
                                        const std::uint8_t* signature,
                                        std::uint32_t size) {
  if (Record(Op::VerifySignature, std::to_string(key.modulus_size * 8)) ||
      !lookups_confined) {
    return false;
  }
  // CNG and CryptoAPI take a signature of the modulus' length alone.
  if (size != key.modulus_size) return false;
  Owned<EVP_PKEY, EVP_PKEY_free> public_key = PublicKey(key);
  if (!public_key) return false;
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> context(
      EVP_PKEY_CTX_new(public_key.get(), nullptr));
  return context && EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) == 1 &&
         EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) == 1 &&
         EVP_PKEY_verify(context.get(), signature, size, digest, 32) == 1;
}
