#ifndef LAUNCHER_TESTS_TEST_KEYS_H_
#define LAUNCHER_TESTS_TEST_KEYS_H_

// The throwaway keys of tests/keys, read with the host's libcrypto: each
// one's public half as the launcher carries it, and signatures made as
// `openssl dgst -sha256 -sign` makes them.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform_services.h"

class TestKey {
 public:
  // "publisher" (3072 bits), "backup" (4096 bits) or "other" (3072 bits).
  explicit TestKey(const std::string& name) {
    std::string path = std::string(LAUNCHER_TEST_KEYS) + "/" + name + ".pem";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return;
    key_ = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    if (key_ == nullptr ||
        EVP_PKEY_get_bn_param(key_, OSSL_PKEY_PARAM_RSA_N, &n) != 1 ||
        EVP_PKEY_get_bn_param(key_, OSSL_PKEY_PARAM_RSA_E, &e) != 1) {
      return;
    }
    modulus_.resize(BN_num_bytes(n));
    BN_bn2bin(n, modulus_.data());
    public_key_ = PublisherKey{modulus_.data(),
                               static_cast<std::uint32_t>(modulus_.size()),
                               static_cast<std::uint32_t>(BN_get_word(e))};
    BN_free(n);
    BN_free(e);
  }
  ~TestKey() { EVP_PKEY_free(key_); }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  const PublisherKey& public_key() const { return public_key_; }

  // RSA PKCS#1 v1.5 with SHA-256 over `message`.
  std::string Sign(const std::string& message) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::size_t size = 0;
    std::string signature;
    if (EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key_) ==
            1 &&
        EVP_DigestSign(context, nullptr, &size,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) == 1) {
      signature.resize(size);
      EVP_DigestSign(context, reinterpret_cast<unsigned char*>(&signature[0]),
                     &size,
                     reinterpret_cast<const unsigned char*>(message.data()),
                     message.size());
    }
    EVP_MD_CTX_free(context);
    return signature;
  }

 private:
  EVP_PKEY* key_ = nullptr;
  std::vector<unsigned char> modulus_;
  PublisherKey public_key_;
};

#endif  // LAUNCHER_TESTS_TEST_KEYS_H_
