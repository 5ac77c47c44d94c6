#include "image/frame_reader.h"

#include <cstring>

#include "base/captions.h"
#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/pixels.h"
#include "platform/platform.h"

namespace {

void loadFrameFile(FrameRecord& frame, plat::FileHandle file) {
  const int64_t size = plat::fileSize(file);
  if (size < kMinFrameFileSize || size > kMaxFrameFileSize) return;
  frame.fileData = static_cast<uint8_t*>(allocZeroed(static_cast<uint64_t>(size)));
  if (frame.fileData == nullptr) {
    showOutOfMemory();
    return;
  }
  const auto wanted = static_cast<uint32_t>(size);
  if (plat::readBytes(file, frame.fileData, wanted) != wanted) {
    releaseBlock(frame.fileData);
    return;
  }
  frame.header = parseFrameHeader(frame, wanted);
  if (frame.header == nullptr) {
    releaseBlock(frame.fileData);
    return;
  }
  const uint32_t offBits = binio::getLe32(frame.fileData + bmpfile::kOffBits);
  frame.palette = frame.header + kPaletteOffset;
  frame.pixels = frame.fileData + offBits;
}

}  // namespace

void readFrame(FrameRecord& frame) {
  plat::FileHandle file = plat::openForRead(frame.path);
  if (file == plat::kInvalidFile) return;
  loadFrameFile(frame, file);
  plat::closeFile(file);
}

uint8_t* parseFrameHeader(FrameRecord& frame, uint32_t fileSize) {
  const binio::ByteReader file(frame.fileData, fileSize);
  uint8_t b = 0, m = 0;
  if (!file.u8(0, b) || !file.u8(1, m) || b != 'B' || m != 'M') return nullptr;

  uint64_t left = fileSize >= bmpfile::kSize ? fileSize - bmpfile::kSize : 0;
  frame.bytesLeft = static_cast<int32_t>(left);
  uint32_t infoSize = 0;
  if (!file.u32le(bmpfile::kSize, infoSize)) return nullptr;
  // Shorter (OS/2) headers lack the fields below. Longer ones (V4, V5) begin
  // with the same 40 bytes, and only those are kept.
  if (infoSize < bmpinfo::kSize || infoSize > left) return nullptr;
  left -= infoSize;
  frame.bytesLeft = static_cast<int32_t>(left);

  const uint64_t info = bmpfile::kSize;
  uint32_t compression = 0, clrUsed = 0, offBits = 0;
  uint16_t planes = 0, bitCount = 0;
  int32_t width = 0, height = 0;
  if (!file.u32le(info + bmpinfo::kCompression, compression) ||
      !file.u16le(info + bmpinfo::kPlanes, planes) ||
      !file.u16le(info + bmpinfo::kBitCount, bitCount) ||
      !file.i32le(info + bmpinfo::kWidth, width) || !file.i32le(info + bmpinfo::kHeight, height) ||
      !file.u32le(info + bmpinfo::kClrUsed, clrUsed) || !file.u32le(bmpfile::kOffBits, offBits)) {
    return nullptr;
  }
  if (compression != 0 || planes > 1 || (bitCount != 8 && bitCount != 24)) return nullptr;
  appState.is24Bit = bitCount == 24 ? 1 : 0;

  // Every later step reads the rows in place, so they must lie in the file.
  if (width < 0) return nullptr;
  const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const int64_t rowBytes = rowStride(width, bitCount, 32);
  if (!file.holds(offBits, 0)) return nullptr;
  if (rows != 0 && (rowBytes > static_cast<int64_t>(fileSize) ||
                    !file.holds(offBits, static_cast<uint64_t>(rowBytes * rows)))) {
    return nullptr;
  }

  const uint32_t colours = clrUsed == 0 ? kPaletteEntries : clrUsed;
  uint64_t paletteBytes = 0;
  if (bitCount == 8) {
    if (colours > kPaletteEntries) return nullptr;
    paletteBytes = uint64_t{colours} * 4;
    if (paletteBytes > left) return nullptr;
  }

  auto* block = static_cast<uint8_t*>(allocZeroed(kHeaderBlockSize));
  if (block == nullptr) {
    showOutOfMemory();
    return nullptr;
  }
  file.copy(info, bmpinfo::kSize, block);
  binio::putLe32(block + bmpinfo::kSizeField, bmpinfo::kSize);
  binio::putLe32(block + bmpinfo::kClrUsed, colours);
  if (paletteBytes != 0) {
    file.copy(info + infoSize, paletteBytes, block + kPaletteOffset);
    left -= paletteBytes;
    frame.bytesLeft = static_cast<int32_t>(left);
  }
  return block;
}
