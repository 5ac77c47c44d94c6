#include "base/safe_write.h"

#include <cstring>

namespace {

// The part of `target` up to its last separator, and the name after it.
struct SplitPath {
  char folder[kTempPathCapacity] = {};
  const char* name = nullptr;
};

bool splitPath(const char* target, SplitPath& split) {
  size_t folderLength = 0;
  for (size_t i = 0; target[i] != '\0'; ++i) {
    if (plat::isPathSeparator(target[i])) folderLength = i + 1;
  }
  if (folderLength >= sizeof split.folder) return false;
  std::memcpy(split.folder, target, folderLength);
  split.folder[folderLength] = '\0';
  split.name = target + folderLength;
  return true;
}

// Digits from `text` up to `end`; false when there are none, something else
// stands between, or the value does not fit 32 bits.
bool readNumber(const char*& text, char end, uint32_t& value) {
  value = 0;
  const char* start = text;
  while (*text >= '0' && *text <= '9') {
    const uint32_t digit = static_cast<uint32_t>(*text - '0');
    if (value > (UINT32_MAX - digit) / 10) return false;
    value = value * 10 + digit;
    ++text;
  }
  return text != start && *text == end;
}

struct Sweep {
  const SplitPath* target;
  size_t nameLength;
};

// A name "<target>.~kinetor<process>-<n>.tmp" whose process has ended was
// left by a run that was killed: nothing will ever move it over the target.
void removeIfLeftOver(const char* name, void* context) {
  const Sweep& sweep = *static_cast<const Sweep*>(context);
  static const char kMark[] = ".~kinetor";
  if (std::strncmp(name, sweep.target->name, sweep.nameLength) != 0) return;
  const char* rest = name + sweep.nameLength;
  if (std::strncmp(rest, kMark, sizeof kMark - 1) != 0) return;
  rest += sizeof kMark - 1;
  uint32_t process = 0, n = 0;
  if (!readNumber(rest, '-', process) || !readNumber(++rest, '.', n)) return;
  if (std::strcmp(rest, ".tmp") != 0) return;
  if (process == plat::processId() || plat::processRuns(process)) return;
  char path[2 * kTempPathCapacity];
  const size_t folderLength = std::strlen(sweep.target->folder);
  const size_t nameLength = std::strlen(name);
  if (folderLength + nameLength >= sizeof path) return;
  std::memcpy(path, sweep.target->folder, folderLength);
  std::memcpy(path + folderLength, name, nameLength + 1);
  plat::removeFile(path);
}

}  // namespace

bool beginSafeWrite(const char* target, SafeWrite& write) {
  write.file = plat::kInvalidFile;
  write.tempPath[0] = '\0';
  if (target == nullptr || target[0] == '\0') return false;
  // Moving a file over a device or a pipe would replace the node, not feed
  // it; over a folder it would fail only after the whole write.
  if (plat::whatHolds(target) == plat::NameHolder::other) return false;
  SplitPath split;
  if (splitPath(target, split) && split.name[0] != '\0') {
    Sweep sweep{&split, std::strlen(split.name)};
    plat::forEachName(split.folder, removeIfLeftOver, &sweep);
  }
  // Armed before each try: a signal between the creation and the arming
  // would leave the file, and a name of this process is its own to remove.
  const bool created = createTempBeside(target, write.tempPath, [&write](const char* name) {
    plat::removeOnInterrupt(name);
    write.file = plat::createNewForWrite(name);
    return write.file != plat::kInvalidFile;
  });
  if (!created) plat::removeOnInterrupt(nullptr);
  return created;
}

bool endSafeWrite(SafeWrite& write, const char* target, bool complete) {
  if (write.file == plat::kInvalidFile) return false;
  if (complete) {
    plat::takePermissionsOf(write.file, target);
    // Flushed before the move: a move that reaches the disk first would
    // leave the name on a file whose content never did.
    complete = plat::flushFile(write.file);
  }
  complete = plat::closeFile(write.file) && complete;
  write.file = plat::kInvalidFile;
  complete = complete && plat::replaceFile(write.tempPath, target);
  if (!complete) plat::removeFile(write.tempPath);
  plat::removeOnInterrupt(nullptr);
  return complete;
}

bool safeWriteWhole(const char* target, const void* data, uint32_t size) {
  SafeWrite write;
  if (!beginSafeWrite(target, write)) return false;
  return endSafeWrite(write, target, plat::writeBytes(write.file, data, size));
}
