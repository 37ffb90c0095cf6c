// A stand-in for the programs the launcher starts (the new installer, the
// previous version's uninstaller) and for programs planted where a wrong
// start would find them. Copied into place under whatever name the role
// needs; every copy behaves the same:
//
//   * On start it appends one "start" record to the log named by the
//     environment variable STANDIN_LOG (a Windows path): the time, its
//     process id, its module file name (exactly, as UTF-8), its command line
//     exactly as GetCommandLineA gives it, its current folder, and the bytes
//     of the uninstall.iss in its own folder as hexadecimal ("-" when there
//     is none).
//   * When "<own path>.attack" exists, holding a Windows path P, it tries in
//     turn to write into P, rename it to "P.moved", delete it, rename its
//     folder to "<folder>.moved" and copy the .attack file over it (bytes
//     that differ from any stand-in's), each with the plain call, and
//     appends one "attack" record whose last field is
//     "write=E rename=E delete=E folder=E copy=E": E the call's last error,
//     or "ok". A rename that succeeded is undone.
//   * When "<own path>.load" exists, holding DLL names between blanks, it
//     loads each by that name (LoadLibraryA, the plain search) and appends
//     one "load" record whose last field is "NAME=E ...": E the call's last
//     error, or "ok".
//   * When "<own path>.hold" exists, holding a Windows path P, it opens P
//     for writing, sharing reading only, as a scanner would, and keeps it
//     open until it ends.
//   * When "<own path>.child" exists, holding a Windows path, it starts that
//     program (with no arguments) and does not wait for it.
//   * When "<own path>.result" exists, holding a ResultCode, it writes an
//     InstallShield setup.log with it: where -f2"<path>" in its command line
//     says, else beside the response file of -f1"<path>".
//   * When "<own path>.sleep" exists, it sleeps that many milliseconds.
//   * When its command line names a response file (-f1"<path>"), it appends
//     an "answers" record whose last field is that file's bytes as
//     hexadecimal ("-" when it cannot be read), read after the sleep.
//   * It appends an "end" record and exits with the code in
//     "<own path>.exitcode" (0 without the file).
//
// A copy started from a folder nobody prepared (a kit cache of a random
// name) finds its ".load", ".sleep" and ".exitcode" files as
// "<folder>\<own name>.load" and so on, <folder> named by the environment
// variable STANDIN_CONTROL, when none lies beside it.
//
// Records are single lines of tab-separated fields; the log is opened
// exclusively for each append, so lines of concurrent processes never mix
// and their order is the order of the appends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

// The module's own name through the wide call: the ANSI one would give a
// best-fit rendering, which may name another program's place.
std::wstring ModulePath() {
  wchar_t buffer[MAX_PATH * 4] = {};
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  return std::wstring(buffer, length);
}

std::string Utf8(const std::wstring& text) {
  char buffer[MAX_PATH * 16] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer),
                      nullptr, nullptr);
  return buffer;
}

std::wstring FolderOf(const std::wstring& path) {
  std::wstring::size_type slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The whole content of `path`, or false when it cannot be read.
bool ReadWhole(const std::wstring& path, std::string* content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content->clear();
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    content->append(chunk, got);
  }
  CloseHandle(file);
  return true;
}

// A small decimal number from the file `path`, or `fallback` without one.
long NumberFrom(const std::wstring& path, long fallback) {
  std::string text;
  if (!ReadWhole(path, &text)) return fallback;
  return std::strtol(text.c_str(), nullptr, 10);
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
  }
  return out;
}

// 100-nanosecond units since 1601, the system clock every process shares.
unsigned long long Now() {
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
         time.dwLowDateTime;
}

bool Append(const std::string& log, const std::string& line) {
  // Exclusive opens serialise writers; another writer holds the file only
  // for the moment of its own append.
  for (int attempt = 0; attempt < 2000; ++attempt) {
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()),
                          &written, nullptr);
      CloseHandle(file);
      return ok && written == line.size();
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
    Sleep(5);
  }
  return false;
}

std::string Record(const char* kind, const std::string& module) {
  char head[96];
  std::snprintf(head, sizeof(head), "%s\t%llu\t%lu\t", kind, Now(),
                static_cast<unsigned long>(GetCurrentProcessId()));
  return head + module;
}

std::string Outcome(const char* step, bool ok) {
  return std::string(step) + "=" + (ok ? "ok" : std::to_string(GetLastError()));
}

// Renames `from` to `to` and, when that worked, back again.
bool MovedAndBack(const std::wstring& from, const std::wstring& to) {
  if (!MoveFileW(from.c_str(), to.c_str())) return false;
  MoveFileW(to.c_str(), from.c_str());
  return true;
}

// The outcomes of the attacks on `target` (see the top of the file).
std::string Attack(const std::wstring& source, const std::wstring& target) {
  HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  std::string out = Outcome(
      "write", file != INVALID_HANDLE_VALUE &&
                   WriteFile(file, "attack", 6, &written, nullptr) != FALSE);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  out += " " + Outcome("rename", MovedAndBack(target, target + L".moved"));
  out += " " + Outcome("delete", DeleteFileW(target.c_str()) != FALSE);
  std::wstring folder = FolderOf(target);
  out += " " + Outcome("folder", MovedAndBack(folder, folder + L".moved"));
  out += " " + Outcome("copy", CopyFileW(source.c_str(), target.c_str(),
                                         FALSE) != FALSE);
  return out;
}

