#include "frames/alpha_steps.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/bytes.h"
#include "base/runtime.h"
#include "frames/mask.h"
#include "frames/pixel_buffers.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

namespace {

constexpr int kBits = 32;

// A pixel as 0xAARRGGBB, from and to its 4 bytes (blue first).
inline uint32_t loadPixel(const uint8_t* p) { return binio::getLe32(p); }
inline void storePixel(uint8_t* p, uint32_t c) { binio::putLe32(p, c); }

int64_t alphaStride(int32_t w) { return rowStride(w, kBits, 32); }

// Gives the frame `buffer` (w x h pixels) as its rows and a 32-bit header.
void adoptAlphaPixels(FrameRecord& f, uint8_t* buffer, int32_t w, int32_t h) {
  adoptPixelBuffer(f, buffer);
  setHeaderWidth(f.header, w);
  setHeaderHeight(f.header, h);
  binio::putLe16(f.header + bmpinfo::kBitCount, kBits);
  binio::putLe32(f.header + bmpinfo::kCompression, 0);
  binio::putLe32(f.header + bmpinfo::kSizeImage, 0);
  binio::putLe32(f.header + bmpinfo::kClrUsed, 0);
}

bool promote(FrameRecord& f) {
  const int32_t w = headerWidth(f.header);
  const int32_t h = headerHeight(f.header);
  const uint16_t bits = headerBitCount(f.header);
  auto* buffer = static_cast<uint8_t*>(allocZeroed(pixelBufferBytes(w, h, kBits)));
  if (buffer == nullptr) return false;
  const int64_t inStride = rowStride(w, bits, 32);
  const int64_t outStride = alphaStride(w);
  for (int64_t row = 0; row < h; ++row) {
    const uint8_t* in = f.pixels + inStride * row;
    uint8_t* out = buffer + outStride * row;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t rgb = bits == 8 ? binio::getLe32(f.palette + 4 * in[x]) & 0xFFFFFFu
                                     : load24(in + 3 * int64_t{x});
      storePixel(out + 4 * int64_t{x}, 0xFF000000u | rgb);
    }
  }
  adoptAlphaPixels(f, buffer, w, h);
  return true;
}

// Straight-alpha "over": `top` laid on `under`. Colours are averaged by
// the share each layer shows, rounded to nearest; nothing shows: 0.
uint32_t over(uint32_t top, uint32_t under) {
  const uint32_t at = top >> 24;
  const uint32_t au = under >> 24;
  const uint32_t weightTop = at * 255;
  const uint32_t weightUnder = au * (255 - at);
  const uint32_t total = weightTop + weightUnder;  // alpha out, times 255
  if (total == 0) return 0;
  uint32_t out = ((total + 127) / 255) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint64_t ct = (top >> shift) & 0xFF;
    const uint64_t cu = (under >> shift) & 0xFF;
    const uint64_t c = (ct * weightTop + cu * weightUnder + total / 2) / total;
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

}  // namespace

bool frameHasAlpha(const FrameRecord& f) { return headerBitCount(f.header) == kBits; }

bool promoteFrameToAlpha(FrameRecord& f) { return frameHasAlpha(f) || promote(f); }

AlphaColours::AlphaColours(const Settings& settings)
    : flags_(settings, settings.replace), masking_(maskingIsOn(settings)) {}

void AlphaColours::settle(FrameRecord& f) const {
  const ColourFlags::Probe probe(flags_);
  const int64_t count = int64_t{headerWidth(f.header)} * headerHeight(f.header);
  for (int64_t i = 0; i < count; ++i) {
    uint8_t* p = f.pixels + 4 * i;
    const uint32_t c = loadPixel(p);
    const uint32_t settled =
        flags_.small() ? probe.settle<true>(c & 0xFFFFFFu) : probe.settle<false>(c & 0xFFFFFFu);
    const bool hidden = (settled & ColourFlags::kHiddenAfter) != 0;
    const uint32_t rgb = settled & 0xFFFFFFu;
    const bool clear = (masking_ && hidden) || (c >> 24) == 0;
    storePixel(p, clear ? 0 : (c & 0xFF000000u) | rgb);
  }
}

ContentRect alphaBounds(const FrameRecord& f) {
  const int32_t w = headerWidth(f.header);
  const int32_t h = headerHeight(f.header);
  ContentRect r = kEmptyRect;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = f.pixels + rowOffset(alphaStride(w), h, y);
    int32_t left = 0;
    while (left < w && row[4 * int64_t{left} + 3] == 0) ++left;
    if (left == w) continue;
    int32_t right = w - 1;
    while (row[4 * int64_t{right} + 3] == 0) --right;
    r = unionRect(r, ContentRect{left, y, right, y});
  }
  return r;
}

