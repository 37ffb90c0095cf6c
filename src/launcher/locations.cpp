#include "launcher/locations.h"

#include <algorithm>

#include "launcher/product_code.h"

namespace {

constexpr char kProbe[] = "Windows\\SysWOW64";
constexpr char kMaintenance32[] =
    "Program Files\\InstallShield Installation "
    "Information\\" LAUNCHER_PRODUCT_CODE;
constexpr char kMaintenance64[] =
    "Program Files (x86)\\InstallShield Installation "
    "Information\\" LAUNCHER_PRODUCT_CODE;
// In the global namespace, so that launchers in every session (a service's,
// each signed-in user's) meet the same one.
constexpr char kLauncherMutex[] =
    "Global\\InstallerLauncher-" LAUNCHER_PRODUCT_CODE;
constexpr char kLauncherMutexObject[] =
    "\\BaseNamedObjects\\InstallerLauncher-" LAUNCHER_PRODUCT_CODE;
// Each product has a private namespace of its own: a namespace lives only
// as long as the process that made it, and one shared with other products
// would let a launcher of this product make a fresh one, and run beside the
// first, once another product's launcher that made it had ended.
constexpr char kLauncherBoundary[] = "InstallerLauncher-" LAUNCHER_PRODUCT_CODE;
constexpr char kLauncherNamespaceAlias[] =
    "InstallerLauncher-" LAUNCHER_PRODUCT_CODE;
constexpr char kPrivateLauncherMutex[] =
    "InstallerLauncher-" LAUNCHER_PRODUCT_CODE
    "\\InstallerLauncher-" LAUNCHER_PRODUCT_CODE;
constexpr char kSeparator[] = "\\";
constexpr char kUninstallResponseName[] = "uninstall.iss";
constexpr char kUninstallResponseSuffix[] = "\\uninstall.iss";
constexpr char kUninstallProgramSuffix[] = "\\setup.exe";
constexpr char kUninstallArguments[] = " -s -uninst -f1\"";
constexpr char kInteractiveCommandLine[] = "data.exe";
constexpr char kNewInstallerSuffix[] = "\\data.exe";
constexpr char kSilentArguments[] = " -s -f1\"";
constexpr char kSilentResponseSuffix[] = "\\setup.iss";
constexpr char kClosingQuote[] = "\"";

// The product code is 38 characters; each literal keeps its documented
// length so a product code of the wrong shape cannot slip through.
static_assert(sizeof(kMaintenance32) - 1 == 91, "32-bit maintenance folder");
static_assert(sizeof(kMaintenance64) - 1 == 97, "64-bit maintenance folder");
static_assert(sizeof(kLauncherMutex) - 1 == 63, "launcher mutex");

// What the system directory query left in a zero-filled buffer, up to its
// first zero byte; `whole` tells whether the query reported a full path.
std::string SystemDirectory(PlatformServices& platform, bool* whole) {
  char directory[kMaxPath] = {};
  std::uint32_t length =
      platform.GetSystemDirectoryA(directory, sizeof(directory));
  if (whole != nullptr) *whole = length != 0 && length < sizeof(directory);
  return std::string(directory,
                     std::find(directory, directory + kMaxPath, '\0'));
}

}  // namespace

std::string SystemDriveRoot(PlatformServices& platform) {
  // Whatever the query reported: a buffer it left untouched gives "".
  return SystemDirectory(platform, nullptr).substr(0, 3);
}

std::string SystemFolder(PlatformServices& platform) {
  bool whole = false;
  std::string directory = SystemDirectory(platform, &whole);
  return whole ? directory : std::string();
}

std::string WindowsFolder(PlatformServices& platform) {
  char folder[kMaxPath] = {};
  std::uint32_t length =
      platform.GetSystemWindowsDirectoryA(folder, sizeof(folder));
  return length != 0 && length < sizeof(folder) ? std::string(folder)
                                                : std::string();
}

std::optional<std::string> LauncherFolder(PlatformServices& platform,
                                          std::string* module_name) {
  char module[kMaxPath] = {};
  std::uint32_t length = platform.GetModuleFileNameA(module, sizeof(module));
  if (length == 0 || length >= sizeof(module)) return std::nullopt;
  if (module_name != nullptr) *module_name = module;
  // Removing nothing means the name had no folder part to take.
  if (!platform.PathRemoveFileSpecA(module)) return std::nullopt;
  return std::string(module);
}

const char* LauncherMutexName() { return kLauncherMutex; }
const char* LauncherMutexObjectName() { return kLauncherMutexObject; }
const char* LauncherBoundaryName() { return kLauncherBoundary; }
const char* LauncherNamespaceAlias() { return kLauncherNamespaceAlias; }
const char* PrivateLauncherMutexName() { return kPrivateLauncherMutex; }

std::string ProbePath(const std::string& R) { return R + kProbe; }

std::string MaintenanceFolder(const std::string& R, bool is32Bit) {
  return R + (is32Bit ? kMaintenance32 : kMaintenance64);
}

std::string StagedSource(const std::string& L) {
  return L + kSeparator + kUninstallResponseName;
}

std::string StagedDestination(const std::string& M) {
  return M + kSeparator + kUninstallResponseName;
}

// M + "\setup.exe -s -uninst -f1"%s"" with %s the uninstall response path.
std::string UninstallCommandLine(const std::string& M) {
  return M + kUninstallProgramSuffix + kUninstallArguments + M +
         kUninstallResponseSuffix + kClosingQuote;
}

// L + "\data.exe -s -f1"%s"" with %s the silent response path.
std::string NewInstallerCommandLine(LaunchMode mode, const std::string& L) {
  if (mode == LaunchMode::Interactive) return kInteractiveCommandLine;
  return L + kNewInstallerSuffix + kSilentArguments + SilentResponsePath(L) +
         kClosingQuote;
}

std::string UninstallerPath(const std::string& M) {
  return M + kUninstallProgramSuffix;
}

std::string NewInstallerPath(const std::string& L) {
  return L + kNewInstallerSuffix;
}

std::string SilentResponsePath(const std::string& L) {
  return L + kSilentResponseSuffix;
}
