// The argument counter against the plain reference reading, on any bytes,
// with and without a double-byte code page. The input is copied into a
// buffer of its exact size, so reading past it is caught.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/argument_count.h"
#include "reference_argument_count.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  LeadBytes lead;
  if (data[0] & 1) {  // a double-byte code page: Shift JIS lead bytes
    for (unsigned b = 0x81; b <= 0x9F; ++b) lead.set(b);
    for (unsigned b = 0xE0; b <= 0xFC; ++b) lead.set(b);
  }
  std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  int count = CountArguments(line, lead);
  int expected = ReferenceArgumentCount(line, lead);
  if (count != expected) {
    std::fprintf(stderr, "count %d, reference %d\n", count, expected);
    std::abort();
  }
  return 0;
}
