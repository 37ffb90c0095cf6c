// check_kit: reads a kit folder and prints what the kit checker finds, one
// line per finding and a summary line last; changes nothing.
//
//   check_kit [--product-code CODE] [--public-key FILE]...
//             [--min-version V] [--unsigned] KIT_DIR
//
// V is a signed-kit launcher's LAUNCHER_MIN_KIT_VERSION. --unsigned leaves
// kit.manifest and kit.manifest.sig out, for a kit about to be signed. Exit
// code: 0 when nothing is in error, 1 when something is, 2 for a bad command
// line or a key file that cannot be read.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "kit_check/kit_check.h"

namespace {

constexpr char kUsage[] =
    "usage: check_kit [--product-code CODE] [--public-key FILE]... "
    "[--min-version V] [--unsigned] KIT_DIR";

struct CommandLine {
  KitCheckOptions options;
  std::vector<std::string> key_paths;
  bool read_manifest = true;
  std::string kit;
};

bool ParseCommandLine(int argc, char** argv, CommandLine* line) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    bool has_value = i + 1 < argc;
    if (argument == "--product-code" && has_value) {
      line->options.product_code = argv[++i];
    } else if (argument == "--min-version" && has_value) {
      line->options.min_version = argv[++i];
    } else if (argument == "--public-key" && has_value) {
      line->key_paths.emplace_back(argv[++i]);
    } else if (argument == "--unsigned") {
      line->read_manifest = false;
    } else if (argument.rfind("--", 0) == 0 || !line->kit.empty()) {
      return false;
    } else {
      line->kit = argument;
    }
  }
  return !line->kit.empty();
}

// The whole file at `path`, or nothing when it is not a readable file.
std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in && !in.eof()) return std::nullopt;
  return bytes.str();
}

KitContents ReadKit(const std::filesystem::path& kit, bool read_manifest) {
  KitContents contents;
  contents.data = ReadWhole(kit / "data.exe");
  contents.setup = ReadWhole(kit / "setup.iss");
  contents.uninstall = ReadWhole(kit / "uninstall.iss");
  contents.launcher = ReadWhole(kit / "setup.exe");
  contents.sums = ReadWhole(kit / "SHA256SUMS");
  if (read_manifest) {
    contents.manifest = ReadWhole(kit / "kit.manifest");
    contents.signature = ReadWhole(kit / "kit.manifest.sig");
  }
  return contents;
}

int Count(const Findings& findings, Severity severity) {
  int count = 0;
  for (const Finding& finding : findings) {
    count += finding.severity == severity ? 1 : 0;
  }
  return count;
}

std::string Counted(int count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (!ParseCommandLine(argc, argv, &line)) {
    std::cerr << kUsage << "\n";
    return 2;
  }
  if (!std::filesystem::is_directory(line.kit)) {
    std::cerr << "check_kit: no folder " << line.kit << "\n" << kUsage << "\n";
    return 2;
  }
  for (const std::string& path : line.key_paths) {
    std::optional<std::string> pem = ReadWhole(path);
    if (!pem) {
      std::cerr << "check_kit: cannot read the public key " << path << "\n";
      return 2;
    }
    line.options.public_keys.push_back({path, *pem});
  }
  Findings findings =
      CheckKit(ReadKit(line.kit, line.read_manifest), line.options);
  for (const Finding& finding : findings) {
    std::cout << SeverityName(finding.severity) << ": " << finding.file << ": "
              << finding.text << "\n";
  }
  std::cout << line.kit << ": "
            << Counted(Count(findings, Severity::Error), "error") << ", "
            << Counted(Count(findings, Severity::Warning), "warning") << ", "
            << Counted(Count(findings, Severity::Note), "note") << "\n";
  return HasError(findings) ? 1 : 0;
}
