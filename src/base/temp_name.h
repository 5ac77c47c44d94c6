// Names for files written whole beside the file they are to replace, then
// moved over it: unique to this process, and never an existing name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/frame_record.h"
#include "platform/platform.h"

// A temporary name may be somewhat longer than the path it stands beside.
constexpr size_t kTempPathCapacity = kPathCapacity + 32;

// The n-th temporary name for `target`: "<target>.~kinetor<process>-<n>.tmp",
// or, when that is longer than a path may be, a short name in the target's
// directory. False when not even that fits.
bool tempNameBeside(const char* target, uint32_t n, char (&name)[kTempPathCapacity]);

// Creates the temporary file through `create` (which must make a new file
// only, never open an existing name or follow a link), passing over names
// that something already holds, as a killed run may have left them. False
// when a name is free and still cannot be created.
template <typename Create>
bool createTempBeside(const char* target, char (&name)[kTempPathCapacity], Create create) {
  for (uint32_t n = 0; n < UINT32_MAX; ++n) {
    if (!tempNameBeside(target, n, name)) return false;
    if (create(static_cast<const char*>(name))) return true;
    if (!plat::nameTaken(name)) return false;
  }
  return false;
}
