#include "kit/kit_checks.h"

#include <gtest/gtest.h>

namespace {

TEST(KitChecksTest, FoldersToHoldFromBelowTheRootDownToL) {
  LeadBytes none;
  LeadBytes lead;
  lead.set(0x95);
  struct Case {
    std::string L;
    const LeadBytes& lead_bytes;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"D:\\Setup", none, {"D:\\Setup"}},
      {"D:\\a\\b", none, {"D:\\a", "D:\\a\\b"}},
      {"E:\\", none, {}},
      {"\\\\server\\share", none, {}},
      {"\\\\server\\share\\kit\\x",
       none,
       {"\\\\server\\share\\kit", "\\\\server\\share\\kit\\x"}},
      // A double-byte character whose second byte is "\".
      {"C:\\\x95\\x", lead, {"C:\\\x95\\x"}},
      {"C:\\\x95\\x", none, {"C:\\\x95", "C:\\\x95\\x"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldersToHold(c.L, c.lead_bytes), c.folders) << c.L;
  }
}

}  // namespace
