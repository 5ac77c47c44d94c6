// Decodes BMP files into plain pixel surfaces for the preview: every layout a
// Windows bitmap loader takes (1, 4, 8, 16, 24 and 32 bits per pixel,
// bit-field masks, RLE8 and RLE4, bottom-up and top-down rows, core, 40-byte
// and V4/V5 headers), without any system call.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "image/bmp_header.h"

// Sides and pixel counts above these are refused, so that no input can ask
// for an unreasonable amount of memory or time. A preview shows at most
// 256 x 256 pixels; 4096 x 4096 in all keeps any file's decode under 64 MiB.
constexpr int32_t kMaxDecodedSide = 16384;
constexpr uint64_t kMaxDecodedPixels = uint64_t{4096} * 4096;

struct DecodedImage {
  // width * height values, top row first, 0x00RRGGBB (0xAARRGGBB from
  // decodeBmpWithAlpha)
  uint32_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// Decodes the file bytes. On success `image` holds a new block from
// allocZeroed that the caller owns; on failure it is left empty and nothing
// stays allocated.
bool decodeBmp(const uint8_t* data, uint64_t size, DecodedImage& image);

// decodeBmp with each pixel's alpha in its top byte: from the alpha mask of a
// bit-field bitmap (V3 headers and longer) or the fourth byte of a plain
// 32-bit one. Bitmaps without alpha come out opaque (255), and so do those
// whose alpha is 0 everywhere: many programs write 32-bit bitmaps with that
// byte left clear, and they mean an opaque picture.
// It takes the file's headers as parseBmpHeader gave them (without a
// refusal), so that a caller parses them once.
bool decodeBmpWithAlpha(const binio::ByteReader& in, const BmpHeader& bmp, DecodedImage& image);

// The width and height decodeBmp would give the bytes, found from the parsed
// headers without decoding or allocating: true exactly when decodeBmp
// succeeds (the heap permitting). On failure both sides are 0.
bool measureBmp(const binio::ByteReader& in, const BmpHeader& bmp, int32_t& width, int32_t& height);
