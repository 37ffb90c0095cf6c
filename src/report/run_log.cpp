#include "report/run_log.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "launcher/locations.h"
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

// Appends `value` in decimal, with leading zeros up to `width` digits. The
// printf family would bring the toolchain's own formatting code, floating
// point and all, into a program that otherwise has none of it.
void AppendNumber(std::string* text, std::uint32_t value, std::size_t width) {
  char digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (; count < width; --width) *text += '0';
  while (count != 0) *text += digits[--count];
}

// Appends each of `values` with `width` digits, `separator` between them.
void AppendJoined(std::string* text, std::initializer_list<int> values,
                  std::size_t width, char separator) {
  for (const int* value = values.begin(); value != values.end(); ++value) {
    if (value != values.begin()) *text += separator;
    AppendNumber(text, static_cast<std::uint32_t>(*value), width);
  }
}

}  // namespace

std::string LogFolder(PlatformServices& platform) {
  std::string windows = WindowsFolder(platform);
  return windows.empty() ? windows : windows + kLogsSoftware;
}

std::string LogFilePath(const std::string& folder) { return folder + kLogName; }

std::string NewInstallerResultPath(const std::string& folder) {
  return folder + kResultName;
}

std::string CmTraceLine(const std::string& message, LogType type,
                        const LocalTime& time, std::uint32_t thread) {
  std::string line = "<![LOG[" + Printable(message) + "]LOG]!><time=\"";
  AppendJoined(&line, {time.hour, time.minute, time.second}, 2, ':');
  line += '.';
  AppendNumber(&line, time.millisecond, 3);
  line += time.bias < 0 ? '-' : '+';
  AppendNumber(&line, static_cast<std::uint32_t>(std::abs(time.bias)), 3);
  line += "\" date=\"";
  AppendJoined(&line, {time.month, time.day}, 2, '-');
  line += '-';
  AppendNumber(&line, time.year, 4);
  line += "\" component=\"";
  line += kComponent;
  line += "\" context=\"\" type=\"";
  AppendNumber(&line, static_cast<std::uint32_t>(type), 1);
  line += "\" thread=\"";
  AppendNumber(&line, thread, 1);
  line += "\" file=\"\">\r\n";
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
  if (platform_.CreateDirectoryA(folder.c_str()) != FolderResult::Created &&
      (!report_.GetFileSecurityA(folder.c_str(), &security) ||
       !IsSafeFolder(security))) {
    return false;
  }
  folder_ = folder;
  open_ = report_.OpenAppendFileA(LogFilePath(folder).c_str(), &file_);
  return open_;
}

void RunLog::Write(LogType type, const std::string& message) {
  if (!open_) return;
  std::string line = CmTraceLine(message, type, report_.GetLocalTime(),
                                 report_.GetCurrentThreadId());
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
