// The checks of the digests a kit carries: SHA256SUMS of an assembled
// pinned kit, and kit.manifest with its signature of a signed kit.
#include <algorithm>

#include "kit/sha256.h"
#include "kit_check/kit_check.h"
#include "kit_check/manifest_signature.h"
#include "signed_kit/kit_manifest.h"

namespace {

// A kit file's bytes by its name; null for a name that is no kit file.
const std::optional<std::string>* Named(const KitContents& kit,
                                        const std::string& name) {
  if (name == "data.exe") return &kit.data;
  if (name == "setup.iss") return &kit.setup;
  if (name == "uninstall.iss") return &kit.uninstall;
  if (name == "setup.exe") return &kit.launcher;
  if (name == "kit.manifest") return &kit.manifest;
  if (name == "kit.manifest.sig") return &kit.signature;
  return nullptr;
}

std::string HexOf(const std::string& bytes) {
  return Sha256Hex(Sha256Of(bytes.data(), bytes.size()));
}

void Add(Findings* out, const std::string& file, const std::string& text) {
  out->push_back({Severity::Error, file, text});
}

// A line of SHA256SUMS: "<64 lower-case hexadecimal digits>  <name>", the
// name without a path separator.
constexpr std::size_t kSumDigits = 64;
constexpr std::size_t kSumNameAt = kSumDigits + 2;
bool IsSumLine(const std::string& line) {
  return line.size() > kSumNameAt &&
         line.find_first_not_of("0123456789abcdef") == kSumDigits &&
         line.compare(kSumDigits, 2, "  ") == 0 &&
         line.find_first_of("/\\", kSumNameAt) == std::string::npos;
}

// The line `line` of SHA256SUMS, whose number is `number`; its name goes to
// `listed`.
void CheckSumLine(const KitContents& kit, const std::string& line, int number,
                  std::vector<std::string>* listed, Findings* out) {
  std::string where = "line " + std::to_string(number);
  if (!IsSumLine(line)) {
    Add(out, "SHA256SUMS",
        where +
            " is not \"<64 lower-case hexadecimal digits>  <name>\"; "
            "assemble the kit again (the kit target)");
    return;
  }
  std::string name = line.substr(kSumNameAt);
  listed->push_back(name);
  const std::optional<std::string>* bytes = Named(kit, name);
  if (bytes == nullptr || !*bytes) {
    Add(out, "SHA256SUMS",
        where + " names " + name +
            ", which the kit does not hold; assemble the kit again");
  } else if (HexOf(**bytes) != line.substr(0, kSumDigits)) {
    Add(out, name,
        "differs from its SHA-256 in SHA256SUMS; it changed after the kit "
        "was assembled: build and assemble the kit again");
  }
}

// The manifest's pins against the files, and the files it leaves out.
void CheckPins(const KitContents& kit, const KitManifest& manifest,
               Findings* out) {
  const KitFile files[] = {{manifest.pins.data, "data.exe"},
                           {manifest.pins.setup, "setup.iss"},
                           {manifest.pins.uninstall, "uninstall.iss"}};
  for (const KitFile& file : files) {
    const std::optional<std::string>& bytes = *Named(kit, file.name);
    if (!file.pin.pinned) {
      if (bytes) {
        Add(out, file.name,
            "not in kit.manifest: the launcher neither copies nor hands it "
            "over when elevated, and uses it unchecked otherwise; sign the "
            "kit again (tools/sign_kit.sh)");
      }
    } else if (!bytes) {
      Add(out, file.name,
          "missing, but kit.manifest lists it: the launcher refuses the kit; "
          "put it back or sign the kit again");
    } else if (bytes->size() != file.pin.size ||
               Sha256Of(bytes->data(), bytes->size()) != file.pin.digest) {
      Add(out, file.name,
          "its size or SHA-256 differs from kit.manifest: the launcher "
          "refuses the kit; sign the kit again once its files are final");
    }
  }
}

void CheckSignature(const KitContents& kit, const KitCheckOptions& options,
                    Findings* out) {
  if (options.public_keys.empty()) {
    out->push_back({Severity::Note, "kit.manifest.sig",
                    "not checked; give the publisher's public key with "
                    "--public-key to check it"});
    return;
  }
  if (!kit.signature) {
    Add(out, "kit.manifest.sig",
        "missing: the launcher refuses the kit; sign it with "
        "tools/sign_kit.sh");
    return;
  }
  bool verified = false;
  for (const PublicKeyFile& key : options.public_keys) {
    SignatureCheck check =
        CheckManifestSignature(key.pem, *kit.manifest, *kit.signature);
    verified = verified || check == SignatureCheck::Verified;
    if (check == SignatureCheck::NotAKey || check == SignatureCheck::NotRsa ||
        check == SignatureCheck::WrongSize) {
      Add(out, key.name,
          "not a 3072- or 4096-bit RSA public key (PEM), the only keys a "
          "launcher carries; give the public key the launcher was built "
          "with");
    }
  }
  if (!verified) {
    Add(out, "kit.manifest.sig",
        "no key given verifies it: the launcher refuses the kit; sign the "
        "kit again with the private key of a key the launcher trusts");
  }
}

}  // namespace

void CheckSums(const KitContents& kit, Findings* out) {
  if (!kit.sums) return;
  std::vector<std::string> listed;
  const std::string& text = *kit.sums;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    CheckSumLine(kit, text.substr(start, end - start), ++number, &listed, out);
    start = end + 1;
  }
  for (const char* name :
       {"data.exe", "setup.iss", "uninstall.iss", "setup.exe"}) {
    if (*Named(kit, name) &&
        std::find(listed.begin(), listed.end(), name) == listed.end()) {
      Add(out, name,
          "not listed in SHA256SUMS; assemble the kit again (the kit target)");
    }
  }
}

void CheckManifest(const KitContents& kit, const KitCheckOptions& options,
                   Findings* out) {
  if (!kit.manifest) {
    if (kit.signature) {
      Add(out, "kit.manifest",
          "missing beside kit.manifest.sig: a signed-kit launcher refuses "
          "the kit; sign it again with tools/sign_kit.sh");
    }
    return;
  }
  KitManifest manifest;
  if (!ParseKitManifest(*kit.manifest, &manifest)) {
    Add(out, "kit.manifest",
        "malformed (see docs/kits.md, the kit manifest): the launcher "
        "refuses the kit; write it again with tools/sign_kit.sh");
  } else {
    if (manifest.product_code != options.product_code) {
      Add(out, "kit.manifest",
          "its product " + manifest.product_code + " is not the launcher's " +
              options.product_code +
              ": the launcher refuses the kit; sign it with the product "
              "code the launcher was built with");
    }
    KitVersion lowest;
    if (!ParseKitVersion(options.min_version, &lowest)) {
      Add(out, "--min-version",
          options.min_version + " is no kit version (dotted numbers)");
    } else if (CompareKitVersions(manifest.version, lowest) < 0) {
      Add(out, "kit.manifest",
          "its version is below " + options.min_version +
              ", the lowest the launcher accepts: it refuses the kit; sign "
              "it again with a later version");
    }
    CheckPins(kit, manifest, out);
  }
  CheckSignature(kit, options, out);
}
