// Decodes PNG files, the same on every platform: every colour type and bit
// depth, palettes with tRNS transparency, interlaced images; only the first
// image of an animated PNG. Pixels come out as stored: no gamma or colour
// profile is applied, and 16-bit samples keep their high byte.
//
// The sizes are checked from the IHDR chunk before anything is decoded, so
// a small file that declares a huge image is refused at once; the decoder
// below also gets no block of memory larger than pnglimits::kBlockBytes,
// which bounds what a damaged or hostile zlib stream can make it expand.
#pragma once

#include <cstdint>
#include <vector>

#include "base/failure.h"

namespace pnglimits {
constexpr uint32_t kSide = 1024;                      // widths and heights above are refused
constexpr uint64_t kBlockBytes = uint64_t{32} << 20;  // any one block the decoder asks for
}  // namespace pnglimits

// A PNG is refused as Failure::notBitmap (no PNG signature), damagedPng (a
// header or data that no PNG holds) or tooManyPixels (a side beyond
// pnglimits::kSide).

// The IHDR chunk.
struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 0;
  uint8_t colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGB + alpha
  uint8_t interlace = 0;   // 0 none, 1 Adam7
};

// True when the bytes begin with the 8-byte PNG signature.
bool hasPngSignature(const uint8_t* data, uint64_t size);

// Bits per pixel as stored (channels times bit depth): 1 to 64.
uint32_t pngBitsPerPixel(const PngHeader& header);

// Reads and checks the signature and the IHDR chunk, without decoding.
Failure readPngHeader(const uint8_t* data, uint64_t size, PngHeader& header);

// Decodes the image into width * height pixels, top row first, 4 bytes
// each: blue, green, red and straight alpha (opaque images get 255).
// On refusal `bgra` is left empty.
Failure decodePng(const uint8_t* data, uint64_t size, PngHeader& header,
                  std::vector<uint8_t>& bgra);
