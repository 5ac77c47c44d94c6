// Whole files written under a temporary name beside the file they replace
// and moved over it only once complete and on the disk: after a crash the
// name holds the old file or the new one, never a mix or nothing.
#pragma once

#include <cstdint>

#include "base/temp_name.h"
#include "platform/platform.h"

struct SafeWrite {
  char tempPath[kTempPathCapacity] = {};
  plat::FileHandle file = plat::kInvalidFile;
};

// Removes the temporary files of `target` that runs no longer running left
// behind, then creates a temporary file of its own beside it, which Ctrl-C,
// SIGTERM, SIGHUP or a console's close remove should they end the process
// meanwhile. False when `target` names a folder, a device or a pipe, or
// when no temporary file can be made.
bool beginSafeWrite(const char* target, SafeWrite& write);

// When `complete`, gives the file the old file's permission bits, flushes
// it to the disk, closes it and moves it over `target`; otherwise, or when
// any of that fails, closes and removes it. True when `target` now holds
// the new file.
bool endSafeWrite(SafeWrite& write, const char* target, bool complete);

// Both at once, for a file that lies whole in memory.
bool safeWriteWhole(const char* target, const void* data, uint32_t size);
