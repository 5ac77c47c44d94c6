#include "image/bmp_decode.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/bmp_header.h"
#include "image/pixels.h"
#include "image/row_unpacker.h"

namespace {

using binio::ByteReader;
using InfoHeader = BitmapInfoHeader;

constexpr uint64_t kFileHeaderSize = bmpfile::kSize;

constexpr uint32_t kCoreHeaderSize = BmpHeader::kCoreHeaderSize;
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kV2HeaderSize = 52;    // + RGB masks
constexpr uint32_t kV3HeaderSize = 56;    // + alpha mask
constexpr uint32_t kV4HeaderSize = 108;   // BITMAPV4HEADER
constexpr uint32_t kV5HeaderSize = 124;   // BITMAPV5HEADER

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

// The header sizes a Windows bitmap loader knows.
bool knownHeaderSize(uint32_t size) {
  return size == kCoreHeaderSize || size == kInfoHeaderSize || size == kV2HeaderSize ||
         size == kV3HeaderSize || size == kV4HeaderSize || size == kV5HeaderSize;
}

bool depthAndCompressionFit(const InfoHeader& h) {
  const uint16_t b = h.bitCount;
  if (h.size == kCoreHeaderSize) return b == 1 || b == 4 || b == 8 || b == 24;
  switch (h.compression) {
    case kBiRgb:
      return b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32;
    case kBiRle8:
      return b == 8 && h.height > 0;  // RLE rows are bottom-up only
    case kBiRle4:
      return b == 4 && h.height > 0;
    case kBiBitfields:
      return b == 16 || b == 32;
    default:
      return false;  // JPEG, PNG and the rest are not bitmaps a loader takes
  }
}

struct Layout {
  InfoHeader header;
  int32_t width = 0;
  int32_t rows = 0;  // the height without its sign
  bool topDown = false;
  uint32_t palette[256] = {};
  uint32_t paletteCount = 0;  // entries read; indices beyond them are black
  uint32_t masks[3] = {};     // red, green, blue for 16 and 32 bits per pixel
  uint32_t alphaMask = 0;     // 32 bits per pixel only
  uint64_t pixelOffset = 0;
};

// From the file's headers as parseBmpHeader gave them.
bool readLayout(const ByteReader& in, const BmpHeader& bmp, Layout& l) {
  if (!knownHeaderSize(bmp.info.size)) return false;
  const uint32_t offBits = bmp.offBits;
  InfoHeader& h = l.header;
  h = bmp.info;
  if (h.planes > 1) return false;
  if (!depthAndCompressionFit(h)) return false;

  const int64_t height = h.height;
  l.topDown = height < 0;
  const int64_t rows = height < 0 ? -height : height;
  if (h.width <= 0 || rows == 0) return false;
  if (h.width > kMaxDecodedSide || rows > kMaxDecodedSide) return false;
  if (static_cast<uint64_t>(h.width) * static_cast<uint64_t>(rows) > kMaxDecodedPixels) {
    return false;
  }
  l.width = h.width;
  l.rows = static_cast<int32_t>(rows);

  uint64_t paletteAt = kFileHeaderSize + h.size;
  if (h.bitCount == 16 || h.bitCount == 32) {
    if (h.compression == kBiBitfields) {
      // Behind a 40-byte header the three masks follow it; longer headers
      // hold them at the same place inside.
      const uint64_t masksAt = kFileHeaderSize + kInfoHeaderSize;
      if (!in.u32le(masksAt, l.masks[0]) || !in.u32le(masksAt + 4, l.masks[1]) ||
          !in.u32le(masksAt + 8, l.masks[2])) {
        return false;
      }
      if (h.size == kInfoHeaderSize) paletteAt += 12;
      // The alpha mask follows the three inside a V3 header or a longer one.
      if (h.bitCount == 32 && h.size >= kV3HeaderSize && !in.u32le(masksAt + 12, l.alphaMask)) {
        return false;
      }
    } else if (h.bitCount == 16) {
      l.masks[0] = 0x7C00;
      l.masks[1] = 0x03E0;
      l.masks[2] = 0x001F;
    } else {
      l.masks[0] = 0x00FF0000;
      l.masks[1] = 0x0000FF00;
      l.masks[2] = 0x000000FF;
      l.alphaMask = 0xFF000000;
    }
  }

  // A palette larger than the depth can index is cut to what it can index.
  uint64_t entries = h.clrUsed;
  const uint64_t entryBytes = h.size == kCoreHeaderSize ? 3 : 4;
  if (h.bitCount <= 8) {
    const uint64_t most = uint64_t{1} << h.bitCount;
    if (entries == 0 || entries > most) entries = most;
    if (!in.holds(paletteAt, entries * entryBytes)) return false;
    for (uint64_t i = 0; i < entries; ++i) {
      const uint8_t* e = in.at(paletteAt + i * entryBytes);
      l.palette[i] = static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0];
    }
    l.paletteCount = static_cast<uint32_t>(entries);
  }
  // Without an offset the pixels follow the palette (which deeper bitmaps
  // may carry as well, for display on palette devices).
  l.pixelOffset = offBits != 0 ? offBits : paletteAt + entries * entryBytes;
  return in.holds(l.pixelOffset, 0);
}

uint32_t paletteColor(const Layout& l, uint32_t index) {
  return index < l.paletteCount ? l.palette[index] : 0;
}

