#include "platform/path_rules.h"

bool RemoveLastPathPart(char* path, const LeadBytes& lead_bytes) {
  char* last = nullptr;
  for (char* at = path; *at != '\0'; ++at) {
    if (lead_bytes.test(static_cast<unsigned char>(*at))) {
      if (at[1] == '\0') break;
      ++at;
    } else if (*at == '\\') {
      last = at;
    }
  }
  if (last == nullptr) {
    if (*path == '\0') return false;
    *path = '\0';
    return true;
  }
  char* cut = last;
  if (last == path || (last == path + 2 && path[1] == ':')) cut = last + 1;
  if (*cut == '\0') return false;
  *cut = '\0';
  return true;
}
