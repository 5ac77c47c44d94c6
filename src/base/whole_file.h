// A file read whole into memory, as the readers of cursor files take it:
// refused unread when it is larger than the caller's limit, so that no size
// from the disk reaches an allocation unchecked.
#pragma once

#include <cstdint>
#include <vector>

enum class WholeFile : uint8_t {
  read,
  cannotOpen,   // plat::lastFileError() still tells the system's reason
  sizeUnknown,  // the system could not tell how large it is
  tooLarge,     // beyond the limit
  outOfMemory,
  readFailed,  // fewer bytes came than the file holds
};

// Reads the file at `path` into `bytes`. A limit beyond what one read call
// takes is lowered to it.
WholeFile readWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>& bytes);