// With `withAlpha`, 32-bit pixels keep their alpha channel in the top byte.
bool decodeRows(const ByteReader& in, const Layout& l, uint32_t* out, bool withAlpha) {
  const uint16_t bpp = l.header.bitCount;
  const auto rowBytes = static_cast<uint64_t>(rowStride(l.width, bpp, 32));
  if (!in.holds(l.pixelOffset, rowBytes * static_cast<uint64_t>(l.rows))) return false;
  const uint32_t masks[4] = {l.masks[0], l.masks[1], l.masks[2], withAlpha ? l.alphaMask : 0};
  const RowUnpacker unpacker(bpp, l.palette, l.paletteCount, masks);
  for (int32_t r = 0; r < l.rows; ++r) {
    const uint8_t* row = in.at(l.pixelOffset + rowBytes * static_cast<uint64_t>(r));
    const int32_t y = l.topDown ? r : l.rows - 1 - r;
    unpacker.unpack(row, l.width, out + static_cast<uint64_t>(y) * static_cast<uint64_t>(l.width));
  }
  return true;
}

// Run-length encoded rows, bottom-up. Pixels the codes skip or never reach
// stay black; codes past the right edge or the top row are cut off; data
// that ends early ends the picture there.
void decodeRunLength(const ByteReader& in, const Layout& l, uint32_t* out) {
  const bool fourBit = l.header.compression == kBiRle4;
  int64_t x = 0;
  int64_t y = 0;  // counted from the bottom row
  auto put = [&](int64_t at, uint32_t index) {
    if (at >= 0 && at < l.width && y >= 0 && y < l.rows) {
      const uint64_t row = static_cast<uint64_t>(l.rows - 1 - y);
      out[row * static_cast<uint64_t>(l.width) + static_cast<uint64_t>(at)] =
          paletteColor(l, index);
    }
  };
  uint64_t pos = l.pixelOffset;
  while (y < l.rows) {
    uint8_t count = 0, value = 0;
    if (!in.u8(pos, count) || !in.u8(pos + 1, value)) return;
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x + i < l.width; ++i) {
        put(x + i, fourBit ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // move right and up
        uint8_t dx = 0, dy = 0;
        if (!in.u8(pos, dx) || !in.u8(pos + 1, dy)) return;
        pos += 2;
        x += dx;
        y += dy;
        break;
      }
      default: {  // a literal run of `value` pixels, padded to a 16-bit boundary
        const uint64_t bytes = fourBit ? (value + 1u) / 2 : value;
        const uint64_t padded = (bytes + 1) & ~uint64_t{1};
        if (!in.holds(pos, bytes)) return;
        const uint8_t* run = in.at(pos);
        for (int i = 0; i < value && x + i < l.width; ++i) {
          put(x + i, fourBit ? ((i & 1) ? run[i >> 1] & 0x0F : run[i >> 1] >> 4) : run[i]);
        }
        x += value;
        pos += padded;
      }
    }
  }
}

bool runLength(const Layout& l) {
  return l.header.compression == kBiRle8 || l.header.compression == kBiRle4;
}

// The layout, and for uncompressed rows the check that they all lie in the
// file: what decides success before any pixel is decoded.
bool readCheckedLayout(const ByteReader& in, const BmpHeader& bmp, Layout& layout) {
  if (!readLayout(in, bmp, layout)) return false;
  if (runLength(layout)) return true;
  const auto rowBytes = static_cast<uint64_t>(rowStride(layout.width, layout.header.bitCount, 32));
  return in.holds(layout.pixelOffset, rowBytes * layout.rows);
}

}  // namespace

bool measureBmp(const ByteReader& in, const BmpHeader& bmp, int32_t& width, int32_t& height) {
  width = 0;
  height = 0;
  Layout layout;
  if (!readCheckedLayout(in, bmp, layout)) return false;
  width = layout.width;
  height = layout.rows;
  return true;
}

namespace {

bool decode(const ByteReader& in, const BmpHeader& bmp, DecodedImage& image, bool withAlpha) {
  image = DecodedImage{};
  Layout layout;
  if (!readCheckedLayout(in, bmp, layout)) return false;
  const uint64_t pixelCount = static_cast<uint64_t>(layout.width) * layout.rows;
  auto* pixels = static_cast<uint32_t*>(allocZeroed(pixelCount * sizeof(uint32_t)));
  if (pixels == nullptr) return false;
  if (runLength(layout)) {
    decodeRunLength(in, layout, pixels);
  } else if (!decodeRows(in, layout, pixels, withAlpha)) {
    freeBlock(pixels);
    return false;
  }
  if (withAlpha) {
    const bool anyAlpha =
        std::any_of(pixels, pixels + pixelCount, [](uint32_t c) { return (c >> 24) != 0; });
    if (!anyAlpha) {
      for (uint64_t i = 0; i < pixelCount; ++i) pixels[i] |= 0xFF000000u;
    }
  }
  image.pixels = pixels;
  image.width = layout.width;
  image.height = layout.rows;
  return true;
}

}  // namespace

bool decodeBmp(const uint8_t* data, uint64_t size, DecodedImage& image) {
  image = DecodedImage{};
  if (data == nullptr) return false;
  const ByteReader in(data, size);
  BmpHeader bmp;
  return parseBmpHeader(in, bmp) == Failure::none && decode(in, bmp, image, false);
}

bool decodeBmpWithAlpha(const ByteReader& in, const BmpHeader& bmp, DecodedImage& image) {
  return decode(in, bmp, image, true);
}
