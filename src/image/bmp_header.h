// The one parser of a BMP file's two headers, shared by the frame reader and
// the preview decoder; each adds its own rules on top.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "base/failure.h"
#include "image/bitmap_format.h"

struct BmpHeader {
  uint32_t offBits = 0;  // where the file header says the rows start
  // The info header's fields; a core header (size 12) fills size, width,
  // height (both unsigned there), planes and bitCount only.
  BitmapInfoHeader info{};
  bool core() const { return info.size == kCoreHeaderSize; }

  static constexpr uint32_t kCoreHeaderSize = 12;
};

// The fields of a BITMAPINFOHEADER (or the first 40 bytes of a longer one)
// at `at`, as a BMP file and an image inside a cursor file hold it. False
// when fewer than 40 bytes lie there.
bool readInfoHeader(const binio::ByteReader& in, uint64_t at, BitmapInfoHeader& h);

// Failure::notBitmap: no "BM", or too short for the file header and biSize;
// headerSize: biSize is neither the core header's 12 nor at least 40;
// headerPastEnd: the info header does not fit in the file.
Failure parseBmpHeader(const binio::ByteReader& file, BmpHeader& out);
