#include "frames/colour_steps.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/colour.h"
#include "base/frame_record.h"
#include "base/runtime.h"
#include "frames/pixel_buffers.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

namespace {

// Builds each merged frame row by row; the value at every position depends
// only on the two frames' values at that position, so the order of the walk
// does not change the result. A frame of the first frame's size is merged in
// place (its rows belong to it), with its row padding cleared as in a new
// buffer; any other size gets a new buffer of the first frame's size.
template <int Bits, typename Pick>
bool mergeWithFirstFrame(std::span<FrameRecord> frames, Pick pickFrame) {
  const int n = static_cast<int>(frames.size());
  if (n < 2) return true;
  const FrameRecord& first = frames[0];
  const int32_t w1 = headerWidth(first.header);
  const int32_t h1 = headerHeight(first.header);
  const int64_t stride1 = rowStride(w1, Bits, 32);
  const int64_t used1 = int64_t{std::max(w1, 0)} * (Bits / 8);
  const int64_t bytes = pixelBufferBytes(w1, h1, Bits);
  for (int k = 1; k < n; ++k) {
    FrameRecord& f = frames[k];
    const int32_t wk = headerWidth(f.header);
    const int32_t hk = headerHeight(f.header);
    const int64_t stridek = rowStride(wk, Bits, 32);
    const bool inPlace = wk == w1 && hk == h1;
    uint8_t* buffer = f.pixels;
    if (!inPlace) {
      buffer = static_cast<uint8_t*>(allocZeroed(static_cast<uint64_t>(bytes)));
      if (buffer == nullptr) return false;
    }
    auto pick = pickFrame(f);
    // Rows without pixels (a frame 0 pixels wide) need no walk.
    for (int64_t y = 0; w1 > 0 && y < h1; ++y) {
      const uint8_t* base = first.pixels + rowOffset(stride1, h1, y);
      uint8_t* out = buffer + rowOffset(stride1, h1, y);
      // Positions outside frame k read as 0.
      const uint8_t* own = y < hk ? f.pixels + rowOffset(stridek, hk, y) : nullptr;
      const int32_t ownWidth = own != nullptr ? std::min(wk, w1) : 0;
      for (int32_t x = 0; x < w1; ++x) {
        pick(own != nullptr && x < ownWidth ? own + int64_t{x} * (Bits / 8) : nullptr,
             base + int64_t{x} * (Bits / 8), out + int64_t{x} * (Bits / 8));
      }
      if (inPlace) std::memset(out + used1, 0, static_cast<size_t>(stride1 - used1));
    }
    setHeaderWidth(f.header, w1);
    setHeaderHeight(f.header, h1);
    if (!inPlace) adoptPixelBuffer(f, buffer);
  }
  return true;
}

}  // namespace

void applyColorReplacement(const Settings& settings, std::span<FrameRecord> frames) {
  ColourMap pairs;
  loadReplacePairs(settings, pairs);
  if (pairs.empty()) return;
  // Every pixel's new colour depends only on its old colour, so the frame's
  // own buffer (or its rows inside the file data, which the frame also owns)
  // is changed in place, with the same bytes as a changed copy would hold.
  const int n = static_cast<int>(frames.size());
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    const int32_t w = headerWidth(f.header);
    const int32_t h = headerHeight(f.header);
    const int64_t stride = rowStride(w, 24, 32);
    if (w <= 0) continue;  // rows without pixels, maybe very many
    for (int64_t row = 0; row < h; ++row) {
      uint8_t* p = f.pixels + stride * row;
      for (int32_t x = 0; x < w; ++x, p += 3) {
        uint32_t to = 0;
        if (pairs.find(load24(p), to)) store24(p, to);
      }
    }
  }
}

bool mergeWithFirstFrame24(const Settings& settings, std::span<FrameRecord> frames) {
  ColourSet set;
  loadTransparentColours(settings, set);
  return mergeWithFirstFrame<24>(frames, [&](const FrameRecord&) {
    return [&](const uint8_t* own, const uint8_t* base, uint8_t* out) {
      const uint32_t c = own != nullptr ? load24(own) : 0;
      store24(out, set.contains(c) ? load24(base) : c);
    };
  });
}

bool mergeWithFirstFrame8(const Settings& settings, std::span<FrameRecord> frames) {
  ColourSet set;
  loadTransparentColours(settings, set);
  bool transparent[256];
  return mergeWithFirstFrame<8>(frames, [&](const FrameRecord& f) {
    // Frame k's own palette decides whether its index is transparent.
    markTransparentIndices(f.palette, set, transparent);
    return [&](const uint8_t* own, const uint8_t* base, uint8_t* out) {
      const uint8_t index = own != nullptr ? *own : 0;
      *out = transparent[index] ? *base : index;
    };
  });
}

void filterPalette8(const Settings& settings, uint8_t* palette) {
  const size_t trans = settings.transparent ? settings.transColors.size() : 0;
  const size_t pairs = settings.replace ? settings.replaceColors.size() / 2 : 0;
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    uint32_t entry = binio::getLe32(palette + 4 * i);
    for (size_t t = 0; t < trans; ++t) {
      if (swapRedBlue(settings.transColors[t]) == entry) {
        entry = 0;
        break;
      }
    }
    for (size_t k = 0; k < pairs; ++k) {
      if (swapRedBlue(settings.replaceColors[2 * k]) == entry) {
        entry = swapRedBlue(settings.replaceColors[2 * k + 1]);
        break;
      }
    }
    binio::putLe32(palette + 4 * i, entry);
  }
}
