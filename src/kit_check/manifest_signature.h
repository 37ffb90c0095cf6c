#ifndef LAUNCHER_KIT_CHECK_MANIFEST_SIGNATURE_H_
#define LAUNCHER_KIT_CHECK_MANIFEST_SIGNATURE_H_

#include <string>

// The signature check of a signed kit as the launcher makes it, with the
// host's libcrypto: RSA PKCS#1 v1.5 over the SHA-256 of the manifest's
// exact bytes, a signature exactly as long as the key's modulus, and keys
// of 3072 or 4096 bits only.
enum class SignatureCheck {
  Verified,
  NotVerified,  // this key does not verify this signature
  NotAKey,      // the text is no PEM public key
  NotRsa,       // a public key, but not RSA
  WrongSize,    // an RSA key of another size than 3072 or 4096 bits
};

SignatureCheck CheckManifestSignature(const std::string& public_key_pem,
                                      const std::string& manifest,
                                      const std::string& signature);

#endif  // LAUNCHER_KIT_CHECK_MANIFEST_SIGNATURE_H_
