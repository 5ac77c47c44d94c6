#include "app/command_line.h"

#include <cstddef>
#include <cstring>

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

char* unquoteArgument(char* argument) {
  if (argument == nullptr || argument[0] != '"') return argument;
  auto* p = reinterpret_cast<unsigned char*>(argument);
  size_t last = 0;
  for (size_t i = 1; p[i] != '\0'; ++i) {
    if (!isBlank(p[i])) last = i;
  }
  if (last == 0 || p[last] != '"') return argument;
  p[last] = '\0';
  return argument + 1;
}

ShellArguments readShellArguments(int argc, char** argv) {
  ShellArguments result;
  if (argc > 2) {
    result.request = ShellRequest::kTooMany;
  } else if (argc == 2) {
    // Only these exact words are options; a script of that name stays
    // reachable as ./--help.
    if (std::strcmp(argv[1], "--version") == 0) {
      result.request = ShellRequest::kVersion;
    } else if (std::strcmp(argv[1], "--help") == 0) {
      result.request = ShellRequest::kHelp;
    } else {
      result.script = argv[1];
    }
  }
  return result;
}
