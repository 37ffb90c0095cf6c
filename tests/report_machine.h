// The machine the report build's tests run on: a kit in D:\Setup and,
// where asked, the old version, on the simulated platform.
#ifndef LAUNCHER_TESTS_REPORT_MACHINE_H_
#define LAUNCHER_TESTS_REPORT_MACHINE_H_

#include <algorithm>
#include <string>

#include "kit/kit_trust.h"
#include "maintenance_folders.h"
#include "platform/simulated/simulated_platform.h"
#include "report/report_launcher.h"

namespace report_test {

using Op = SimulatedPlatform::Op;

inline const std::string& kM = kMaintenance32;
inline const std::string kL = "D:\\Setup";
inline const std::string kData = kL + "\\data.exe";
inline const std::string kLogs = "C:\\Windows\\Logs\\Software";
inline const std::string kLog =
    kLogs + "\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}.log";
inline const std::string kResult =
    kLogs +
    "\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}-setup.log";
constexpr std::uint32_t kInstallerWaitMs = 60000;
inline const char kMutex[] =
    "Global\\InstallerLauncher-{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

inline std::string SetupLogText(const std::string& code) {
  return "[InstallShield Silent]\r\nVersion=v7.00\r\nFile=Log File\r\n"
         "[ResponseResult]\r\nResultCode=" +
         code + "\r\n";
}

// A machine with a kit in D:\Setup and, with `previous`, the old version's
// maintenance folder. The uninstaller and data.exe write the setup.log
// texts given ("" writes none); data.exe writes where -f2 tells it.
struct Machine {
  explicit Machine(bool previous, const std::string& uninstall_result = "0",
                   const std::string& install_result = "0") {
    p.command_line = "launcher /s";
    p.AddFile(kData, "MZ new installer");
    p.AddFile(kL + "\\setup.iss", "answers");
    p.AddFile(kL + "\\uninstall.iss", "uninstall answers");
    if (previous) p.AddFile(kM + "\\setup.exe", "MZ old uninstaller");
    p.programs[kM + "\\setup.exe"] = [this, uninstall_result] {
      if (!uninstall_result.empty()) {
        p.AddFile(kM + "\\setup.log", SetupLogText(uninstall_result));
      }
    };
    p.programs[kData] = [this, install_result] {
      auto self =
          std::find_if(p.processes().begin(), p.processes().end(),
                       [](const auto& proc) { return proc.image == kData; });
      const std::string& line = self->command_line;
      std::size_t f2 = line.find("-f2\"");
      if (install_result.empty() || f2 == std::string::npos) return;
      std::string path = line.substr(f2 + 4, line.find('"', f2 + 4) - f2 - 4);
      p.AddFile(path, SetupLogText(install_result));
    };
  }
  int Run(const KitPins& pins = KitPins(), std::uint32_t limit_ms = 0) {
    return ReportingLauncherMain(p, p, pins, limit_ms, kInstallerWaitMs);
  }
  // Started and let run: one ended while suspended never ran.
  bool Started(const std::string& image) const {
    return std::any_of(p.processes().begin(), p.processes().end(),
                       [&](const auto& proc) {
                         return proc.image == image && !proc.suspended;
                       });
  }
  std::string Log() const {
    const SimulatedPlatform::Node* log = p.Find(kLog);
    return log != nullptr ? log->content : "";
  }
  SimulatedPlatform p;
};

// One row per exit code of the table in the README.

}  // namespace report_test

#endif  // LAUNCHER_TESTS_REPORT_MACHINE_H_
