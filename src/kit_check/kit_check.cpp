#include "kit_check/kit_check.h"

#include <algorithm>

#include "kit_check/pe_image.h"

namespace {

std::string MachineName(std::uint16_t machine) {
  if (machine == kMachineX86) return "a 32-bit x86 program";
  if (machine == kMachineX64) return "a 64-bit x64 program";
  static const char kDigits[] = "0123456789abcdef";
  std::string hex = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) {
    hex += kDigits[(machine >> shift) & 15];
  }
  return "a program for machine " + hex;
}

void Add(Findings* out, Severity severity, const std::string& text) {
  out->push_back({severity, "data.exe", text});
}

}  // namespace

const char* SeverityName(Severity severity) {
  static const char* const kNames[] = {"error", "warning", "note"};
  return kNames[static_cast<int>(severity)];
}

bool HasError(const Findings& findings) {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
    return f.severity == Severity::Error;
  });
}

// data.exe must be a whole Windows program that 32-bit Windows can start
// (the launcher is a 32-bit program for either Windows), and not the
// launcher itself.
void CheckInstaller(const KitContents& kit, Findings* out) {
  if (!kit.data) {
    Add(out, Severity::Error,
        "missing: the launcher would remove the old version and install "
        "nothing; put the new installer in the kit as data.exe");
    return;
  }
  if (kit.data->empty()) {
    Add(out, Severity::Error,
        "empty: Windows cannot start it, so nothing is installed; copy the "
        "installer in again");
    return;
  }
  if (kit.launcher && *kit.launcher == *kit.data) {
    Add(out, Severity::Error,
        "a copy of the launcher (setup.exe): the launcher refuses to start "
        "itself; put the product's installer in its place");
  }
  PeImage image = ReadPeImage(*kit.data);
  if (!image.not_a_program.empty()) {
    Add(out, Severity::Error,
        "not a Windows program: " + image.not_a_program +
            "; put the product's installer (an .exe) in its place");
    return;
  }
  if (image.machine != kMachineX86 && image.machine != kMachineX64) {
    Add(out, Severity::Error,
        MachineName(image.machine) +
            ", neither x86 nor x64: Windows on a PC cannot start it; use the "
            "installer built for x86");
  } else if (image.machine == kMachineX64) {
    Add(out, Severity::Warning,
        "a 64-bit program: it cannot start on 32-bit Windows, where the "
        "launcher then installs nothing; ship an x86 installer if the kit "
        "may run there");
  }
  if (!image.truncated.empty()) {
    Add(out, Severity::Error,
        "truncated: " + image.truncated +
            " reaches past the file's end; copy the installer in again, "
            "whole");
    return;
  }
  Add(out, Severity::Note,
      MachineName(image.machine) + "; needs Windows " +
          std::to_string(image.major_version) + "." +
          std::to_string(image.minor_version) + " or later");
}

Findings CheckKit(const KitContents& kit, const KitCheckOptions& options) {
  Findings findings;
  CheckInstaller(kit, &findings);
  CheckResponseFiles(kit, options, &findings);
  CheckSums(kit, &findings);
  CheckManifest(kit, options, &findings);
  return findings;
}
