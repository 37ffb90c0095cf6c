#include "kit_check/manifest_signature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <memory>

namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::unique_ptr<EVP_PKEY, KeyFree> ReadPublicKey(const std::string& pem) {
  std::unique_ptr<BIO, BioFree> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  return std::unique_ptr<EVP_PKEY, KeyFree>(
      PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
}

bool Verifies(EVP_PKEY* key, const std::string& manifest,
              const std::string& signature) {
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  EVP_PKEY_CTX* key_context = nullptr;
  return context &&
         EVP_DigestVerifyInit(context.get(), &key_context, EVP_sha256(),
                              nullptr, key) == 1 &&
         EVP_PKEY_CTX_set_rsa_padding(key_context, RSA_PKCS1_PADDING) == 1 &&
         EVP_DigestVerify(
             context.get(),
             reinterpret_cast<const unsigned char*>(signature.data()),
             signature.size(),
             reinterpret_cast<const unsigned char*>(manifest.data()),
             manifest.size()) == 1;
}

}  // namespace

SignatureCheck CheckManifestSignature(const std::string& public_key_pem,
                                      const std::string& manifest,
                                      const std::string& signature) {
  std::unique_ptr<EVP_PKEY, KeyFree> key = ReadPublicKey(public_key_pem);
  if (!key) return SignatureCheck::NotAKey;
  if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
    return SignatureCheck::NotRsa;
  }
  int bits = EVP_PKEY_get_bits(key.get());
  if (bits != 3072 && bits != 4096) return SignatureCheck::WrongSize;
  // Windows' verifiers take a signature of the modulus' length alone.
  if (signature.size() != static_cast<std::size_t>(bits / 8)) {
    return SignatureCheck::NotVerified;
  }
  return Verifies(key.get(), manifest, signature) ? SignatureCheck::Verified
                                                  : SignatureCheck::NotVerified;
}
