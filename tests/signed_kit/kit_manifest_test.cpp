#include "signed_kit/kit_manifest.h"

#include <gtest/gtest.h>

namespace {

const std::string kHex(64, 'a');
const std::string kHead =
    "installer-launcher-kit 1\n"
    "product {7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}\n"
    "version 2.4.0\n";
std::string FileLine(const std::string& name, const std::string& size = "12") {
  return "file " + kHex + " " + size + " " + name + "\n";
}
const std::string kData = FileLine("data.exe");
// The head's first two lines, and data.exe's line without its "\n".
const std::string kFormatAndProduct = kHead.substr(0, kHead.find("version"));
const std::string kDataUnended = kData.substr(0, kData.size() - 1);

TEST(KitManifestTest, ParsesTheStrictFormAndNothingElse) {
  struct Case {
    const char* what;
    std::string text;
    bool good;
  };
  const Case cases[] = {
      {"data.exe alone", kHead + kData, true},
      {"every file, any order",
       kHead + FileLine("uninstall.iss", "0") + kData + FileLine("setup.iss"),
       true},
      {"the largest size", kHead + FileLine("data.exe", "281474976710656"),
       true},
      {"empty", "", false},
      {"no data.exe", kHead + FileLine("setup.iss"), false},
      {"no file at all", kHead, false},
      {"no final line end", kHead + kDataUnended, false},
      {"CRLF line ends",
       "installer-launcher-kit 1\r\n" + kHead.substr(25) + kData, false},
      {"a CR at a line's end", kHead + kDataUnended + "\r\n", false},
      {"another format",
       "installer-launcher-kit 2\n" + kHead.substr(25) + kData, false},
      {"product and version swapped",
       kHead.substr(0, 25) + "version 2.4.0\n" +
           "product {7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}\n" + kData,
       false},
      {"no product line", kHead.substr(0, 25) + "version 1\n" + kData, false},
      {"an empty line", kHead + "\n" + kData, false},
      {"a repeated name", kHead + kData + kData, false},
      {"an unknown name", kHead + kData + FileLine("setup.exe"), false},
      {"a name with a backslash", kHead + kData + FileLine("x\\setup.iss"),
       false},
      {"a name with a slash", kHead + kData + FileLine("../setup.iss"), false},
      {"a name in another case", kHead + FileLine("DATA.EXE"), false},
      {"two spaces", kHead + "file  " + kHex + " 12 data.exe\n", false},
      {"a tab", kHead + "file\t" + kHex + " 12 data.exe\n", false},
      {"a trailing space", kHead + kDataUnended + " \n", false},
      {"a leading space", kHead + " " + kData, false},
      {"upper-case digest",
       kHead + "file " + std::string(64, 'A') + " 12 data.exe\n", false},
      {"a short digest", kHead + "file " + kHex.substr(1) + " 12 data.exe\n",
       false},
      {"a size with a leading zero", kHead + FileLine("data.exe", "012"),
       false},
      {"a size over 2^48", kHead + FileLine("data.exe", "281474976710657"),
       false},
      {"a negative size", kHead + FileLine("data.exe", "-1"), false},
      {"a version with a leading zero",
       kFormatAndProduct + "version 2.04\n" + kData, false},
      {"a version with five numbers",
       kFormatAndProduct + "version 1.2.3.4.5\n" + kData, false},
      {"a version ending in a dot", kFormatAndProduct + "version 2.\n" + kData,
       false},
      {"a product code with a space",
       kHead.substr(0, 25) + "product {7A3C} x\nversion 1\n" + kData, false},
      {"a NUL in a name",
       kHead + kData + FileLine(std::string("setup.iss\0", 10)), false},
      {"over the size limit",
       kHead + kData + std::string(kMaxManifestSize, '\n'), false},
  };
  for (const Case& c : cases) {
    KitManifest manifest;
    EXPECT_EQ(ParseKitManifest(c.text, &manifest), c.good) << c.what;
  }
  KitManifest manifest;
  ASSERT_TRUE(
      ParseKitManifest(kHead + FileLine("setup.iss", "7") + kData, &manifest));
  EXPECT_EQ(manifest.product_code, "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}");
  EXPECT_EQ(manifest.version.numbers, (std::vector<std::uint32_t>{2, 4, 0}));
  EXPECT_TRUE(manifest.pins.data.pinned);
  EXPECT_EQ(manifest.pins.data.size, 12u);
  EXPECT_EQ(manifest.pins.data.digest[0], 0xaa);
  EXPECT_EQ(manifest.pins.setup.size, 7u);
  EXPECT_FALSE(manifest.pins.uninstall.pinned);
}

TEST(KitManifestTest, ComparesVersionsNumberByNumber) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"2", "2.0.0", 0}, {"2.10", "2.9", 1},  {"1.999999999", "2", -1},
      {"0", "0", 0},     {"3.0.0.1", "3", 1}, {"10", "9.9.9.9", 1},
  };
  for (const Case& c : cases) {
    KitVersion a;
    KitVersion b;
    ASSERT_TRUE(ParseKitVersion(c.a, &a) && ParseKitVersion(c.b, &b)) << c.a;
    EXPECT_EQ(CompareKitVersions(a, b), c.order) << c.a << " " << c.b;
    EXPECT_EQ(CompareKitVersions(b, a), -c.order) << c.a << " " << c.b;
  }
  KitVersion v;
  for (const char* bad : {"", ".", "1..2", "1234567890", "a", "1.-1", " 1"}) {
    EXPECT_FALSE(ParseKitVersion(bad, &v)) << bad;
  }
}

}  // namespace
