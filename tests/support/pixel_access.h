// Pixel access by position for the tests: reading and setting single
// pixels and mask bits of bottom-up buffers, positions counted from the top.
#pragma once

#include <cstdint>

#include "image/pixels.h"

constexpr bool insideFrame(int64_t width, int64_t height, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < width && y < height;
}

inline int64_t pixelOffset8(int32_t width, int32_t height, int32_t x, int32_t y) {
  return rowOffset(rowStride(width, 8, 32), height, y) + x;
}

inline int64_t pixelOffset24(int32_t width, int32_t height, int32_t x, int32_t y) {
  return rowOffset(rowStride(width, 24, 32), height, y) + static_cast<int64_t>(x) * 3;
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
