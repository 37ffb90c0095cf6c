#include "launcher/argument_count.h"

#include <cstddef>

namespace {

// Reads a command line one character at a time, a lead byte and its trail
// byte counting as one character that is never a quote, backslash or blank.
class Cursor {
 public:
  Cursor(std::string_view text, const LeadBytes& lead_bytes)
      : text_(text), lead_bytes_(lead_bytes) {}

  bool AtEnd() const { return position_ >= text_.size(); }
  // The current character when it is a single byte, otherwise 0x01, which
  // the rules never give a meaning to.
  char Peek() const {
    if (AtEnd()) return '\0';
    return IsLead(position_) ? '\x01' : text_[position_];
  }
  char PeekNext() const {
    Cursor next = *this;
    next.Advance();
    return next.Peek();
  }
  void Advance() {
    if (AtEnd()) return;
    // A lead byte at the very end has no trail byte to take.
    position_ += IsLead(position_) && position_ + 1 < text_.size() ? 2 : 1;
  }
  bool AtBlank() const { return Peek() == ' ' || Peek() == '\t'; }

 private:
  bool IsLead(std::size_t at) const {
    return lead_bytes_.test(static_cast<unsigned char>(text_[at]));
  }

  std::string_view text_;
  const LeadBytes& lead_bytes_;
  std::size_t position_ = 0;
};

// The program name: up to the next quote when it starts with one (the first
// argument may follow the closing quote directly), else up to a blank.
void SkipProgramName(Cursor& cursor) {
  if (cursor.Peek() == '"') {
    cursor.Advance();
    while (!cursor.AtEnd() && cursor.Peek() != '"') cursor.Advance();
    cursor.Advance();
    return;
  }
  while (!cursor.AtEnd() && !cursor.AtBlank()) cursor.Advance();
}

// One argument, from its first character to the blank or end after it.
void SkipArgument(Cursor& cursor) {
  bool grouped = false;
  while (!cursor.AtEnd()) {
    std::size_t backslashes = 0;
    while (cursor.Peek() == '\\') {
      cursor.Advance();
      ++backslashes;
    }
    if (cursor.Peek() == '"' && backslashes % 2 == 0) {
      if (grouped && cursor.PeekNext() == '"') {
        cursor.Advance();  // "" in a group: a literal quote, and the group ends
      } else {
        cursor.Advance();  // the quote only switches grouping
        grouped = !grouped;
        continue;
      }
      grouped = !grouped;
    }
    if (cursor.AtEnd() || (!grouped && cursor.AtBlank())) return;
    cursor.Advance();
  }
}

}  // namespace

int CountArguments(std::string_view command_line, const LeadBytes& lead_bytes) {
  Cursor cursor(command_line, lead_bytes);
  SkipProgramName(cursor);
  int count = 1;
  for (;;) {
    while (cursor.AtBlank()) cursor.Advance();
    if (cursor.AtEnd()) return count;
    ++count;
    SkipArgument(cursor);
  }
}

int ProcessArgumentCount(PlatformServices& platform) {
  LeadBytes lead_bytes = platform.GetCPInfo();
  std::string command_line = platform.GetCommandLineA();
  if (!command_line.empty()) return CountArguments(command_line, lead_bytes);
  char module[kMaxPath] = {};
  std::uint32_t length = platform.GetModuleFileNameA(module, sizeof(module));
  if (length >= sizeof(module)) length = sizeof(module) - 1;
  return CountArguments(std::string_view(module, length), lead_bytes);
}
