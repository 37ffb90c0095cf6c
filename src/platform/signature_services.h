#ifndef LAUNCHER_PLATFORM_SIGNATURE_SERVICES_H_
#define LAUNCHER_PLATFORM_SIGNATURE_SERVICES_H_

#include <cstdint>
#include <memory>

// The signed kit's one operating-system operation: verifying a signature
// with the system's cryptography. Only signed_kit/ includes this.

// An RSA public key the launcher was built to trust: its modulus, most
// significant byte first (384 or 512 bytes), and its public exponent.
struct PublisherKey {
  const std::uint8_t* modulus = nullptr;
  std::uint32_t modulus_size = 0;
  std::uint32_t exponent = 0;
};

class SignatureServices {
 public:
  virtual ~SignatureServices() = default;

  // True when `signature` (`size` bytes, most significant first, as openssl
  // writes it) is the RSA PKCS#1 v1.5 signature, with SHA-256, of a message
  // whose SHA-256 is `digest` (32 bytes), under `key`. False for any other
  // signature, and when the system's cryptography cannot be had. Windows:
  // CNG (bcrypt.dll), else CryptoAPI's PROV_RSA_AES, each found at run time
  // in a DLL of the system folder.
  virtual bool VerifySignature(const PublisherKey& key,
                               const std::uint8_t* digest,
                               const std::uint8_t* signature,
                               std::uint32_t size) = 0;
};

// The realisation over the real Win32 API; only built for Windows.
std::unique_ptr<SignatureServices> CreateWindowsSignatureServices();

#endif  // LAUNCHER_PLATFORM_SIGNATURE_SERVICES_H_
