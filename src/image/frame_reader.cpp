#include "image/frame_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "base/captions.h"
#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/bmp_decode.h"
#include "image/bmp_header.h"
#include "image/pixels.h"
#include "image/png_decode.h"
#include "platform/platform.h"

namespace {

// Rows stored top row first (a negative height) are turned over once, here:
// every later step, and the header that is written, then see exactly the
// frame that the same picture stored bottom-up gives.
void turnBottomUp(uint8_t* header, uint8_t* rows) {
  const int32_t height = headerHeight(header);
  // The most negative height has no positive twin; only a frame without
  // columns gets here with it, and the build refuses that frame.
  if (height >= 0 || height == INT32_MIN) return;
  const int32_t count = -height;
  const auto stride =
      static_cast<size_t>(rowStride(headerWidth(header), headerBitCount(header), 32));
  for (int32_t top = 0, bottom = count - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = rows + static_cast<size_t>(top) * stride;
    std::swap_ranges(a, a + stride, rows + static_cast<size_t>(bottom) * stride);
  }
  setHeaderHeight(header, count);
}

FrameReadHook g_readHook = nullptr;

// Tells two reads of a file apart whatever changed between them: each step
// maps a lane's value one to one for a given word, so a single changed word
// always shows, and several changes meet by chance only. Four lanes keep
// the multiplications from waiting on each other.
uint64_t checksumOf(const uint8_t* bytes, size_t count) {
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;
  uint64_t lane[4] = {count, 1, 2, 3};
  size_t at = 0;
  for (; at + 32 <= count; at += 32) {
    for (int i = 0; i < 4; ++i) {
      uint64_t word;
      std::memcpy(&word, bytes + at + 8 * i, 8);
      lane[i] = (lane[i] ^ word) * kMix;
    }
  }
  for (; at < count; ++at) lane[0] = (lane[0] ^ bytes[at]) * kMix;
  return lane[0] ^ (lane[1] * 3) ^ (lane[2] * 5) ^ (lane[3] * 7);
}

// ---- Frames with alpha -------------------------------------------------
// A 32-bit BMP or a PNG is decoded once into the frame's own buffer: blue,
// green, red and straight alpha, 4 bytes a pixel (so rows need no padding),
// bottom row first as in every frame; its header becomes a plain 40-byte
// 32-bit one. The file goes back at once: nothing reads it again.

// The frame's header block and pixel buffer for a decoded picture; false
// (with the box shown) when either cannot be had.
bool takeAlphaPicture(FrameRecord& frame, int32_t width, int32_t height) {
  frame.header = static_cast<uint8_t*>(allocZeroed(kHeaderBlockSize));
  const uint64_t bytes = uint64_t{4} * static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
  frame.workPixels =
      frame.header != nullptr ? static_cast<uint8_t*>(allocForOverwrite(bytes)) : nullptr;
  if (frame.workPixels == nullptr) {
    releaseBlock(frame.header);
    releaseBlock(frame.fileData);
    showOutOfMemory();
    return false;
  }
  uint8_t* h = frame.header;
  binio::putLe32(h + bmpinfo::kSizeField, bmpinfo::kSize);
  setHeaderWidth(h, width);
  setHeaderHeight(h, height);
  binio::putLe16(h + bmpinfo::kPlanes, 1);
  binio::putLe16(h + bmpinfo::kBitCount, 32);
  frame.pixels = frame.workPixels;
  frame.palette = frame.header + kPaletteOffset;
  releaseBlock(frame.fileData);
  return true;
}

Failure readPngFrame(FrameRecord& frame, uint32_t size, PreviewSize preview) {
  PngHeader png;
  const Failure early = readPngHeader(frame.fileData, size, png);
  if (early != Failure::none) {
    releaseBlock(frame.fileData);
    return early;
  }
  std::vector<uint8_t> bgra;
  Failure why = Failure::none;
  try {
    why = decodePng(frame.fileData, size, png, bgra);
  } catch (const std::bad_alloc&) {
    releaseBlock(frame.fileData);
    showOutOfMemory();
    return Failure::outOfMemory;
  }
  if (why != Failure::none) {
    releaseBlock(frame.fileData);
    return why;
  }
  const auto w = static_cast<int32_t>(png.width);
  const auto h = static_cast<int32_t>(png.height);
  if (preview == PreviewSize::measured) {
    frame.width = w;
    frame.height = h;
  }
  if (!takeAlphaPicture(frame, w, h)) return Failure::outOfMemory;
  const size_t row = size_t{4} * png.width;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(frame.pixels + static_cast<size_t>(rowOffset(static_cast<int64_t>(row), h, y)),
                bgra.data() + row * static_cast<size_t>(y), row);
  }
  return Failure::none;
}

