#include "launcher/argument_count.h"

#include <gtest/gtest.h>

#include "platform/simulated/simulated_platform.h"

namespace {

LeadBytes ShiftJisLeadBytes() {
  LeadBytes lead;
  for (unsigned b = 0x81; b <= 0x9F; ++b) lead.set(b);
  for (unsigned b = 0xE0; b <= 0xFC; ++b) lead.set(b);
  return lead;
}

struct Case {
  const char* line;
  int count;
};

TEST(ArgumentCountTest, SingleByteRules) {
  const Case cases[] = {
      // Program name.
      {"", 1},
      {"launcher.exe", 1},
      {"\"C:\\My Setup\\launcher.exe\"", 1},
      {"\"C:\\My Setup\\launcher.exe\"x", 2},  // argument right after the quote
      {"\"C:\\unterminated name", 1},
      {"C:\\My Setup\\launcher.exe", 2},  // unquoted: ends at the first blank
      {"launcher.exe\tx", 2},
      {"a\"b c", 2},  // a quote inside an unquoted name does not group
      // Separators.
      {"launcher.exe   ", 1},
      {"launcher.exe a", 2},
      {"launcher.exe  a \t b", 3},
      {"   ", 1},
      // Quotes group and vanish; an empty group still counts.
      {"launcher.exe \"\"", 2},
      {"launcher.exe \"\" \"\"", 3},
      {"launcher.exe \"a b\"", 2},
      {"launcher.exe a\"b c\"d", 2},
      {"launcher.exe \"a b", 2},  // an open group runs to the end
      // Backslashes.
      {"launcher.exe a\\b c", 3},       // literal
      {"launcher.exe \\\"a b", 3},      // 1: literal quote, no group
      {"launcher.exe \\\\\"a b\"", 2},  // 2: one backslash, group
      {"launcher.exe \\\\\\\"a b", 3},  // 3: backslash and literal quote
      {"launcher.exe \"a\\\\\" b", 3},  // 2 before the closing quote
      {"launcher.exe \"a\\\" b\"", 2},  // 1 before a quote inside a group
      {"launcher.exe a\\", 2},
      // "" inside a group: a literal quote, and the group ends there.
      {"launcher.exe \"a\"\" b\"", 3},
      {"launcher.exe \"\"\" b", 3},
      {"launcher.exe \"a\"\"\"b c\"", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountArguments(c.line, LeadBytes()), c.count) << c.line;
  }
}

TEST(ArgumentCountTest, LeadBytesTakeTheNextByte) {
  LeadBytes sjis = ShiftJisLeadBytes();
  const Case cases[] = {
      // A trail byte 0x5C is not a backslash escaping the quote.
      {"l.exe \x83\\\" a\"", 2},
      // A trail byte 0x20 does not separate.
      {"l.exe \x81 x", 2},
      // A trail byte '"' neither groups nor ends the program name.
      {"\"C:\\\x81\"dir\\l.exe\" a b", 3},
      {"C:\\\x81 b.exe", 1},
      // A lead byte at the very end has nothing after it to take.
      {"l.exe \x81", 2},
      {"l.exe \"\x81", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountArguments(c.line, sjis), c.count) << c.line;
  }
  // Without a double-byte code page the same bytes are single characters.
  EXPECT_EQ(CountArguments("l.exe \x81 x", LeadBytes()), 3);
  EXPECT_EQ(CountArguments("C:\\\x81 b.exe", LeadBytes()), 2);
}

TEST(ArgumentCountTest, ProcessCountFallsBackToModuleName) {
  struct ProcessCase {
    const char* command_line;
    const char* module;
    int count;
  };
  const ProcessCase cases[] = {
      {"\"D:\\Setup\\launcher.exe\" x", "D:\\Setup\\launcher.exe", 2},
      {"", "D:\\Setup\\launcher.exe", 1},
      {"", "D:\\My Setup\\launcher.exe", 2},
      {"", "D:\\My New Setup\\launcher.exe", 3},
  };
  // A module name cut short at the platform's buffer is split as far as it
  // was given.
  std::string long_name = "D:\\a b\\" + std::string(300, 'x') + " y.exe";
  for (const ProcessCase& c : cases) {
    SimulatedPlatform platform;
    platform.command_line = c.command_line;
    platform.module_file_name = c.module;
    EXPECT_EQ(ProcessArgumentCount(platform), c.count) << c.command_line;
  }
  SimulatedPlatform platform;
  platform.command_line = "";
  platform.module_file_name = long_name;
  EXPECT_EQ(ProcessArgumentCount(platform), 2);
}

TEST(ArgumentCountTest, ProcessCountUsesTheCodePage) {
  SimulatedPlatform platform;
  platform.command_line = "l.exe \x81 x";
  platform.lead_bytes = ShiftJisLeadBytes();
  EXPECT_EQ(ProcessArgumentCount(platform), 2);
}

}  // namespace
