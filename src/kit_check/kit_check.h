#ifndef LAUNCHER_KIT_CHECK_KIT_CHECK_H_
#define LAUNCHER_KIT_CHECK_KIT_CHECK_H_

#include <optional>
#include <string>
#include <vector>

// The kit checker: what would make a kit folder fail, or do harm, when the
// launcher runs it, judged from the bytes of its files alone. It changes
// nothing and reads no file itself (check_kit_main.cpp does).

// The files of a kit folder, each absent or exactly its bytes.
struct KitContents {
  std::optional<std::string> data;       // data.exe
  std::optional<std::string> setup;      // setup.iss
  std::optional<std::string> uninstall;  // uninstall.iss
  std::optional<std::string> launcher;   // setup.exe
  std::optional<std::string> sums;       // SHA256SUMS
  std::optional<std::string> manifest;   // kit.manifest
  std::optional<std::string> signature;  // kit.manifest.sig
};

// A public key given to check kit.manifest.sig: its file's name, as
// findings name it, and its text (PEM).
struct PublicKeyFile {
  std::string name;
  std::string pem;
};

struct KitCheckOptions {
  // The launcher's LAUNCHER_PRODUCT_CODE.
  std::string product_code = "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";
  // None: the signature is not checked (a note says so).
  std::vector<PublicKeyFile> public_keys;
  // A signed-kit launcher's LAUNCHER_MIN_KIT_VERSION.
  std::string min_version = "0";
};

enum class Severity { Error, Warning, Note };

// One thing found: the file it is about, and a text that says what is
// wrong and, after "; ", what to do about it.
struct Finding {
  Severity severity;
  std::string file;
  std::string text;
};
using Findings = std::vector<Finding>;

// Every finding about `kit`, file by file: data.exe, the response files,
// SHA256SUMS, kit.manifest and its signature. An Error means the kit must
// not ship as it is.
Findings CheckKit(const KitContents& kit, const KitCheckOptions& options);

const char* SeverityName(Severity severity);  // "error", "warning", "note"
bool HasError(const Findings& findings);

// The checks of each file, in kit_check.cpp, response_file.cpp and
// kit_digests.cpp; each appends to `out`.
void CheckInstaller(const KitContents& kit, Findings* out);
void CheckResponseFiles(const KitContents& kit, const KitCheckOptions& options,
                        Findings* out);
void CheckSums(const KitContents& kit, Findings* out);
void CheckManifest(const KitContents& kit, const KitCheckOptions& options,
                   Findings* out);

#endif  // LAUNCHER_KIT_CHECK_KIT_CHECK_H_
