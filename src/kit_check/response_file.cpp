// The response files' checks. A response file is an INI-style text:
// "[section]" lines, "key=value" lines, ";" comments; keys and section
// names compare without regard to case, and CRLF or LF line ends, blanks
// around "=" and a UTF-8 byte order mark are all accepted.
#include <algorithm>
#include <cctype>

#include "kit_check/kit_check.h"

namespace {

struct Entry {
  std::string section;  // lower case
  std::string key;      // lower case
  std::string value;    // as written, trimmed
};
struct ResponseFile {
  std::vector<std::string> sections;  // as written, in order
  std::vector<Entry> entries;
};

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return text;
}

ResponseFile Parse(const std::string& text) {
  ResponseFile file;
  std::string section;
  std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      file.sections.push_back(Trim(line.substr(1, line.size() - 2)));
      section = Lower(file.sections.back());
    } else if (std::size_t equals = line.find('=');
               equals != std::string::npos && line.front() != ';') {
      file.entries.push_back({section, Lower(Trim(line.substr(0, equals))),
                              Trim(line.substr(equals + 1))});
    }
  }
  return file;
}

bool Holds(const ResponseFile& file, const char* section, const char* key,
           const char* value) {
  return std::any_of(file.entries.begin(), file.entries.end(),
                     [&](const Entry& entry) {
                       return entry.section == section && entry.key == key &&
                              Lower(entry.value) == value;
                     });
}

// The product codes of the "[{GUID}-DlgOrder]" sections, as written.
std::vector<std::string> DialogOrderCodes(const ResponseFile& file) {
  const std::string suffix = "-dlgorder";
  std::vector<std::string> codes;
  for (const std::string& section : file.sections) {
    std::string lower = Lower(section);
    if (lower.size() > suffix.size() &&
        lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) ==
            0) {
      codes.push_back(section.substr(0, section.size() - suffix.size()));
    }
  }
  return codes;
}

void CheckDialogOrder(const ResponseFile& file, const std::string& product,
                      Findings* out) {
  std::vector<std::string> codes = DialogOrderCodes(file);
  if (codes.empty()) {
    out->push_back({Severity::Error, "uninstall.iss",
                    "no [" + product +
                        "-DlgOrder] section: it answers no uninstaller of "
                        "this product; record it again with the old "
                        "version's setup.exe -r -uninst"});
  }
  for (const std::string& code : codes) {
    if (Lower(code) == Lower(product)) continue;
    std::string text = "its dialog section [" + code;
    text += "-DlgOrder] is for another product than " + product;
    text +=
        "; record it from this product's old version, or give the "
        "right --product-code";
    out->push_back({Severity::Error, "uninstall.iss", text});
  }
}

// `text` is the file `name`; `product` is checked in uninstall.iss only.
void CheckResponseFile(const std::string& name, const std::string& text,
                       const std::string& product, Findings* out) {
  ResponseFile file = Parse(text);
  if (!Holds(file, "installshield silent", "file", "response file")) {
    out->push_back({Severity::Error, name,
                    "not a response file: no [InstallShield Silent] section "
                    "with File=Response File; record it with the "
                    "installer's -r mode"});
    return;
  }
  if (std::any_of(file.entries.begin(), file.entries.end(),
                  [](const Entry& entry) {
                    return entry.key == "bootoption" && entry.value == "3";
                  })) {
    out->push_back({Severity::Error, name,
                    "BootOption=3 restarts the machine during the silent "
                    "run; record it again answering not to restart, or set "
                    "BootOption=0"});
  }
  if (name == "uninstall.iss") CheckDialogOrder(file, product, out);
}

}  // namespace

void CheckResponseFiles(const KitContents& kit, const KitCheckOptions& options,
                        Findings* out) {
  if (kit.setup) {
    CheckResponseFile("setup.iss", *kit.setup, options.product_code, out);
  } else {
    out->push_back({Severity::Warning, "setup.iss",
                    "missing: a silent run names it to data.exe all the same "
                    "(and a pinned or signed kit refuses a silent elevated "
                    "run); record it with data.exe -r, unless the kit is "
                    "only ever run interactively"});
  }
  if (kit.uninstall) {
    CheckResponseFile("uninstall.iss", *kit.uninstall, options.product_code,
                      out);
  } else {
    out->push_back({Severity::Warning, "uninstall.iss",
                    "missing: the old version's uninstaller then runs "
                    "silently without answers (unless the machine holds "
                    "some), fails, and its maintenance folder is deleted all "
                    "the same; record it with the old version's setup.exe -r "
                    "-uninst, unless no older version is installed anywhere"});
  }
}