Failure readBitmap32Frame(FrameRecord& frame, uint32_t size, const BmpHeader& bmp,
                          PreviewSize preview) {
  const BitmapInfoHeader& h = bmp.info;
  const binio::ByteReader file(frame.fileData, size);
  const int64_t rows = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
  Failure why = Failure::none;
  if (h.compression != 0 && h.compression != 3) {
    why = Failure::compressed;
  } else if (h.planes > 1) {
    why = Failure::planes;
  } else if (h.width < 0) {
    why = Failure::negativeWidth;
  } else if (h.width == 0 || rows == 0) {
    why = Failure::noPixels;
  } else if (h.width > kMaxAlphaFrameSide || rows > kMaxAlphaFrameSide) {
    why = Failure::tooManyPixels;
  } else if (!file.holds(bmp.offBits, uint64_t{4} * static_cast<uint32_t>(h.width) *
                                          static_cast<uint64_t>(rows))) {
    why = Failure::rowsOutsideFile;
  }
  DecodedImage image;
  if (why == Failure::none && !decodeBmpWithAlpha(file, bmp, image)) {
    // The sizes were checked: what is left is a layout no decoder takes,
    // or a block the heap refused.
    why = Failure::damagedBitmap;
  }
  if (why != Failure::none) {
    releaseBlock(frame.fileData);
    return why;
  }
  if (preview == PreviewSize::measured) {
    frame.width = image.width;
    frame.height = image.height;
  }
  if (!takeAlphaPicture(frame, image.width, image.height)) {
    freeBlock(image.pixels);
    return Failure::outOfMemory;
  }
  const int64_t row = int64_t{4} * image.width;
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t* out = frame.pixels + rowOffset(row, image.height, y);
    const uint32_t* in = image.pixels + static_cast<int64_t>(y) * image.width;
    for (int32_t x = 0; x < image.width; ++x) binio::putLe32(out + 4 * int64_t{x}, in[x]);
  }
  freeBlock(image.pixels);
  return Failure::none;
}

// Whether the file's first bytes begin a frame that may be larger than an
// 8- or 24-bit one: a PNG, or a BMP of 32 bits per pixel.
bool mayBeLarge(const uint8_t* head, uint64_t size) {
  if (hasPngSignature(head, size)) return true;
  const binio::ByteReader in(head, size);
  uint8_t b = 0, m = 0;
  uint32_t infoSize = 0;
  uint16_t bits = 0;
  return in.u8(0, b) && in.u8(1, m) && b == 'B' && m == 'M' && in.u32le(bmpfile::kSize, infoSize) &&
         infoSize >= bmpinfo::kSize && in.u16le(bmpfile::kSize + bmpinfo::kBitCount, bits) &&
         bits == 32;
}

// A file too large to be read whole: only its first bytes tell which limit
// it passes, so that an 8- or 24-bit BMP is refused as it always was.
Failure refuseLargeFile(plat::FileHandle file) {
  uint8_t head[bmpfile::kSize + bmpinfo::kSize] = {};
  const uint32_t got = plat::readBytes(file, head, sizeof head);
  return mayBeLarge(head, got) ? Failure::fileTooLarge : Failure::fileSize;
}

// The frame's own rules on top of the shared header parser: everything the
// later steps read in place must lie in the file.
Failure checkFrameHeader(const binio::ByteReader& file, const BmpHeader& bmp) {
  const BitmapInfoHeader& h = bmp.info;
  // Shorter (core) headers lack the fields the build needs.
  if (bmp.core()) return Failure::headerSize;
  if (h.compression != 0) return Failure::compressed;
  if (h.planes > 1) return Failure::planes;
  if (h.bitCount != 8 && h.bitCount != 24) return Failure::depth;

  if (h.width < 0) return Failure::negativeWidth;
  const int64_t rows = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
  const int64_t rowBytes = rowStride(h.width, h.bitCount, 32);
  if (!file.holds(bmp.offBits, 0)) return Failure::rowsOutsideFile;
  if (rows != 0 && (rowBytes > static_cast<int64_t>(file.size()) ||
                    !file.holds(bmp.offBits, static_cast<uint64_t>(rowBytes * rows)))) {
    return Failure::rowsOutsideFile;
  }
  if (h.bitCount == 8) {
    const uint32_t colours = h.clrUsed == 0 ? kPaletteEntries : h.clrUsed;
    if (colours > kPaletteEntries) return Failure::paletteTooLarge;
    if (!file.holds(bmpfile::kSize + uint64_t{h.size}, uint64_t{colours} * 4)) {
      return Failure::paletteOutsideFile;
    }
  }
  return Failure::none;
}

