#include "ui/file_names.h"

#include <cstring>

#include "platform/platform.h"
#include "ui/state.h"

namespace {
constexpr char kAnimExtension[] = ".anim";
constexpr size_t kAnimExtensionLength = sizeof kAnimExtension - 1;

// Length of a text, looking at no more than `limit` bytes.
size_t boundedLength(const char* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

bool endsWithAnim(const char* name, size_t length) {
  if (length < kAnimExtensionLength) return false;
  const char* tail = name + length - kAnimExtensionLength;
  for (size_t i = 0; i < kAnimExtensionLength; ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kAnimExtension[i]) return false;
  }
  return true;
}
}  // namespace

size_t fileNamePart(const char* path) {
  size_t n = std::strlen(path);
  while (n > 0 && !plat::isPathSeparator(path[n - 1])) --n;
  return n;
}

bool isAnchoredPath(const char* path) {
  if (plat::isPathSeparator(path[0])) return true;
  const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  return letter && path[1] == ':';
}

bool joinSelectedPath(const char* directory, const char* name, char* out) {
  out[0] = '\0';
  const size_t dirLength = std::strlen(directory);
  const bool needsSeparator = dirLength == 0 || !plat::isPathSeparator(directory[dirLength - 1]);
  const size_t total = dirLength + (needsSeparator ? 1 : 0) + std::strlen(name);
  if (total >= static_cast<size_t>(kPathCapacity)) return false;
  std::memcpy(out, directory, dirLength);
  size_t at = dirLength;
  if (needsSeparator) out[at++] = '\\';
  std::memcpy(out + at, name, std::strlen(name) + 1);
  return true;
}

Failure makeAnimName(const char* chosen, char* out) {
  out[0] = '\0';
  const size_t length = boundedLength(chosen, kPathCapacity);
  if (length < 4) return Failure::nameTooShort;
  const bool keep = endsWithAnim(chosen, length);
  const size_t total = length + (keep ? 0 : kAnimExtensionLength);
  if (total >= static_cast<size_t>(kPathCapacity)) return Failure::nameTooLong;
  std::memcpy(out, chosen, length);
  if (keep) {
    out[length] = '\0';
  } else {
    std::memcpy(out + length, kAnimExtension, kAnimExtensionLength + 1);
  }
  return Failure::none;
}

void startingFolder(const char* text, char* out) {
  out[0] = '\0';
  if (text == nullptr || text[0] == '\0') return;
  const size_t length = boundedLength(text, kPathCapacity - 1);
  std::memcpy(out, text, length);
  out[length] = '\0';
  size_t i = length;
  while (i > 3 && out[i] != '\\') --i;
  // Keep positions 0 to i; when the text is shorter than that, it is whole.
  if (i < length) out[i + 1] = '\0';
  if (out[0] == '"') std::memmove(out, out + 1, std::strlen(out));
}

bool namesCursorFile(const char* path) {
  const char* dot = std::strrchr(path + fileNamePart(path), '.');
  if (dot == nullptr) return false;
  std::string extension;
  for (const char* p = dot; *p != '\0'; ++p) {
    extension += static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p);
  }
  return extension == ".anim" || extension == ".ani" || extension == ".cur";
}

std::string importFolderFor(const char* cursorPath) {
  std::string base = cursorPath;
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > fileNamePart(cursorPath)) base.resize(dot);
  constexpr int kTries = 100;
  for (int n = 1; n <= kTries; ++n) {
    const std::string folder = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    if (folder.size() + 16 >= static_cast<size_t>(kPathCapacity)) return "";
    if (!plat::nameTaken(folder.c_str())) return folder;
  }
  return "";
}
