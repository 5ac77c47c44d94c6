#include "frames/bounds.h"

#include "frames/pixel_buffers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/frame_record.h"
#include "base/runtime.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

bool rectIsEmpty(const ContentRect& r) { return r.right < r.left || r.bottom < r.top; }

ContentRect unionRect(const ContentRect& a, const ContentRect& b) {
  const bool aEmpty = rectIsEmpty(a);
  const bool bEmpty = rectIsEmpty(b);
  if (aEmpty && bEmpty) return kEmptyRect;
  if (aEmpty) return b;
  if (bEmpty) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

namespace {

// The bounds of the pixels that are not transparent: the first and last
// rows and columns holding one; kEmptyRect where a frame has none.
// `opaque(row, x)` tells whether pixel x of a row (as `rowAt(y)` gives it,
// y from the top) is not transparent.
//
// The rows are walked in memory order and each pixel is tested at most
// twice; the result is the same as scanning whole columns from the left and
// the right and whole rows from the top and the bottom, each scan stopping
// at its first line that holds an opaque pixel.
template <typename RowAt, typename Opaque>
ContentRect scanBounds(int32_t w, int32_t h, RowAt rowAt, Opaque opaque) {
  // A frame without columns or rows has no pixel to test (and its other
  // size may be anything).
  if (w <= 0 || h <= 0) return kEmptyRect;
  auto rowHasContent = [&](int32_t y) {
    const uint8_t* row = rowAt(y);
    int32_t x = 0;
    // Four pixels a test round: whole rows are what most frames are made of.
    for (; x + 4 <= w; x += 4) {
      // Bitwise on purpose: all four tests run, without a branch each.
      if (int{opaque(row, x)} | int{opaque(row, x + 1)} | int{opaque(row, x + 2)} |
          int{opaque(row, x + 3)}) {
        return true;
      }
    }
    for (; x < w; ++x)
      if (opaque(row, x)) return true;
    return false;
  };
  int32_t top = 0;
  while (top < h && !rowHasContent(top)) ++top;
  if (top >= h) return kEmptyRect;
  int32_t bottom = h - 1;
  while (bottom > top && !rowHasContent(bottom)) --bottom;
  int32_t left = w, right = -1;
  for (int32_t y = top; y <= bottom; ++y) {
    const uint8_t* row = rowAt(y);
    for (int32_t x = 0; x < left; ++x) {
      if (opaque(row, x)) {
        left = x;
        break;
      }
    }
    for (int32_t x = w - 1; x > right; --x) {
      if (opaque(row, x)) {
        right = x;
        break;
      }
    }
  }
  return {left, top, right, bottom};
}

template <int Bits, typename Opaque>
ContentRect frameBounds(const FrameRecord& f, bool listed, Opaque opaque) {
  const int32_t w = f.width;
  const int32_t h = f.height;
  if (!listed) return {0, 0, w - 1, h - 1};
  const int64_t stride = rowStride(w, Bits, 32);
  const uint8_t* pixels = f.pixels;
  return scanBounds(
      w, h, [&](int32_t y) { return pixels + rowOffset(stride, h, y); }, opaque);
}

// Whether pixel x of a 24-bit row (`w` pixels) is not transparent.
inline bool opaque24(const ColourFlags& flags, const uint8_t* row, int32_t x, int32_t w) {
  return !flags.transparent(load24At(row, x, w));
}

ContentRect bounds24(const FrameRecord& f, bool listed, const ColourFlags& flags) {
  const int32_t w = f.width;
  return frameBounds<24>(f, listed,
                         [&](const uint8_t* row, int32_t x) { return opaque24(flags, row, x, w); });
}

// Whether pixels from .. to - 1 of a 24-bit row (`w` pixels) hold one that
// is not transparent. Four pixels a test round, without a branch each: the
// strips are nearly always transparent throughout.
bool anyOpaque24(const ColourFlags& flags, const uint8_t* row, int32_t from, int32_t to,
                 int32_t w) {
  int32_t x = from;
  for (; x + 4 <= to; x += 4) {
    if (int{opaque24(flags, row, x, w)} | int{opaque24(flags, row, x + 1, w)} |
        int{opaque24(flags, row, x + 2, w)} | int{opaque24(flags, row, x + 3, w)}) {
      return true;
    }
  }
  for (; x < to; ++x) {
    if (opaque24(flags, row, x, w)) return true;
  }
  return false;
}

// Whether a frame (with pixels, and with transparent colours listed) holds
// an opaque pixel outside `inside`. Where it holds none, its bounds lie in
// `inside`, and a union that already is `inside` stays as it is: only the
// strips around it need a look.
bool opaqueOutside24(const FrameRecord& f, const ContentRect& inside, const ColourFlags& flags) {
  const int32_t w = f.width;
  const int32_t h = f.height;
  const int64_t stride = rowStride(w, 24, 32);
  const int32_t leftEnd = std::clamp(inside.left, 0, w);
  const int32_t rightStart = std::clamp(inside.right + 1, leftEnd, w);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = f.pixels + rowOffset(stride, h, y);
    const bool whole = y < inside.top || y > inside.bottom;
    const int32_t gapStart = whole ? w : leftEnd;
    const int32_t gapEnd = whole ? w : rightStart;
    if (anyOpaque24(flags, row, 0, gapStart, w) || anyOpaque24(flags, row, gapEnd, w, w)) {
      return true;
    }
  }
  return false;
}

}  // namespace

