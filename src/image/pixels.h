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

// Offset of row y (counted from the top) in a bottom-up buffer of `height`
// rows of `stride` bytes: every step addresses rows through this.
constexpr int64_t rowOffset(int64_t stride, int64_t height, int64_t y) {
  return stride * (height - y - 1);
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
