#include "launcher/run_log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "launcher/product_code.h"

namespace {

constexpr char kLogsSoftware[] = "\\Logs\\Software";
constexpr char kLogName[] = "\\InstallerLauncher-" LAUNCHER_PRODUCT_CODE ".log";
constexpr char kResultName[] =
    "\\InstallerLauncher-" LAUNCHER_PRODUCT_CODE "-setup.log";
constexpr char kComponent[] = "InstallerLauncher";

// CMTrace reads "]LOG]!>" as the end of the message; a message that held it
// would hide the rest of its line.
std::string Printable(const std::string& message) {
  std::string text;
  for (char c : message) {
    text.push_back(c == '\r' || c == '\n' ? ' ' : c);
  }
  for (std::size_t at = text.find("]LOG]!>"); at != std::string::npos;
       at = text.find("]LOG]!>", at)) {
    text[at] = ')';
  }
  return text;
}

}  // namespace

std::string LogFolder(PlatformServices& platform) {
  char windows[kMaxPath] = {};
  std::uint32_t length =
      platform.GetSystemWindowsDirectoryA(windows, sizeof(windows));
  if (length == 0 || length >= sizeof(windows)) return "";
  return std::string(windows) + kLogsSoftware;
}

std::string LogFilePath(const std::string& folder) { return folder + kLogName; }

std::string NewInstallerResultPath(const std::string& folder) {
  return folder + kResultName;
}

std::string CmTraceLine(const std::string& message, LogType type,
                        const LocalTime& time, std::uint32_t thread) {
  char fields[200];
  int length = std::snprintf(
      fields, sizeof(fields),
      "<time=\"%02d:%02d:%02d.%03d%c%03d\" date=\"%02d-%02d-%04d\" "
      "component=\"%s\" context=\"\" type=\"%d\" thread=\"%lu\" "
      "file=\"\">\r\n",
      time.hour, time.minute, time.second, time.millisecond,
      time.bias < 0 ? '-' : '+', std::abs(time.bias), time.month, time.day,
      time.year, kComponent, static_cast<int>(type),
      static_cast<unsigned long>(thread));
  std::string line = "<![LOG[" + Printable(message) + "]LOG]!>";
  if (length > 0)
    line.append(fields, std::min<std::size_t>(length, sizeof(fields) - 1));
  return line;
}

bool IsSafeFolder(const FileSecurity& security) {
  return security.folder && !security.link && !security.others_can_write;
}

RunLog::~RunLog() {
  if (open_) platform_.CloseHandle(file_);
}

bool RunLog::Open() {
  std::string folder = LogFolder(platform_);
  if (folder.empty()) return false;
  // Made here, the folder is safe by its making; found, it must prove it.
  FileSecurity security;
  if (!platform_.CreateDirectoryA(folder.c_str()) &&
      (!platform_.GetFileSecurityA(folder.c_str(), &security) ||
       !IsSafeFolder(security))) {
    return false;
  }
  folder_ = folder;
  open_ = platform_.OpenAppendFileA(LogFilePath(folder).c_str(), &file_);
  return open_;
}

void RunLog::Write(LogType type, const std::string& message) {
  if (!open_) return;
  std::string line = CmTraceLine(message, type, platform_.GetLocalTime(),
                                 platform_.GetCurrentThreadId());
  platform_.WriteFile(file_, line.data(),
                      static_cast<std::uint32_t>(line.size()));
}

void RunLog::CopyText(const std::string& label, const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = std::min(text.find('\n', begin), text.size());
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string event = label;
    event.append(": ").append(line);
    Info(event);
    begin = end + 1;
  }
}