// The quoted value after `option` ("-f1", "-f2") in `line`; "" without one.
std::string QuotedOption(const std::string& line, const std::string& option) {
  std::string::size_type at = line.find(option + "\"");
  if (at == std::string::npos) return "";
  at += option.size() + 1;
  std::string::size_type end = line.find('"', at);
  return end == std::string::npos ? "" : line.substr(at, end - at);
}

// The setup.log an InstallShield setup writes in silent mode.
bool WriteSetupLog(const std::string& command_line, const std::string& code) {
  std::string path = QuotedOption(command_line, "-f2");
  if (path.empty()) {
    std::string response = QuotedOption(command_line, "-f1");
    std::string::size_type slash = response.find_last_of('\\');
    if (slash == std::string::npos) return false;
    path = response.substr(0, slash) + "\\setup.log";
  }
  std::string text =
      "[InstallShield Silent]\r\nVersion=v7.00\r\n"
      "File=Log File\r\n[ResponseResult]\r\nResultCode=" +
      code + "\r\n";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()),
                      &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

// Starts `program` and lets it run on its own.
bool StartChild(const std::string& program) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string line = "\"" + program + "\"";
  if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

std::string FirstLine(std::string text) {
  text.erase(text.find_last_not_of("\r\n") + 1);
  return text;
}

// "<own path><suffix>", or the one in the STANDIN_CONTROL folder when that
// is absent.
std::wstring Control(const std::wstring& module, const wchar_t* suffix) {
  std::wstring beside = module + suffix;
  wchar_t folder[MAX_PATH] = {};
  if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES ||
      GetEnvironmentVariableW(L"STANDIN_CONTROL", folder, MAX_PATH) == 0) {
    return beside;
  }
  return std::wstring(folder) + L"\\" +
         module.substr(module.find_last_of(L'\\') + 1) + suffix;
}

// The file after -f1 in `line`, quoted; empty without one.
std::wstring ResponseFile(const std::string& line) {
  std::string path = QuotedOption(line, "-f1");
  wchar_t wide[MAX_PATH * 4] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 4);
  return path.empty() ? L"" : wide;
}

}  // namespace

int main() {
  char log[MAX_PATH * 4] = {};
  DWORD log_length = GetEnvironmentVariableA("STANDIN_LOG", log, sizeof(log));
  if (log_length == 0 || log_length >= sizeof(log)) return 90;

  std::wstring module = ModulePath();
  const char* command_line = GetCommandLineA();
  char current[MAX_PATH * 4] = {};
  GetCurrentDirectoryA(sizeof(current), current);
  std::string response;
  std::string response_field =
      ReadWhole(FolderOf(module) + L"\\uninstall.iss", &response)
          ? Hex(response)
          : "-";

  std::string start = Record("start", Utf8(module)) + "\t" +
                      (command_line != nullptr ? command_line : "") + "\t" +
                      current + "\t" + response_field + "\n";
  if (!Append(log, start)) return 91;

  std::wstring attack = module + L".attack";
  std::string target;
  if (ReadWhole(attack, &target)) {
    target.erase(target.find_last_not_of("\r\n") + 1);
    wchar_t wide[MAX_PATH * 4] = {};
    MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide, MAX_PATH * 4);
    if (!Append(log, Record("attack", Utf8(module)) + "\t" +
                         Attack(attack, wide) + "\n")) {
      return 93;
    }
  }

  std::string names;
  if (ReadWhole(Control(module, L".load"), &names)) {
    std::istringstream list(names);
    std::string outcomes;
    for (std::string name; list >> name;) {
      outcomes += (outcomes.empty() ? "" : " ") +
                  Outcome(name.c_str(), LoadLibraryA(name.c_str()) != nullptr);
    }
    if (!Append(log, Record("load", Utf8(module)) + "\t" + outcomes + "\n")) {
      return 94;
    }
  }

  std::string child;
  if (ReadWhole(Control(module, L".child"), &child) &&
      !StartChild(FirstLine(child))) {
    return 95;
  }
  std::string result;
  if (ReadWhole(Control(module, L".result"), &result) &&
      !WriteSetupLog(command_line != nullptr ? command_line : "",
                     FirstLine(result))) {
    return 96;
  }

  std::string held;
  if (ReadWhole(module + L".hold", &held)) {
    CreateFileA(FirstLine(held).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  long sleep_ms = NumberFrom(Control(module, L".sleep"), 0);
  if (sleep_ms > 0) Sleep(static_cast<DWORD>(sleep_ms));

  std::wstring answers =
      ResponseFile(command_line != nullptr ? command_line : "");
  if (!answers.empty()) {
    std::string bytes;
    std::string field = ReadWhole(answers, &bytes) ? Hex(bytes) : "-";
    if (!Append(log, Record("answers", Utf8(module)) + "\t" + field + "\n")) {
      return 97;
    }
  }

  if (!Append(log, Record("end", Utf8(module)) + "\n")) return 92;
  return static_cast<int>(NumberFrom(Control(module, L".exitcode"), 0));
}
