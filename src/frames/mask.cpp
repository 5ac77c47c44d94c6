#include "frames/mask.h"

#include <cstdint>
#include <limits>

#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

int64_t framePixelBytes(int32_t width, int32_t height, bool is24Bit) {
  return rowStride(width, is24Bit ? 24 : 8, 32) * height;
}

int64_t frameMaskBytes(int32_t width, int32_t height) { return maskStride(width) * height; }

namespace {

constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();

void markTransparentPixels24(FrameRecord& frame, int32_t w, int32_t h, const ColourSet& set) {
  const int64_t stride = rowStride(w, 24, 32);
  const int64_t maskRow = maskStride(w);
  for (int64_t row = 0; row < h; ++row) {
    uint8_t* p = frame.pixels + stride * row;
    uint8_t* bits = frame.maskBits + maskRow * row;
    for (int32_t x = 0; x < w; ++x, p += 3) {
      if (set.contains(load24(p))) {
        store24(p, 0);
        bits[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
      }
    }
  }
}

void markTransparentPixels8(FrameRecord& frame, int32_t w, int32_t h, const ColourSet& set) {
  bool transparent[256];
  markTransparentIndices(frame.palette, set, transparent);
  const int64_t stride = rowStride(w, 8, 32);
  const int64_t maskRow = maskStride(w);
  for (int64_t row = 0; row < h; ++row) {
    const uint8_t* p = frame.pixels + stride * row;
    uint8_t* bits = frame.maskBits + maskRow * row;
    for (int32_t x = 0; x < w; ++x) {
      if (transparent[p[x]]) bits[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
  }
}

}  // namespace

Failure allocateMask(FrameRecord& frame, bool is24) {
  const int32_t w = headerWidth(frame.header);
  const int32_t h = headerHeight(frame.header);
  const int64_t pixelBytes = framePixelBytes(w, h, is24);
  const int64_t maskBytes = frameMaskBytes(w, h);
  const bool fits = pixelBytes <= kMaxCount && maskBytes <= kMaxCount && pixelBytes >= -kMaxCount &&
                    maskBytes >= -kMaxCount;
  frame.pixelBytes = fits ? static_cast<int32_t>(pixelBytes) : 0;
  frame.maskBytes = fits ? static_cast<int32_t>(maskBytes) : 0;
  if (!fits) return Failure::maskOutOfMemory;
  if (w < 0 || h < 0) return Failure::maskBadSize;
  frame.maskBits = static_cast<uint8_t*>(allocZeroed(static_cast<uint64_t>(maskBytes)));
  if (frame.maskBits == nullptr) return Failure::maskOutOfMemory;
  return Failure::none;
}

bool maskingIsOn(const Settings& settings) {
  return settings.transparent && !settings.transColors.empty();
}

Failure buildMask(const Settings& settings, FrameRecord& frame, bool is24) {
  const Failure outcome = allocateMask(frame, is24);
  if (outcome != Failure::none) return outcome;
  const int32_t w = headerWidth(frame.header);
  const int32_t h = headerHeight(frame.header);
  // Without columns there is nothing to mark, however many rows there are.
  if (!maskingIsOn(settings) || w == 0) return Failure::none;
  ColourSet set;
  loadTransparentColours(settings, set);
  // Rows are walked in memory order; each pixel's test depends only on its
  // own colour, so the order does not change the result.
  if (is24) {
    markTransparentPixels24(frame, w, h, set);
  } else {
    markTransparentPixels8(frame, w, h, set);
  }
  return Failure::none;
}

void maskFromAlpha(const uint8_t* rows, int64_t stride, int32_t width, int32_t height,
                   uint8_t* mask) {
  const int64_t maskRow = maskStride(width);
  for (int64_t row = 0; row < height; ++row) {
    const uint8_t* p = rows + stride * row;
    uint8_t* bits = mask + maskRow * row;
    for (int32_t x = 0; x < width; ++x) {
      if (p[4 * int64_t{x} + 3] == 0) bits[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
  }
}
