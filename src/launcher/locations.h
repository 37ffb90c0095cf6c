#ifndef LAUNCHER_LAUNCHER_LOCATIONS_H_
#define LAUNCHER_LAUNCHER_LOCATIONS_H_

#include <optional>
#include <string>

#include "platform/platform_services.h"

// Every folder, file, command line and object name the launcher uses, composed
// by plain concatenation from fixed strings, the system directory and the
// launcher's own file name. Values are composed whole, whatever their length: a
// value cut short would name another program or file. The platform call that
// receives a value accepts or refuses it.

enum class LaunchMode { Interactive, Silent };

// The first three characters of the system directory ("C:\"); shorter or
// empty when the query gives less, which makes the locations below relative.
std::string SystemDriveRoot(PlatformServices& platform);

// The whole system directory ("C:\Windows\system32"); empty when the query
// fails or gives no full path.
std::string SystemFolder(PlatformServices& platform);

// The shared Windows folder ("C:\Windows"); empty when the query fails or
// is cut short.
std::string WindowsFolder(PlatformServices& platform);

// The folder of the launcher's executable ("D:\Setup", or "E:\" at a root).
// Empty when the platform gives no module file name, only one cut short at
// its buffer (which would name another folder), or one without a folder.
// With `module`, the launcher's own file name goes there too.
std::optional<std::string> LauncherFolder(PlatformServices& platform,
                                          std::string* module = nullptr);

// The named mutex that lets one launcher run at a time:
// "Global\InstallerLauncher-" followed by the product code.
const char* LauncherMutexName();
// The kernel's own name of that mutex, where "Global\" leads:
// "\BaseNamedObjects\InstallerLauncher-" followed by the product code.
const char* LauncherMutexObjectName();

// The same claim where no ordinary user can reach it: the mutex
// "InstallerLauncher-" followed by the product code, inside the private
// namespace whose boundary is named by LauncherBoundaryName() and holds the
// Administrators SID, opened under the alias LauncherNamespaceAlias().
const char* LauncherBoundaryName();
const char* LauncherNamespaceAlias();
const char* PrivateLauncherMutexName();  // "<alias>\<mutex>"

// Pure compositions. R is the system drive root, M the maintenance folder,
// L the launcher folder.
std::string ProbePath(const std::string& R);
std::string MaintenanceFolder(const std::string& R, bool is32Bit);
std::string StagedSource(const std::string& L);
std::string StagedDestination(const std::string& M);
std::string UninstallCommandLine(const std::string& M);
std::string NewInstallerCommandLine(LaunchMode mode, const std::string& L);

// Full paths of the two child programs, given to the platform as the
// application name so that it never guesses the program from the head of a
// command line (a shorter head with spaces, or a "data.exe" elsewhere).
std::string UninstallerPath(const std::string& M);
std::string NewInstallerPath(const std::string& L);
// L + "\setup.iss", the response file the silent command line names.
std::string SilentResponsePath(const std::string& L);

#endif  // LAUNCHER_LAUNCHER_LOCATIONS_H_
