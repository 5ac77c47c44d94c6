// Builds BMP files in memory for tests: any depth, header size, palette
// length, pixel offset, orientation and truncation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BmpLayout {
  int32_t width = 4;
  int32_t height = 4;        // negative: top-down rows
  uint16_t bitCount = 24;    // 1, 4, 8, 16, 24, 32
  uint32_t headerSize = 40;  // 12 (core), 40, 108 (V4), 124 (V5)
  uint16_t planes = 1;
  uint32_t compression = 0;  // 0 = BI_RGB, 3 = BI_BITFIELDS
  uint32_t clrUsed = 0;      // written into the header as is
  // Palette entries in DIB order (0x00RRGGBB, reserved byte in the top).
  // Written as given, whatever clrUsed says.
  std::vector<uint32_t> palette;
  // BI_BITFIELDS masks (red, green, blue), written behind a 40-byte header
  // or inside a V4/V5 header.
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
  uint32_t alphaMask = 0;        // written in headers of 56 bytes and more
  uint32_t gapAfterPalette = 0;  // bytes between the palette and the pixels
  int64_t offBitsOverride = -1;  // when >= 0, written as bfOffBits
};

// The value of pixel (x, y), y counted from the top: a palette index for
// depths up to 8, otherwise the colour 0x00RRGGBB (16-bit: packed 5-5-5
// unless masks say otherwise, given as the raw 16-bit value).
using PixelFn = uint32_t (*)(int32_t x, int32_t y);

// Returns the file bytes. Rows are padded to 4 bytes as BMP requires.
std::string makeBmp(const BmpLayout& layout, PixelFn pixel);

// Same, with pixel values from a top-down table of width * |height| values.
std::string makeBmp(const BmpLayout& layout, const std::vector<uint32_t>& topDownPixels);

// Little-endian access to file bytes held in a string (tests patch and
// inspect files through these).
uint32_t le32(const std::string& bytes, size_t at);
void setLe32(std::string& bytes, size_t at, uint32_t value);

// Row length of a BMP row in bytes.
uint32_t bmpRowBytes(int32_t width, uint16_t bitCount);

// A grey-ramp palette of n entries (entry i = i,i,i scaled to 0..255).
std::vector<uint32_t> greyPalette(int n);
