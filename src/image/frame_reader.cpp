#include "image/frame_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/captions.h"
#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/bmp_decode.h"
#include "image/bmp_header.h"
#include "image/pixels.h"
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

FrameRefusal loadFrameFile(FrameRecord& frame, plat::FileHandle file, PreviewSize preview) {
  // Another program may write the file while it is read: the bytes would
  // then mix two versions. Its size and change times, taken before and after
  // the read, tell.
  plat::FileStamp before;
  if (!plat::fileStamp(file, before)) return FrameRefusal::readFailed;
  const int64_t size = before.size;
  if (size < kMinFrameFileSize || size > kMaxFrameFileSize) return FrameRefusal::fileSize;
  if (g_readHook != nullptr) g_readHook(frame.path);
  frame.fileData = static_cast<uint8_t*>(allocForOverwrite(static_cast<uint64_t>(size)));
  if (frame.fileData == nullptr) {
    showOutOfMemory();
    return FrameRefusal::outOfMemory;
  }
  const auto wanted = static_cast<uint32_t>(size);
  if (plat::readBytes(file, frame.fileData, wanted) != wanted) {
    releaseBlock(frame.fileData);
    return FrameRefusal::readFailed;
  }
  plat::FileStamp after;
  if (!plat::fileStamp(file, after) || !(after == before)) {
    releaseBlock(frame.fileData);
    return FrameRefusal::changedWhileRead;
  }
  if (preview == PreviewSize::measured) {
    measureBmp(frame.fileData, wanted, frame.width, frame.height);
  }
  FrameRefusal why = FrameRefusal::none;
  frame.header = parseFrameHeader(frame, wanted, why);
  if (frame.header == nullptr) {
    releaseBlock(frame.fileData);
    return why;
  }
  const uint32_t offBits = binio::getLe32(frame.fileData + bmpfile::kOffBits);
  frame.palette = frame.header + kPaletteOffset;
  frame.pixels = frame.fileData + offBits;
  turnBottomUp(frame.header, frame.pixels);
  return FrameRefusal::none;
}

FrameRefusal fromHeaderRefusal(BmpHeaderRefusal r) {
  switch (r) {
    case BmpHeaderRefusal::none:
      return FrameRefusal::none;
    case BmpHeaderRefusal::notBitmap:
      return FrameRefusal::notBitmap;
    case BmpHeaderRefusal::headerSize:
      return FrameRefusal::headerSize;
    case BmpHeaderRefusal::headerPastEnd:
      return FrameRefusal::headerPastEnd;
  }
  return FrameRefusal::notBitmap;
}

// The frame's own rules on top of the shared header parser: everything the
// later steps read in place must lie in the file.
FrameRefusal checkFrameHeader(const binio::ByteReader& file, const BmpHeader& bmp) {
  const BitmapInfoHeader& h = bmp.info;
  // Shorter (core) headers lack the fields the build needs.
  if (bmp.core()) return FrameRefusal::headerSize;
  if (h.compression != 0) return FrameRefusal::compressed;
  if (h.planes > 1) return FrameRefusal::planes;
  if (h.bitCount != 8 && h.bitCount != 24) return FrameRefusal::depth;

  if (h.width < 0) return FrameRefusal::negativeWidth;
  const int64_t rows = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
  const int64_t rowBytes = rowStride(h.width, h.bitCount, 32);
  if (!file.holds(bmp.offBits, 0)) return FrameRefusal::rowsOutsideFile;
  if (rows != 0 && (rowBytes > static_cast<int64_t>(file.size()) ||
                    !file.holds(bmp.offBits, static_cast<uint64_t>(rowBytes * rows)))) {
    return FrameRefusal::rowsOutsideFile;
  }
  if (h.bitCount == 8) {
    const uint32_t colours = h.clrUsed == 0 ? kPaletteEntries : h.clrUsed;
    if (colours > kPaletteEntries) return FrameRefusal::paletteTooLarge;
    if (!file.holds(bmpfile::kSize + uint64_t{h.size}, uint64_t{colours} * 4)) {
      return FrameRefusal::paletteOutsideFile;
    }
  }
  return FrameRefusal::none;
}

}  // namespace

FrameReadHook setFrameReadHook(FrameReadHook hook) {
  const FrameReadHook previous = g_readHook;
  g_readHook = hook;
  return previous;
}

const char* frameRefusalText(FrameRefusal why) {
  switch (why) {
    case FrameRefusal::none:
      return "read";
    case FrameRefusal::cannotOpen:
      return plat::lastFileError();
    case FrameRefusal::fileSize:
      return "not a BMP (not 12 to 65535 bytes long)";
    case FrameRefusal::outOfMemory:
      return "out of memory";
    case FrameRefusal::readFailed:
      return "could not be read whole";
    case FrameRefusal::notBitmap:
      return "not a BMP";
    case FrameRefusal::headerSize:
      return "a BMP header older or shorter than 40 bytes";
    case FrameRefusal::headerPastEnd:
      return "not a BMP (its header runs past the end)";
    case FrameRefusal::compressed:
      return "a compressed BMP";
    case FrameRefusal::planes:
      return "a BMP of more than one plane";
    case FrameRefusal::depth:
      return "a BMP of neither 8 nor 24 bits per pixel";
    case FrameRefusal::negativeWidth:
      return "a BMP of negative width";
    case FrameRefusal::rowsOutsideFile:
      return "a BMP whose pixel rows run past its end";
    case FrameRefusal::paletteTooLarge:
      return "a BMP of more than 256 colours";
    case FrameRefusal::paletteOutsideFile:
      return "a BMP whose palette runs past its end";
    case FrameRefusal::changedWhileRead:
      return "changed while it was read";
  }
  return "not a BMP";
}

FrameRefusal readFrame(FrameRecord& frame, PreviewSize preview) {
  plat::FileHandle file = plat::openForRead(frame.path);
  if (file == plat::kInvalidFile) return FrameRefusal::cannotOpen;
  const FrameRefusal why = loadFrameFile(frame, file, preview);
  plat::closeFile(file);
  return why;
}

uint8_t* parseFrameHeader(FrameRecord& frame, uint32_t fileSize, FrameRefusal& why) {
  const binio::ByteReader file(frame.fileData, fileSize);
  BmpHeader bmp;
  why = fromHeaderRefusal(parseBmpHeader(file, bmp));
  if (why != FrameRefusal::none) return nullptr;
  why = checkFrameHeader(file, bmp);
  if (why != FrameRefusal::none) return nullptr;

  const uint32_t colours = bmp.info.clrUsed == 0 ? kPaletteEntries : bmp.info.clrUsed;
  const uint64_t paletteBytes = bmp.info.bitCount == 8 ? uint64_t{colours} * 4 : 0;
  auto* block = static_cast<uint8_t*>(allocZeroed(kHeaderBlockSize));
  if (block == nullptr) {
    showOutOfMemory();
    why = FrameRefusal::outOfMemory;
    return nullptr;
  }
  // Longer headers (V4, V5) begin with the same 40 bytes, and only those are
  // kept.
  file.copy(bmpfile::kSize, bmpinfo::kSize, block);
  binio::putLe32(block + bmpinfo::kSizeField, bmpinfo::kSize);
  binio::putLe32(block + bmpinfo::kClrUsed, colours);
  if (paletteBytes != 0) {
    file.copy(bmpfile::kSize + uint64_t{bmp.info.size}, paletteBytes, block + kPaletteOffset);
  }
  return block;
}
