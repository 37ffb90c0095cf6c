// Every composition at every length of system directory and launcher folder
// up to the platform's limit: no overflow, and each value is exactly the
// plain concatenation.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/locations.h"
#include "platform/simulated/simulated_platform.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "wrong: %s\n", what);
    std::abort();
  }
}

// A path of exactly `length` characters: "C:\" and then the input's bytes
// as ASCII, which the code page carries exactly, with no further separator
// so that its folder part is known.
std::string MakePath(const unsigned char*& data, std::size_t& size,
                     std::size_t length) {
  std::string path = "C:\\";
  while (path.size() < length) {
    char c = 'x';
    if (size > 0) {
      c = static_cast<char>(*data++ & 0x7F);
      --size;
    }
    path += (c == '\\' || c == '\0' || c == '/') ? '_' : c;
  }
  return path.substr(0, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data,
                                      std::size_t size) {
  if (size < 2) return 0;
  std::size_t system_length = data[0] % 260;
  std::size_t folder_length = 3 + (data[1] * 7u) % 260;
  data += 2;
  size -= 2;
  SimulatedPlatform platform;
  platform.system_directory = MakePath(data, size, system_length);
  std::string folder = MakePath(data, size, folder_length);
  platform.module_file_name = folder + "\\l.exe";

  std::string R = SystemDriveRoot(platform);
  Require(R == platform.system_directory.substr(0, 3), "system drive root");
  std::optional<std::string> L = LauncherFolder(platform);
  Require(L.has_value() == (platform.module_file_name.size() < kMaxPath),
          "launcher folder known exactly when its name fits");
  if (!L) return 0;
  Require(*L == folder, "launcher folder");

  for (bool is32Bit : {true, false}) {
    std::string M = MaintenanceFolder(R, is32Bit);
    Require(M.size() == R.size() + (is32Bit ? 91 : 97), "maintenance folder");
    Require(UninstallCommandLine(M) ==
                M + "\\setup.exe -s -uninst -f1\"" + M + "\\uninstall.iss\"",
            "uninstall command line");
    Require(StagedDestination(M) == M + "\\uninstall.iss", "destination");
  }
  Require(StagedSource(*L) == *L + "\\uninstall.iss", "staged source");
  Require(NewInstallerCommandLine(LaunchMode::Silent, *L) ==
              *L + "\\data.exe -s -f1\"" + *L + "\\setup.iss\"",
          "silent command line");
  Require(NewInstallerCommandLine(LaunchMode::Interactive, *L) == "data.exe",
          "interactive command line");
  return 0;
}