// The frame's header block: the first 40 bytes of the info header (longer
// V4 and V5 headers begin with the same 40), then the palette of an 8-bit
// frame. Null, with the box shown, when the block cannot be had.
uint8_t* copyFrameHeader(const binio::ByteReader& file, const BmpHeader& bmp, Failure& why) {
  const uint32_t colours = bmp.info.clrUsed == 0 ? kPaletteEntries : bmp.info.clrUsed;
  const uint64_t paletteBytes = bmp.info.bitCount == 8 ? uint64_t{colours} * 4 : 0;
  auto* block = static_cast<uint8_t*>(allocZeroed(kHeaderBlockSize));
  if (block == nullptr) {
    showOutOfMemory();
    why = Failure::outOfMemory;
    return nullptr;
  }
  file.copy(bmpfile::kSize, bmpinfo::kSize, block);
  binio::putLe32(block + bmpinfo::kSizeField, bmpinfo::kSize);
  binio::putLe32(block + bmpinfo::kClrUsed, colours);
  if (paletteBytes != 0) {
    file.copy(bmpfile::kSize + uint64_t{bmp.info.size}, paletteBytes, block + kPaletteOffset);
  }
  return block;
}

Failure loadFrameFile(FrameRecord& frame, plat::FileHandle file, PreviewSize preview,
                      FrameFileSeen* seen) {
  // Another program may write the file while it is read: the bytes would
  // then mix two versions. Its size and change times, taken before and after
  // the read, tell.
  plat::FileStamp before;
  if (!plat::fileStamp(file, before)) return Failure::readFailed;
  const int64_t size = before.size;
  if (size < kMinFrameFileSize) return Failure::fileSize;
  if (size > kMaxAlphaFrameFileSize) return refuseLargeFile(file);
  if (g_readHook != nullptr) g_readHook(frame.path);
  frame.fileData = static_cast<uint8_t*>(allocForOverwrite(static_cast<uint64_t>(size)));
  if (frame.fileData == nullptr) {
    showOutOfMemory();
    return Failure::outOfMemory;
  }
  const auto wanted = static_cast<uint32_t>(size);
  if (plat::readBytes(file, frame.fileData, wanted) != wanted) {
    releaseBlock(frame.fileData);
    return Failure::readFailed;
  }
  plat::FileStamp after;
  if (!plat::fileStamp(file, after) || !(after == before)) {
    releaseBlock(frame.fileData);
    return Failure::changedWhileRead;
  }
  if (seen != nullptr) *seen = {before, checksumOf(frame.fileData, wanted)};
  if (size > kMaxFrameFileSize && !mayBeLarge(frame.fileData, wanted)) {
    releaseBlock(frame.fileData);
    return Failure::fileSize;
  }
  if (hasPngSignature(frame.fileData, wanted)) return readPngFrame(frame, wanted, preview);
  // The headers are parsed once here; the measure, the 32-bit decoder and
  // the frame's own checks all work from what this gives.
  const binio::ByteReader bytes(frame.fileData, wanted);
  BmpHeader bmp;
  Failure why = parseBmpHeader(bytes, bmp);
  if (why == Failure::none && !bmp.core() && bmp.info.bitCount == 32) {
    return readBitmap32Frame(frame, wanted, bmp, preview);
  }
  if (preview == PreviewSize::measured) {
    if (why == Failure::none) {
      measureBmp(bytes, bmp, frame.width, frame.height);
    } else {
      frame.width = 0;
      frame.height = 0;
    }
  }
  if (why == Failure::none) why = checkFrameHeader(bytes, bmp);
  frame.header = why == Failure::none ? copyFrameHeader(bytes, bmp, why) : nullptr;
  if (frame.header == nullptr) {
    releaseBlock(frame.fileData);
    return why;
  }
  const uint32_t offBits = binio::getLe32(frame.fileData + bmpfile::kOffBits);
  frame.palette = frame.header + kPaletteOffset;
  frame.pixels = frame.fileData + offBits;
  turnBottomUp(frame.header, frame.pixels);
  return Failure::none;
}

}  // namespace

FrameReadHook setFrameReadHook(FrameReadHook hook) {
  const FrameReadHook previous = g_readHook;
  g_readHook = hook;
  return previous;
}

namespace {

Failure readFrameSeeing(FrameRecord& frame, PreviewSize preview, FrameFileSeen* seen) {
  plat::FileHandle file = plat::openForRead(frame.path);
  if (file == plat::kInvalidFile) return Failure::cannotOpen;
  const Failure why = loadFrameFile(frame, file, preview, seen);
  plat::closeFile(file);
  return why;
}

}  // namespace

Failure readFrame(FrameRecord& frame, PreviewSize preview) {
  return readFrameSeeing(frame, preview, nullptr);
}

Failure readFrame(FrameRecord& frame, PreviewSize preview, FrameFileSeen& seen) {
  return readFrameSeeing(frame, preview, &seen);
}
