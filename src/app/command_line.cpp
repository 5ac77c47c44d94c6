#include "app/command_line.h"

namespace {
// A blank of the command line is any byte from 1 to 32.
bool isBlank(unsigned char c) { return c >= 1 && c <= 32; }
}  // namespace

char* skipProgramName(char* commandLine) {
  if (commandLine == nullptr) return nullptr;
  auto* p = reinterpret_cast<unsigned char*>(commandLine);

  // Blanks and empty quoted pairs may stand before the name, in any mix.
  for (;;) {
    if (isBlank(*p)) {
      ++p;
    } else if (p[0] == '"' && p[1] == '"') {
      p += 2;
    } else {
      break;
    }
  }

  while (*p > 32) {
    if (*p == '"') {
      ++p;
      while (*p != '\0' && *p != '"') ++p;
      if (*p == '\0') return nullptr;  // never closed: no argument part
      ++p;
    } else {
      ++p;
    }
  }
  if (*p == '\0') return nullptr;
  *p = '\0';
  return reinterpret_cast<char*>(p + 1);
}
