#ifndef LAUNCHER_FUZZ_REFERENCE_ARGUMENT_COUNT_H_
#define LAUNCHER_FUZZ_REFERENCE_ARGUMENT_COUNT_H_

#include <string>
#include <vector>

#include "platform/platform_services.h"

// A second, deliberately plain reading of the splitting rules: it splits the
// command line into the actual argument texts, one byte index at a time,
// the way the rules are written down. The fuzzer holds the launcher's counter
// to the number of texts this produces.
inline int ReferenceArgumentCount(const std::string& line,
                                  const LeadBytes& lead) {
  const std::size_t n = line.size();
  auto is_lead = [&](std::size_t i) {
    return i < n && lead.test(static_cast<unsigned char>(line[i]));
  };
  // Width of the character at i: 2 for a lead byte with a byte after it.
  auto width = [&](std::size_t i) { return is_lead(i) && i + 1 < n ? 2 : 1; };
  auto at = [&](std::size_t i, char c) {
    return i < n && !is_lead(i) && line[i] == c;
  };
  auto blank = [&](std::size_t i) { return at(i, ' ') || at(i, '\t'); };

  std::size_t i = 0;
  if (at(0, '"')) {
    i = 1;
    while (i < n && !at(i, '"')) i += width(i);
    if (i < n) ++i;
  } else {
    while (i < n && !blank(i)) i += width(i);
  }
  std::vector<std::string> arguments;
  for (;;) {
    while (blank(i)) ++i;
    if (i >= n) break;
    std::string text;
    bool in_group = false;
    while (i < n) {
      std::size_t slashes = 0;
      while (at(i, '\\')) {
        ++slashes;
        ++i;
      }
      if (at(i, '"')) {
        text.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          text += '"';
          ++i;
          continue;
        }
        if (in_group && at(i + 1, '"')) {
          text += '"';
          in_group = false;
          i += 2;
          continue;
        }
        in_group = !in_group;
        ++i;
        continue;
      }
      text.append(slashes, '\\');
      if (i >= n || (!in_group && blank(i))) break;
      text.append(line, i, width(i));
      i += width(i);
    }
    arguments.push_back(text);
  }
  return 1 + static_cast<int>(arguments.size());
}

#endif  // LAUNCHER_FUZZ_REFERENCE_ARGUMENT_COUNT_H_
