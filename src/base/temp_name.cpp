#include "base/temp_name.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

// Digits and lower-case letters: the shortest plain spelling of a number.
int putBase36(char* out, uint32_t value) {
  char digits[8];
  int count = 0;
  do {
    const uint32_t d = value % 36;
    digits[count++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    value /= 36;
  } while (value != 0);
  for (int i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  return count;
}

}  // namespace

bool tempNameBeside(const char* target, uint32_t n, char (&name)[kTempPathCapacity]) {
  name[0] = '\0';
  if (target == nullptr || target[0] == '\0') return false;
  const unsigned long process = plat::processId();
  int length = std::snprintf(name, sizeof name, "%s.~kinetor%lu-%lu.tmp", target, process,
                             static_cast<unsigned long>(n));
  if (length > 0 && length < kPathCapacity) return true;
  // "~" and the two numbers in base 36 take no more room than "kinetor.ini"
  // for the first thousand names, so a temporary file fits wherever the
  // settings file does.
  size_t dirLength = 0;
  for (size_t i = 0; target[i] != '\0'; ++i) {
    if (plat::isPathSeparator(target[i])) dirLength = i + 1;
  }
  char shortName[24] = "~";
  int at = 1 + putBase36(shortName + 1, plat::processId());
  shortName[at++] = '.';
  at += putBase36(shortName + at, n);
  shortName[at] = '\0';
  length =
      std::snprintf(name, sizeof name, "%.*s%s", static_cast<int>(dirLength), target, shortName);
  if (length > 0 && static_cast<size_t>(length) < sizeof name) return true;
  name[0] = '\0';
  return false;
}
