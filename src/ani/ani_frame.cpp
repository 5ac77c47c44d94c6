// A frame's pixels as a loader sees them: colour rows and AND mask rows,
// both bottom-up, turned into top-down pixels; or a PNG image decoded.
#include <algorithm>
#include <vector>

#include "ani/ani_reader.h"
#include "base/bytes.h"
#include "image/pixels.h"
#include "image/png_decode.h"
#include "image/row_unpacker.h"

namespace {

bool decodePngImage(const binio::ByteReader& in, const AniImage& image, uint32_t* colour,
                    uint8_t* mask) {
  if (!in.holds(image.imageAt, image.imageBytes)) return false;
  PngHeader header;
  std::vector<uint8_t> bgra;
  if (decodePng(in.at(image.imageAt), image.imageBytes, header, bgra) != Failure::none ||
      header.width != static_cast<uint32_t>(image.width) ||
      header.height != static_cast<uint32_t>(image.height)) {
    return false;
  }
  const size_t n = size_t{header.width} * header.height;
  for (size_t i = 0; i < n; ++i) colour[i] = binio::getLe32(&bgra[4 * i]);
  std::fill(mask, mask + n, uint8_t{0});
  return true;
}

}  // namespace

bool decodeAniFrame(const uint8_t* data, uint64_t size, const AniImage& frame, uint32_t* colour,
                    uint8_t* mask) {
  const binio::ByteReader in(data, size);
  if (frame.png) return frame.readable && decodePngImage(in, frame, colour, mask);
  const uint16_t bits = frame.header.bitCount;
  if (!frame.readable || !in.holds(frame.colourAt, frame.colourBytes) ||
      !in.holds(frame.maskAt, frame.maskBytesPresent) ||
      !in.holds(frame.paletteAt, uint64_t{frame.paletteEntries} * 4)) {
    return false;
  }
  // Indices past a short palette draw black.
  uint32_t palette[256] = {};
  const uint32_t entries = bits <= 8 ? std::min(frame.paletteEntries, 1u << bits) : 0;
  for (uint32_t i = 0; i < entries; ++i) {
    palette[i] = binio::getLe32(in.at(frame.paletteAt + 4 * uint64_t{i})) & 0x00FFFFFFu;
  }
  const auto w = static_cast<uint64_t>(frame.width);
  const auto h = static_cast<uint64_t>(frame.height);
  const auto stride = static_cast<uint64_t>(rowStride(frame.width, bits, 32));
  const auto maskRow = static_cast<uint64_t>(maskStride(frame.width));
  // A cursor's 32-bit pixels keep their fourth byte as it lies.
  constexpr uint32_t kMasks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
  const RowUnpacker unpacker(bits, palette, entries, kMasks);
  for (uint64_t y = 0; y < h; ++y) {
    const uint64_t row = h - 1 - y;  // rows are stored bottom-up
    unpacker.unpack(in.at(frame.colourAt + stride * row), frame.width, colour + y * w);
    const uint64_t maskRowAt = maskRow * row;
    for (uint64_t x = 0; x < w; ++x) {
      const uint64_t byte = maskRowAt + x / 8;
      mask[y * w + x] =
          byte < frame.maskBytesPresent ? (*in.at(frame.maskAt + byte) >> (7 - x % 8)) & 1 : 0;
    }
  }
  return true;
}

bool frameUsesAlpha(const AniImage& frame, const uint32_t* colour) {
  if (frame.png) return true;
  if (frame.header.bitCount != 32) return false;
  const uint64_t n = static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height);
  return std::any_of(colour, colour + n, [](uint32_t c) { return (c >> 24) != 0; });
}
