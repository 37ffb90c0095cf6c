#ifndef LAUNCHER_PLATFORM_WINDOWS_SIGNATURE_H_
#define LAUNCHER_PLATFORM_WINDOWS_SIGNATURE_H_

#include <cstdint>

#include "platform/signature_services.h"

// The two verifiers behind SignatureServices::VerifySignature
// (signature.cpp), which takes CNG's verdict, and CryptoAPI's where CNG
// gives none; declared for the benchmark, which runs each on its own.
namespace windows {

// What CNG made of a signature: verified, refused, or no verdict (CNG, its
// RSA or its import of the key are not to be had: Windows XP, or a Wine
// whose bcrypt lacks its GnuTLS backend).
enum class Verdict { Valid, Invalid, Unavailable };
Verdict VerifyWithCng(const PublisherKey& key, const std::uint8_t* digest,
                      const std::uint8_t* signature, std::uint32_t size);
// CryptoAPI's PROV_RSA_AES, from cryptsp.dll, else from ADVAPI32; false
// also when it cannot be had.
bool VerifyWithCryptoApi(const PublisherKey& key, const std::uint8_t* digest,
                         const std::uint8_t* signature, std::uint32_t size);

}  // namespace windows

#endif  // LAUNCHER_PLATFORM_WINDOWS_SIGNATURE_H_
