// Signature checks through the system's own cryptography: CNG where it can
// verify RSA, else CryptoAPI's PROV_RSA_AES provider. Nothing here is a
// load-time import: each function is found at run time in a DLL loaded from
// the system folder alone (SystemFunction). CryptoAPI is taken from
// cryptsp.dll, where ADVAPI32's CryptoAPI functions are only forwarders to
// (Windows 7 on), and from ADVAPI32 itself where cryptsp.dll is absent.
#include "platform/windows/signature.h"

#include "platform/windows/internal.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace windows {

namespace {

constexpr LONG kStatusSuccess = 0;
constexpr std::uint32_t kDigestSize = 32;

template <typename Function>
Function Bcrypt(const char* name) {
  return SystemFunction<Function>(L"bcrypt.dll", name);
}

}  // namespace

Verdict VerifyWithCng(const PublisherKey& key, const std::uint8_t* digest,
                      const std::uint8_t* signature, std::uint32_t size) {
  auto open = Bcrypt<decltype(&::BCryptOpenAlgorithmProvider)>(
      "BCryptOpenAlgorithmProvider");
  auto import = Bcrypt<decltype(&::BCryptImportKeyPair)>("BCryptImportKeyPair");
  auto verify =
      Bcrypt<decltype(&::BCryptVerifySignature)>("BCryptVerifySignature");
  auto destroy = Bcrypt<decltype(&::BCryptDestroyKey)>("BCryptDestroyKey");
  auto close = Bcrypt<decltype(&::BCryptCloseAlgorithmProvider)>(
      "BCryptCloseAlgorithmProvider");
  if (open == nullptr || import == nullptr || verify == nullptr ||
      destroy == nullptr || close == nullptr) {
    return Verdict::Unavailable;
  }
  // BCRYPT_RSAPUBLIC_BLOB: the header, then the exponent and the modulus,
  // each most significant byte first.
  std::uint8_t exponent[4] = {static_cast<std::uint8_t>(key.exponent >> 24),
                              static_cast<std::uint8_t>(key.exponent >> 16),
                              static_cast<std::uint8_t>(key.exponent >> 8),
                              static_cast<std::uint8_t>(key.exponent)};
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_RSAKEY_BLOB));
  BCRYPT_RSAKEY_BLOB header = {};
  header.Magic = BCRYPT_RSAPUBLIC_MAGIC;
  header.BitLength = key.modulus_size * 8;
  header.cbPublicExp = sizeof(exponent);
  header.cbModulus = key.modulus_size;
  std::memcpy(blob.data(), &header, sizeof(header));
  blob.insert(blob.end(), exponent, exponent + sizeof(exponent));
  blob.insert(blob.end(), key.modulus, key.modulus + key.modulus_size);

  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (open(&algorithm, BCRYPT_RSA_ALGORITHM, nullptr, 0) != kStatusSuccess) {
    return Verdict::Unavailable;
  }
  Verdict verdict = Verdict::Unavailable;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (import(algorithm, nullptr, BCRYPT_RSAPUBLIC_BLOB, &handle, blob.data(),
             static_cast<ULONG>(blob.size()), 0) == kStatusSuccess) {
    BCRYPT_PKCS1_PADDING_INFO padding = {BCRYPT_SHA256_ALGORITHM};
    LONG status =
        verify(handle, &padding, const_cast<PUCHAR>(digest), kDigestSize,
               const_cast<PUCHAR>(signature), size, BCRYPT_PAD_PKCS1);
    // Once the key is in, CNG has judged the signature: any status but
    // success refuses it (a value past the modulus, say, gives
    // STATUS_INVALID_PARAMETER), and CryptoAPI is not asked again.
    verdict = status == kStatusSuccess ? Verdict::Valid : Verdict::Invalid;
    destroy(handle);
  }
  close(algorithm, 0);
  return verdict;
}

namespace {

// The CryptoAPI functions, from cryptsp.dll, else from ADVAPI32.
struct CryptoApi {
  decltype(&::CryptAcquireContextW) acquire = nullptr;
  decltype(&::CryptImportKey) import = nullptr;
  decltype(&::CryptCreateHash) create_hash = nullptr;
  decltype(&::CryptSetHashParam) set_hash = nullptr;
  decltype(&::CryptVerifySignatureW) verify = nullptr;
  decltype(&::CryptDestroyHash) destroy_hash = nullptr;
  decltype(&::CryptDestroyKey) destroy_key = nullptr;
  decltype(&::CryptReleaseContext) release = nullptr;

