#include "image/bmp_header.h"

Failure parseBmpHeader(const binio::ByteReader& file, BmpHeader& out) {
  out = BmpHeader{};
  uint8_t b = 0, m = 0;
  if (!file.u8(0, b) || !file.u8(1, m) || b != 'B' || m != 'M') {
    return Failure::notBitmap;
  }
  BitmapInfoHeader& h = out.info;
  constexpr uint64_t at = bmpfile::kSize;
  if (!file.u32le(bmpfile::kOffBits, out.offBits) || !file.u32le(at, h.size)) {
    return Failure::notBitmap;
  }
  if (h.size != BmpHeader::kCoreHeaderSize && h.size < bmpinfo::kSize) {
    return Failure::headerSize;
  }
  if (!file.holds(at, h.size)) return Failure::headerPastEnd;
  if (out.core()) {
    // The core header's sides are unsigned: its rows are always bottom-up.
    h.width = binio::getLe16(file.at(at + 4));
    h.height = binio::getLe16(file.at(at + 6));
    h.planes = binio::getLe16(file.at(at + 8));
    h.bitCount = binio::getLe16(file.at(at + 10));
    return Failure::none;
  }
  readInfoHeader(file, at, h);
  return Failure::none;
}

bool readInfoHeader(const binio::ByteReader& in, uint64_t at, BitmapInfoHeader& h) {
  if (!in.holds(at, bmpinfo::kSize)) return false;
  const uint8_t* p = in.at(at);
  h.size = binio::getLe32(p + bmpinfo::kSizeField);
  h.width = static_cast<int32_t>(binio::getLe32(p + bmpinfo::kWidth));
  h.height = static_cast<int32_t>(binio::getLe32(p + bmpinfo::kHeight));
  h.planes = binio::getLe16(p + bmpinfo::kPlanes);
  h.bitCount = binio::getLe16(p + bmpinfo::kBitCount);
  h.compression = binio::getLe32(p + bmpinfo::kCompression);
  h.sizeImage = binio::getLe32(p + bmpinfo::kSizeImage);
  h.xPelsPerMeter = static_cast<int32_t>(binio::getLe32(p + bmpinfo::kXPelsPerMeter));
  h.yPelsPerMeter = static_cast<int32_t>(binio::getLe32(p + bmpinfo::kXPelsPerMeter + 4));
  h.clrUsed = binio::getLe32(p + bmpinfo::kClrUsed);
  h.clrImportant = binio::getLe32(p + bmpinfo::kClrImportant);
  return true;
}