bool cropAlphaFrame(FrameRecord& f, const ContentRect& r) {
  const int32_t w = r.right - r.left + 1;
  const int32_t h = r.bottom - r.top + 1;
  auto* buffer = static_cast<uint8_t*>(allocZeroed(pixelBufferBytes(w, h, kBits)));
  if (buffer == nullptr) return false;
  const int32_t fw = headerWidth(f.header);
  const int32_t fh = headerHeight(f.header);
  // Positions the frame does not cover stay 0: transparent.
  for (int32_t y = 0; y < h; ++y) {
    const int64_t sy = int64_t{y} + r.top;
    if (sy >= fh) break;
    const int64_t from = std::max<int64_t>(r.left, 0);
    const int64_t to = std::min<int64_t>(int64_t{r.right} + 1, fw);
    if (from >= to) continue;
    std::memcpy(buffer + rowOffset(alphaStride(w), h, y) + 4 * (from - r.left),
                f.pixels + rowOffset(alphaStride(fw), fh, sy) + 4 * from,
                static_cast<size_t>(4 * (to - from)));
  }
  adoptAlphaPixels(f, buffer, w, h);
  return true;
}

bool mergeAlphaFrame(const FrameRecord& first, FrameRecord& f) {
  const int32_t w1 = headerWidth(first.header);
  const int32_t h1 = headerHeight(first.header);
  const int32_t wk = headerWidth(f.header);
  const int32_t hk = headerHeight(f.header);
  auto* buffer = static_cast<uint8_t*>(allocZeroed(pixelBufferBytes(w1, h1, kBits)));
  if (buffer == nullptr) return false;
  for (int32_t y = 0; y < h1; ++y) {
    const uint8_t* base = first.pixels + rowOffset(alphaStride(w1), h1, y);
    const uint8_t* own = y < hk ? f.pixels + rowOffset(alphaStride(wk), hk, y) : nullptr;
    uint8_t* out = buffer + rowOffset(alphaStride(w1), h1, y);
    for (int32_t x = 0; x < w1; ++x) {
      // Where the frame does not reach, it shows nothing of its own.
      const uint32_t top = own != nullptr && x < wk ? loadPixel(own + 4 * int64_t{x}) : 0;
      storePixel(out + 4 * int64_t{x}, over(top, loadPixel(base + 4 * int64_t{x})));
    }
  }
  adoptAlphaPixels(f, buffer, w1, h1);
  return true;
}

bool buildAlphaMask(FrameRecord& f) {
  const int32_t w = headerWidth(f.header);
  const int32_t h = headerHeight(f.header);
  const int64_t pixelBytes = pixelBufferBytes(w, h, kBits);
  const int64_t maskRow = maskStride(w);
  f.pixelBytes = static_cast<int32_t>(pixelBytes);
  f.maskBytes = static_cast<int32_t>(maskRow * h);
  f.maskBits = static_cast<uint8_t*>(allocZeroed(static_cast<uint64_t>(f.maskBytes)));
  if (f.maskBits == nullptr) return false;
  maskFromAlpha(f.pixels, alphaStride(w), w, h, f.maskBits);
  return true;
}

bool promoteToAlpha(std::span<FrameRecord> frames) {
  return std::all_of(frames.begin(), frames.end(), promoteFrameToAlpha);
}

void settleAlphaColours(const Settings& settings, std::span<FrameRecord> frames) {
  const AlphaColours colours(settings);
  for (FrameRecord& f : frames) colours.settle(f);
}

ContentRect unionAlphaBounds(std::span<const FrameRecord> frames) {
  ContentRect all = kEmptyRect;
  for (const FrameRecord& f : frames) all = unionRect(all, alphaBounds(f));
  return all;
}

bool cropAlphaFrames(std::span<FrameRecord> frames, const ContentRect& r) {
  return std::all_of(frames.begin(), frames.end(),
                     [&](FrameRecord& f) { return cropAlphaFrame(f, r); });
}

bool mergeAlphaFrames(std::span<FrameRecord> frames) {
  for (size_t k = 1; k < frames.size(); ++k) {
    if (!mergeAlphaFrame(frames[0], frames[k])) return false;
  }
  return true;
}

bool buildAlphaMasks(std::span<FrameRecord> frames) {
  return std::all_of(frames.begin(), frames.end(), buildAlphaMask);
}
