#include "report/install_results.h"

#include <cstdlib>
#include <vector>

namespace {

// UTF-16 little-endian text (with its byte order mark) read as its ASCII
// part: what a setup.log holds of interest is ASCII.
std::string Narrowed(const std::string& content) {
  if (content.size() < 2 || static_cast<unsigned char>(content[0]) != 0xFF ||
      static_cast<unsigned char>(content[1]) != 0xFE) {
    return content;
  }
  std::string text;
  for (std::size_t at = 2; at + 1 < content.size(); at += 2) {
    if (content[at + 1] == '\0') text.push_back(content[at]);
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

bool NoCaseEqual(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
  }
  return i == a.size() && b[i] == '\0';
}

std::string ReadWhole(PlatformServices& platform, Handle file, bool* ok) {
  std::string content;
  std::vector<char> chunk(4096);
  for (;;) {
    std::uint32_t read = 0;
    if (!platform.ReadFile(file, chunk.data(),
                           static_cast<std::uint32_t>(chunk.size()), &read)) {
      *ok = false;
      return content;
    }
    if (read == 0) break;
    content.append(chunk.data(), read);
  }
  *ok = true;
  return content;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

}  // namespace

bool ParseResultCode(const std::string& content, long* code) {
  std::string text = Narrowed(content);
  bool in_result = false;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = Trimmed(text.substr(begin, end - begin));
    begin = end + 1;
    if (!line.empty() && line[0] == '[') {
      in_result = NoCaseEqual(line, "[ResponseResult]");
      continue;
    }
    std::size_t equals = line.find('=');
    if (!in_result || equals == std::string::npos ||
        !NoCaseEqual(Trimmed(line.substr(0, equals)), "ResultCode")) {
      continue;
    }
    std::string value = Trimmed(line.substr(equals + 1));
    char* after = nullptr;
    long parsed = std::strtol(value.c_str(), &after, 10);
    if (value.empty() || *after != '\0') return false;
    *code = parsed;
    return true;
  }
  return false;
}

SetupLog ReadSetupLog(PlatformServices& platform, ReportServices& report,
                      const std::string& path) {
  SetupLog result;
  Handle file = 0;
  if (!platform.CreateFileA(path.c_str(), false, &file)) return result;
  // Judged while held: nobody can change it between the checks and the
  // read.
  result.content = ReadWhole(platform, file, &result.found);
  FileSecurity own;
  FileSecurity folder;
  result.trusted = result.found &&
                   report.GetFileSecurityA(path.c_str(), &own) && !own.folder &&
                   !own.link && own.names == 1 && !own.others_can_write &&
                   report.GetFileSecurityA(FolderOf(path).c_str(), &folder) &&
                   IsSafeFolder(folder);
  platform.CloseHandle(file);
  result.has_code = ParseResultCode(result.content, &result.code);
  return result;
}

bool ClearStaleSetupLog(PlatformServices& platform, ReportServices& report,
                        RunLog& log, const std::string& path) {
  if (platform.GetFileAttributesA(path.c_str()) == kInvalidFileAttributes) {
    return true;
  }
  SetupLog stale = ReadSetupLog(platform, report, path);
  log.Warning("A setup.log of an earlier run is there, deleted: " + path);
  log.CopyText("earlier setup.log", stale.content);
  platform.SetFileAttributesA(path.c_str(), kAttributeNormal);
  platform.DeleteFileA(path.c_str());
  if (platform.GetFileAttributesA(path.c_str()) == kInvalidFileAttributes) {
    return true;
  }
  log.Error("The earlier setup.log could not be deleted: " + path);
  return false;
}

int JudgeSetupLog(PlatformServices& platform, ReportServices& report,
                  RunLog& log, const std::string& label,
                  const std::string& path) {
  SetupLog setup_log = ReadSetupLog(platform, report, path);
  if (!setup_log.found) {
    log.Error(label + ": no setup.log at " + path);
    return kExitNoResult;
  }
  log.CopyText(label + " setup.log", setup_log.content);
  if (!setup_log.trusted) {
    log.Error(label +
              ": setup.log not taken, other accounts can change it "
              "or its folder, or it is a link: " +
              path);
    return kExitNoResult;
  }
  if (!setup_log.has_code) {
    log.Error(label + ": setup.log holds no ResultCode: " + path);
    return kExitNoResult;
  }
  log.Write(setup_log.code == 0 ? LogType::Information : LogType::Error,
            label + ": setup.log ResultCode=" + std::to_string(setup_log.code));
  return setup_log.code == 0 ? kExitSuccess : kExitResultCode;
}
