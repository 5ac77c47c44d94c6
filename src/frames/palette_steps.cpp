#include "frames/palette_steps.h"

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

// Builds each merged frame row by row; the index at every position depends
// only on the two frames' indices at that position, so the order of the
// walk does not change the result. A frame of the first frame's size is
// merged in place (its rows belong to it), with its row padding cleared as
// in a new buffer; any other size gets a new buffer of the first frame's
// size.
bool mergeWithFirstFrame8(const Settings& settings, std::span<FrameRecord> frames) {
  const int n = static_cast<int>(frames.size());
  if (n < 2) return true;
  ColourSet set;
  loadTransparentColours(settings, set);
  const FrameRecord& first = frames[0];
  const int32_t w1 = headerWidth(first.header);
  const int32_t h1 = headerHeight(first.header);
  const int64_t stride1 = rowStride(w1, 8, 32);
  const int64_t used1 = std::max(w1, 0);
  const int64_t bytes = pixelBufferBytes(w1, h1, 8);
  bool transparent[256];
  for (int k = 1; k < n; ++k) {
    FrameRecord& f = frames[k];
    const int32_t wk = headerWidth(f.header);
    const int32_t hk = headerHeight(f.header);
    const int64_t stridek = rowStride(wk, 8, 32);
    const bool inPlace = wk == w1 && hk == h1;
    uint8_t* buffer = f.pixels;
    if (!inPlace) {
      buffer = static_cast<uint8_t*>(allocZeroed(static_cast<uint64_t>(bytes)));
      if (buffer == nullptr) return false;
    }
    // Frame k's own palette decides whether its index is transparent.
    markTransparentIndices(f.palette, set, transparent);
    // Rows without pixels (a frame 0 pixels wide) need no walk.
    for (int64_t y = 0; w1 > 0 && y < h1; ++y) {
      const uint8_t* base = first.pixels + rowOffset(stride1, h1, y);
      uint8_t* out = buffer + rowOffset(stride1, h1, y);
      // Positions outside frame k read as index 0.
      const uint8_t* own = y < hk ? f.pixels + rowOffset(stridek, hk, y) : nullptr;
      const int32_t ownWidth = own != nullptr ? std::min(wk, w1) : 0;
      for (int32_t x = 0; x < w1; ++x) {
        const uint8_t index = x < ownWidth ? own[x] : 0;
        out[x] = transparent[index] ? base[x] : index;
      }
      if (inPlace) std::memset(out + used1, 0, static_cast<size_t>(stride1 - used1));
    }
    setHeaderWidth(f.header, w1);
    setHeaderHeight(f.header, h1);
    if (!inPlace) adoptPixelBuffer(f, buffer);
  }
  return true;
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