  explicit CryptoApi(const wchar_t* dll)
      : acquire(SystemFunction<decltype(acquire)>(dll, "CryptAcquireContextW")),
        import(SystemFunction<decltype(import)>(dll, "CryptImportKey")),
        create_hash(
            SystemFunction<decltype(create_hash)>(dll, "CryptCreateHash")),
        set_hash(SystemFunction<decltype(set_hash)>(dll, "CryptSetHashParam")),
        verify(SystemFunction<decltype(verify)>(dll, "CryptVerifySignatureW")),
        destroy_hash(
            SystemFunction<decltype(destroy_hash)>(dll, "CryptDestroyHash")),
        destroy_key(
            SystemFunction<decltype(destroy_key)>(dll, "CryptDestroyKey")),
        release(SystemFunction<decltype(release)>(dll, "CryptReleaseContext")) {
  }

  bool Complete() const {
    return acquire != nullptr && import != nullptr && create_hash != nullptr &&
           set_hash != nullptr && verify != nullptr &&
           destroy_hash != nullptr && destroy_key != nullptr &&
           release != nullptr;
  }
};

// The hash object holds the digest as it is given (HP_HASHVAL); CryptoAPI
// takes the key's modulus and the signature least significant byte first.
bool VerifyWithApi(const CryptoApi& api, const PublisherKey& key,
                   const std::uint8_t* digest, const std::uint8_t* signature,
                   std::uint32_t size) {
  HCRYPTPROV provider = 0;
  if (!api.acquire(&provider, nullptr, nullptr, PROV_RSA_AES,
                   CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return false;
  }
  std::vector<BYTE> blob(sizeof(BLOBHEADER) + sizeof(RSAPUBKEY));
  BLOBHEADER header = {PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, CALG_RSA_SIGN};
  RSAPUBKEY rsa = {0x31415352, key.modulus_size * 8, key.exponent};  // "RSA1"
  std::memcpy(blob.data(), &header, sizeof(header));
  std::memcpy(blob.data() + sizeof(header), &rsa, sizeof(rsa));
  blob.insert(blob.end(), key.modulus, key.modulus + key.modulus_size);
  std::reverse(blob.begin() + sizeof(header) + sizeof(rsa), blob.end());
  std::vector<BYTE> reversed(signature, signature + size);
  std::reverse(reversed.begin(), reversed.end());

  bool valid = false;
  HCRYPTKEY handle = 0;
  HCRYPTHASH hash = 0;
  if (api.import(provider, blob.data(), static_cast<DWORD>(blob.size()), 0, 0,
                 &handle)) {
    if (api.create_hash(provider, CALG_SHA_256, 0, 0, &hash)) {
      valid =
          api.set_hash(hash, HP_HASHVAL, digest, 0) != FALSE &&
          api.verify(hash, reversed.data(), size, handle, nullptr, 0) != FALSE;
      api.destroy_hash(hash);
    }
    api.destroy_key(handle);
  }
  api.release(provider, 0);
  return valid;
}

}  // namespace

bool VerifyWithCryptoApi(const PublisherKey& key, const std::uint8_t* digest,
                         const std::uint8_t* signature, std::uint32_t size) {
  CryptoApi api(L"cryptsp.dll");
  if (!api.Complete()) api = CryptoApi(L"advapi32.dll");
  return api.Complete() && VerifyWithApi(api, key, digest, signature, size);
}

namespace {

class WindowsSignatureServices : public SignatureServices {
 public:
  bool VerifySignature(const PublisherKey& key, const std::uint8_t* digest,
                       const std::uint8_t* signature,
                       std::uint32_t size) override;
};

bool WindowsSignatureServices::VerifySignature(const PublisherKey& key,
                                               const std::uint8_t* digest,
                                               const std::uint8_t* signature,
                                               std::uint32_t size) {
  if (size != key.modulus_size) return false;
  switch (VerifyWithCng(key, digest, signature, size)) {
    case Verdict::Valid:
      return true;
    case Verdict::Invalid:
      return false;
    case Verdict::Unavailable:
      break;
  }
  return VerifyWithCryptoApi(key, digest, signature, size);
}

}  // namespace

}  // namespace windows

std::unique_ptr<SignatureServices> CreateWindowsSignatureServices() {
  return std::unique_ptr<SignatureServices>(
      new windows::WindowsSignatureServices());
}
