// Pixel addressing and colour order shared by every step of the build.
//
// Positions are (x, y) with y counted from the top; buffers hold their rows
// bottom-up as DIBs do. Every row, 8-bit, 24-bit or mask, is padded to a
// multiple of 4 bytes. Offsets are computed in 64-bit so that no header value
// can make them wrap.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/colour.h"

// Row length in bytes of `width` pixels of `bits` each, aligned to
// `alignBits` (a power of two). Negative widths give 0 or less.
constexpr int64_t rowStride(int64_t width, int32_t bits, int32_t alignBits) {
  return ((width * bits + alignBits - 1) & ~static_cast<int64_t>(alignBits - 1)) / 8;
}

// Mask row length: one bit per pixel, padded to 32 bits.
constexpr int64_t maskStride(int64_t width) { return width <= 0 ? 0 : ((width + 31) >> 5) << 2; }

constexpr bool insideFrame(int64_t width, int64_t height, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < width && y < height;
}

// Offset of row y (counted from the top) in a bottom-up buffer of `height`
// rows of `stride` bytes: every step addresses rows through this.
constexpr int64_t rowOffset(int64_t stride, int64_t height, int64_t y) {
  return stride * (height - y - 1);
}

inline int64_t pixelOffset8(int32_t width, int32_t height, int32_t x, int32_t y) {
  return rowOffset(rowStride(width, 8, 32), height, y) + x;
}

inline int64_t pixelOffset24(int32_t width, int32_t height, int32_t x, int32_t y) {
  return rowOffset(rowStride(width, 24, 32), height, y) + static_cast<int64_t>(x) * 3;
}

// The colour of a 24-bit pixel in DIB order (blue, green, red in memory),
// and its store; the colour's top byte is dropped.
inline uint32_t load24(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
}

inline void store24(uint8_t* p, uint32_t c) {
  const auto low = static_cast<uint16_t>(c);
  std::memcpy(p, &low, 2);  // both bytes in one store on little-endian machines
  if constexpr (std::endian::native != std::endian::little) {
    p[0] = static_cast<uint8_t>(c);
    p[1] = static_cast<uint8_t>(c >> 8);
  }
  p[2] = static_cast<uint8_t>(c >> 16);
}

// load24 with one 4-byte read, for a pixel that is not the last of its row
// (its fourth byte is then the next pixel's or the row padding's).
inline uint32_t load24Within(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;
  } else {
    return load24(p);
  }
}

// Pixel x of a 24-bit row of `width` pixels, with one 4-byte read for every
// pixel but the row's last.
inline uint32_t load24At(const uint8_t* row, int32_t x, int32_t width) {
  const uint8_t* p = row + 3 * static_cast<ptrdiff_t>(x);
  return x + 1 < width ? load24Within(p) : load24(p);
}

// Palette index at (x, y); 0 outside the frame.
inline uint8_t getPixel8(const uint8_t* pixels, int32_t width, int32_t height, int32_t x,
                         int32_t y) {
  if (!insideFrame(width, height, x, y)) return 0;
  return pixels[pixelOffset8(width, height, x, y)];
}

// Colour at (x, y) in DIB order with a zero top byte; 0 outside the frame.
inline uint32_t getPixel24(const uint8_t* pixels, int32_t width, int32_t height, int32_t x,
                           int32_t y) {
  if (!insideFrame(width, height, x, y)) return 0;
  return load24(pixels + pixelOffset24(width, height, x, y));
}

inline void setPixel8(uint8_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                      uint8_t index) {
  if (!insideFrame(width, height, x, y)) return;
  pixels[pixelOffset8(width, height, x, y)] = index;
}

// Stores blue, green and red; the colour's top byte is dropped.
inline void setPixel24(uint8_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                       uint32_t colour) {
  if (!insideFrame(width, height, x, y)) return;
  store24(pixels + pixelOffset24(width, height, x, y), colour);
}

// Sets the AND-mask bit of (x, y); the leftmost pixel is the high bit. The
// caller passes positions inside the frame.
inline void setMaskBit(uint8_t* mask, int32_t width, int32_t height, int32_t x, int32_t y) {
  mask[rowOffset(maskStride(width), height, y) + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
}