ContentRect findContentBounds8(const Settings& settings, const FrameRecord& f) {
  ColourSet set;
  loadTransparentColours(settings, set);
  bool transparent[256];
  markTransparentIndices(f.palette, set, transparent);
  return frameBounds<8>(f, !settings.transColors.empty(),
                        [&](const uint8_t* row, int32_t x) { return !transparent[row[x]]; });
}

BoundsUnion::BoundsUnion(const Settings& settings, bool is24)
    : settings_(settings),
      is24_(is24),
      listed_(!settings.transColors.empty()),
      // One table of the colours for all frames.
      flags_(settings, false) {}

void BoundsUnion::add(const FrameRecord& f) {
  if (!is24_) {
    result_ = unionRect(result_, findContentBounds8(settings_, f));
    return;
  }
  // Frames without pixels add nothing either way.
  if (listed_ && f.width > 0 && f.height > 0 && !rectIsEmpty(result_) &&
      !opaqueOutside24(f, result_, flags_)) {
    return;
  }
  result_ = unionRect(result_, bounds24(f, listed_, flags_));
}

ContentRect widenBoundsFor24Bit(const ContentRect& r) {
  // Truncating remainders, as the edges may be negative for frames without
  // pixels; the results stay within a few pixels of the inputs.
  int64_t e = int64_t{r.right} + 1;
  int64_t rem = e % 4;
  if (rem != 0) e += 4 - rem;
  int64_t left = r.left;
  rem = left % 4;
  if (rem != 0) left -= rem;
  if (left < 0) left = 0;
  ContentRect out = r;
  out.right = static_cast<int32_t>(std::min<int64_t>(e - 1, INT32_MAX));
  out.left = static_cast<int32_t>(left);
  return out;
}

namespace {

bool copyFrame(FrameRecord& f, int bits) {
  const int64_t bytes = pixelBufferBytes(f.width, f.height, bits);
  // Every byte is copied: the rows with their padding.
  auto* buffer = static_cast<uint8_t*>(allocForOverwrite(static_cast<uint64_t>(bytes)));
  if (buffer == nullptr) return false;
  if (bytes != 0) std::memcpy(buffer, f.pixels, static_cast<size_t>(bytes));
  adoptPixelBuffer(f, buffer);
  return true;
}

bool cropFrame(FrameRecord& f, const ContentRect& r, int bits) {
  const int64_t nw = int64_t{r.right} - r.left + 1;
  const int64_t nh = int64_t{r.bottom} - r.top + 1;
  const int64_t bpp = bits / 8;
  const int64_t dstStride = rowStride(nw, bits, 32);
  const int32_t srcW = headerWidth(f.header);
  const int32_t srcH = headerHeight(f.header);
  const int64_t srcStride = rowStride(srcW, bits, 32);
  const int64_t bytes = dstStride * nh;
  auto* buffer = static_cast<uint8_t*>(allocForOverwrite(static_cast<uint64_t>(bytes)));
  if (buffer == nullptr) return false;
  // The columns of the rectangle that lie inside the source frame; every
  // other byte, row padding included, is 0.
  const int64_t x0 = std::max<int64_t>(0, -int64_t{r.left});
  const int64_t x1 = std::min<int64_t>(nw, int64_t{srcW} - r.left);
  if (x0 >= x1) {
    std::memset(buffer, 0, static_cast<size_t>(bytes));
  }
  for (int64_t y = 0; y < nh && x0 < x1; ++y) {
    const int64_t sy = r.top + y;
    uint8_t* row = buffer + rowOffset(dstStride, nh, y);
    if (sy < 0 || sy >= srcH) {
      std::memset(row, 0, static_cast<size_t>(dstStride));
      continue;
    }
    const uint8_t* src = f.pixels + rowOffset(srcStride, srcH, sy) + (r.left + x0) * bpp;
    std::memset(row, 0, static_cast<size_t>(x0 * bpp));
    std::memcpy(row + x0 * bpp, src, static_cast<size_t>((x1 - x0) * bpp));
    std::memset(row + x1 * bpp, 0, static_cast<size_t>(dstStride - x1 * bpp));
  }
  setHeaderWidth(f.header, static_cast<int32_t>(nw));
  setHeaderHeight(f.header, static_cast<int32_t>(nh));
  adoptPixelBuffer(f, buffer);
  return true;
}

bool cropOrCopyFrames(const Settings& settings, std::span<FrameRecord> frames, const ContentRect& r,
                      int bits) {
  for (FrameRecord& f : frames) {
    if (!cropOrCopyFrame(settings, f, r, bits)) return false;
  }
  return true;
}

}  // namespace

bool cropOrCopyFrame(const Settings& settings, FrameRecord& f, const ContentRect& r, int bits) {
  if (!settings.optimize) return copyFrame(f, bits);
  if (rectIsEmpty(r)) return true;
  return cropFrame(f, r, bits);
}

bool cropOrCopyFrames8(const Settings& settings, std::span<FrameRecord> frames,
                       const ContentRect& r) {
  return cropOrCopyFrames(settings, frames, r, 8);
}
