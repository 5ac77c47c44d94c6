#include "base/whole_file.h"

#include <algorithm>
#include <new>

#include "platform/platform.h"

WholeFile readWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>& bytes) {
  const plat::FileHandle file = plat::openForRead(path);
  // Nothing else may run before the caller asks the system why.
  if (file == plat::kInvalidFile) return WholeFile::cannotOpen;
  const int64_t size = plat::fileSize(file);
  WholeFile result = WholeFile::read;
  if (size < 0) {
    result = WholeFile::sizeUnknown;
  } else if (static_cast<uint64_t>(size) > std::min<uint64_t>(limit, UINT32_MAX)) {
    result = WholeFile::tooLarge;
  } else {
    try {
      bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      result = WholeFile::outOfMemory;
    }
    // The size fits the one read call: checked against the limit above.
    if (result == WholeFile::read &&
        plat::readBytes(file, bytes.data(), static_cast<uint32_t>(size)) != size) {
      result = WholeFile::readFailed;
    }
  }
  plat::closeFile(file);
  return result;
}
