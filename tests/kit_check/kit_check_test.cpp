#include "kit_check/kit_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include <openssl/rsa.h>

#include "kit/sha256.h"
#include "platform/signature_services.h"
#include "test_keys.h"

namespace {

const std::string kCode = "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}";

void Put(std::string* image, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    (*image)[at + i] = static_cast<char>(value >> (8 * i));
}

// A Windows program with one section of 16 bytes: the header fields the
// checker reads (e_lfanew 0x40), all else zero.
std::string Pe(std::uint16_t machine = 0x14c, std::uint16_t magic = 0x10b) {
  std::string image(0x210, '\0');
  image.replace(0, 2, "MZ");
  Put(&image, 0x3c, 0x40, 4);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  Put(&image, 0x44, machine, 2);
  Put(&image, 0x46, 1, 2);     // one section
  Put(&image, 0x54, 0xe0, 2);  // SizeOfOptionalHeader
  Put(&image, 0x58, magic, 2);
  Put(&image, 0x58 + 48, 6, 2);  // Windows 6.1
  Put(&image, 0x58 + 50, 1, 2);
  Put(&image, 0x58 + 60, 0x200, 4);  // SizeOfHeaders
  image.replace(0x138, 5, ".text");
  Put(&image, 0x138 + 16, 16, 4);
  Put(&image, 0x138 + 20, 0x200, 4);
  return image;
}

std::string Hex(const std::string& bytes) {
  return Sha256Hex(Sha256Of(bytes.data(), bytes.size()));
}

std::string Response(const std::string& more = "") {
  return "\xEF\xBB\xBF[InstallShield Silent]\r\nVersion=v7.00\r\n"
         "file\t=\tResponse File\r\n" +
         more;
}

// The public half of a fresh 2048-bit RSA key, in PEM.
std::string ShortKey() {
  EVP_PKEY* key = EVP_RSA_gen(2048);
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PUBKEY(bio, key);
  char* text = nullptr;
  long size = BIO_get_mem_data(bio, &text);
  std::string pem(text, size);
  BIO_free(bio);
  EVP_PKEY_free(key);
  return pem;
}

// A pinned and signed kit that passes every check.
struct Kit {
  KitContents files;
  KitCheckOptions options;
  Kit() {
    files.data = Pe();
    files.setup = Response();
    files.uninstall =
        Response("[{7a3c19e4-52d8-4b6f-9e07-c1d2b3a48f65}-DlgOrder]\n");
    files.launcher = "the launcher";
    files.sums = "";
    std::string manifest =
        "installer-launcher-kit 1\nproduct " + kCode + "\nversion 1.0\n";
    for (auto [name, bytes] : {std::pair{"data.exe", files.data},
                               {"setup.iss", files.setup},
                               {"uninstall.iss", files.uninstall},
                               {"setup.exe", files.launcher}}) {
      *files.sums += Hex(*bytes) + "  " + name + "\n";
      if (name != std::string("setup.exe")) {
        manifest += "file " + Hex(*bytes) + " " +
                    std::to_string(bytes->size()) + " " + name + "\n";
      }
    }
    files.manifest = manifest;
    files.signature = TestKey("publisher").Sign(manifest);
    options.public_keys = {
        {"publisher.pub.pem", KeyText("publisher.pem.pub.pem")}};
  }
  static std::string KeyText(const std::string& name) {
    std::ifstream in(std::string(LAUNCHER_TEST_KEYS) + "/" + name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST(KitCheckTest, ACleanKitHasNoErrorNorWarning) {
  Kit kit;
  for (const Finding& finding : CheckKit(kit.files, kit.options)) {
    EXPECT_EQ(finding.severity, Severity::Note)
        << finding.file << ": " << finding.text;
  }
}

TEST(KitCheckTest, EachFaultIsFound) {
  struct Case {
    const char* what;
    std::function<void(Kit&)> change;
    Severity severity;
    const char* file;
    const char* text;
  };
  const Case cases[] = {
      {"data.exe missing", [](Kit& k) { k.files.data.reset(); },
       Severity::Error, "data.exe", "missing"},
      {"data.exe empty", [](Kit& k) { k.files.data = ""; }, Severity::Error,
       "data.exe", "empty"},
      {"no MZ", [](Kit& k) { k.files.data->replace(0, 2, "ZM"); },
       Severity::Error, "data.exe", "not start with an MZ"},
      {"a short text", [](Kit& k) { k.files.data = "MZ a new installer"; },
       Severity::Error, "data.exe", "too short"},
      {"e_lfanew past the end",
       [](Kit& k) { Put(&*k.files.data, 0x3c, 0x10000, 4); }, Severity::Error,
       "data.exe", "past the file's end"},
      {"no PE signature", [](Kit& k) { (*k.files.data)[0x41] = 'X'; },
       Severity::Error, "data.exe", "no PE signature"},
      {"bad magic", [](Kit& k) { k.files.data = Pe(0x14c, 0x107); },
       Severity::Error, "data.exe", "magic"},
      {"ARM", [](Kit& k) { k.files.data = Pe(0x1c4); }, Severity::Error,
       "data.exe", "0x01c4, neither"},
      {"x64", [](Kit& k) { k.files.data = Pe(0x8664, 0x20b); },
       Severity::Warning, "data.exe", "cannot start on 32-bit"},
      {"a section cut", [](Kit& k) { k.files.data->pop_back(); },
       Severity::Error, "data.exe", "section 1 (.text) reaches"},
      {"headers cut", [](Kit& k) { k.files.data->resize(0x140); },
       Severity::Error, "data.exe", "truncated: its headers"},
      {"the Windows it needs", [](Kit&) {}, Severity::Note, "data.exe",
       "x86 program; needs Windows 6.1 or later"},
      {"a copy of the launcher",
       [](Kit& k) { k.files.launcher = k.files.data; }, Severity::Error,
       "data.exe", "copy of the launcher"},
      {"File= another value",
       [](Kit& k) {
         k.files.uninstall->replace(k.files.uninstall->find("Response"), 13,
                                    "Log File");
       },
       Severity::Error, "uninstall.iss", "not a response file"},
      {"a restart in setup.iss",
       [](Kit& k) { *k.files.setup += "[Dlg]\r\nBootOption = 3\r\n"; },
       Severity::Error, "setup.iss", "BootOption=3"},
      {"another product's dialogs",
       [](Kit& k) {
         *k.files.uninstall +=
             "[{00000000-0000-0000-0000-000000000000}-DlgOrder]\n";
       },
       Severity::Error, "uninstall.iss", "another product"},
      {"no dialogs", [](Kit& k) { k.files.uninstall = Response(); },
       Severity::Error, "uninstall.iss", "no [{7A3C19E4"},
      {"setup.iss missing", [](Kit& k) { k.files.setup.reset(); },
       Severity::Warning, "setup.iss", "missing"},
      {"uninstall.iss missing", [](Kit& k) { k.files.uninstall.reset(); },
       Severity::Warning, "uninstall.iss", "missing"},
      {"a malformed sum", [](Kit& k) { (*k.files.sums)[0] = 'A'; },
       Severity::Error, "SHA256SUMS", "line 1 is not"},
      {"a file changed since", [](Kit& k) { k.files.launcher = "another"; },
       Severity::Error, "setup.exe", "differs from its SHA-256"},
      {"a sum for a missing file",
       [](Kit& k) { *k.files.sums += std::string(64, '0') + "  kit.txt\n"; },
       Severity::Error, "SHA256SUMS", "line 5 names kit.txt"},
      {"a file without sum",
       [](Kit& k) {
         k.files.sums->erase(k.files.sums->find(Hex(*k.files.launcher)));
       },
       Severity::Error, "setup.exe", "not listed"},
      {"a line too long for any name",
       [](Kit& k) { *k.files.sums += std::string(200000, 'a') + "\n"; },
       Severity::Error, "SHA256SUMS", "line 5 is not"},
      {"a version below the lowest accepted",
       [](Kit& k) { k.options.min_version = "1.0.1"; }, Severity::Error,
       "kit.manifest", "below 1.0.1"},
      {"a malformed manifest", [](Kit& k) { *k.files.manifest += "\n"; },
       Severity::Error, "kit.manifest", "malformed"},
      {"another product's manifest",
       [](Kit& k) {
         k.options.product_code = "{00000000-0000-0000-0000-000000000000}";
       },
       Severity::Error, "kit.manifest", "is not the launcher's"},
      {"a file the manifest pins otherwise",
       [](Kit& k) { *k.files.setup += "\n"; }, Severity::Error, "setup.iss",
       "differs from kit.manifest"},
      {"a file of the pinned size, other bytes",
       [](Kit& k) {
         k.files.setup->replace(k.files.setup->find("7.00"), 4, "7.01");
       },
       Severity::Error, "setup.iss", "differs from kit.manifest"},
      {"a 2048-bit key",
       [](Kit& k) {
         k.options.public_keys.push_back({"short.pem", ShortKey()});
       },
       Severity::Error, "short.pem", "not a 3072- or 4096-bit"},
      {"a file the manifest leaves out",
       [](Kit& k) {
         k.files.manifest->erase(
             k.files.manifest->find("file " + Hex(*k.files.uninstall)));
       },
       Severity::Error, "uninstall.iss", "not in kit.manifest"},
      {"a pinned file missing", [](Kit& k) { k.files.setup.reset(); },
       Severity::Error, "setup.iss", "missing, but kit.manifest"},
      {"no key given", [](Kit& k) { k.options.public_keys.clear(); },
       Severity::Note, "kit.manifest.sig", "not checked"},
      {"no signature", [](Kit& k) { k.files.signature.reset(); },
       Severity::Error, "kit.manifest.sig", "missing"},
      {"another key",
       [](Kit& k) {
         k.options.public_keys = {{"o", Kit::KeyText("other.pem.pub.pem")}};
       },
       Severity::Error, "kit.manifest.sig", "no key given verifies"},
      {"a private key given",
       [](Kit& k) {
         k.options.public_keys.push_back(
             {"p.pem", Kit::KeyText("publisher.pem")});
       },
       Severity::Error, "p.pem", "not a 3072- or 4096-bit"},
      {"a signature without manifest", [](Kit& k) { k.files.manifest.reset(); },
       Severity::Error, "kit.manifest", "missing beside"},
  };
  for (const Case& c : cases) {
    Kit kit;
    c.change(kit);
    Findings found = CheckKit(kit.files, kit.options);
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const Finding& f) {
      return f.severity == c.severity && f.file == c.file &&
             f.text.find(c.text) != std::string::npos;
    })) << c.what;
  }
}

}  // namespace
