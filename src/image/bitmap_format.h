// The BMP records the frame reader parses and the header block that each
// frame carries through the build.
#pragma once

#include <cstdint>

#include "base/bytes.h"

// BITMAPFILEHEADER: "BM", file size, two reserved words, pixel offset.
namespace bmpfile {
constexpr uint32_t kOffBits = 10;
constexpr uint32_t kSize = 14;
static_assert(kOffBits + 4 == kSize);
}  // namespace bmpfile

// BITMAPINFOHEADER, as it stands in a file and at the start of a header block.
struct BitmapInfoHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

namespace bmpinfo {
constexpr uint32_t kSizeField = 0;
constexpr uint32_t kWidth = 4;
constexpr uint32_t kHeight = 8;
constexpr uint32_t kPlanes = 12;
constexpr uint32_t kBitCount = 14;
constexpr uint32_t kCompression = 16;
constexpr uint32_t kSizeImage = 20;
constexpr uint32_t kXPelsPerMeter = 24;
constexpr uint32_t kClrUsed = 32;
constexpr uint32_t kClrImportant = 36;
constexpr uint32_t kSize = 40;
static_assert(kClrImportant + 4 == kSize && kSize == sizeof(BitmapInfoHeader));
}  // namespace bmpinfo

// A frame's header block: the 40-byte header, then room for 256 palette
// entries and 12 spare bytes.
constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kPaletteOffset = bmpinfo::kSize;
constexpr uint32_t kHeaderBlockSize = bmpinfo::kSize + kPaletteEntries * 4 + 12;

// Field access on a header block (always at least 40 bytes).
inline int32_t headerWidth(const uint8_t* block) {
  return static_cast<int32_t>(binio::getLe32(block + bmpinfo::kWidth));
}
inline int32_t headerHeight(const uint8_t* block) {
  return static_cast<int32_t>(binio::getLe32(block + bmpinfo::kHeight));
}
inline uint16_t headerBitCount(const uint8_t* block) {
  return binio::getLe16(block + bmpinfo::kBitCount);
}
inline void setHeaderWidth(uint8_t* block, int32_t width) {
  binio::putLe32(block + bmpinfo::kWidth, static_cast<uint32_t>(width));
}
inline void setHeaderHeight(uint8_t* block, int32_t height) {
  binio::putLe32(block + bmpinfo::kHeight, static_cast<uint32_t>(height));
}
