#include "frames/fused_steps.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/frame_record.h"
#include "base/runtime.h"
#include "frames/pixel_buffers.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

namespace {

struct Lists {
  Lists(const Settings& settings, bool withPairs) : flags(settings, withPairs) {}
  ColourFlags flags;  // the merge tests the list whatever the switch says
  bool mask = false;  // whether the masks mark pixels
};

// Replacement, then the mask, over a frame's own pixels in place. Mask bytes
// are gathered eight pixels at a time.
template <bool Replace, bool Mask>
void replaceAndMask(FrameRecord& f, const Lists& lists) {
  const int32_t w = headerWidth(f.header);
  const int32_t h = headerHeight(f.header);
  if (w <= 0) return;  // rows without pixels, maybe very many
  const int64_t stride = rowStride(w, 24, 32);
  const int64_t maskRow = maskStride(w);
  const ColourFlags::Probe probe(lists.flags);
  for (int64_t row = 0; row < h; ++row) {
    uint8_t* p = f.pixels + stride * row;
    uint8_t* bits = f.maskBits + maskRow * row;
    unsigned hidden = 0;  // high bit first
    for (int32_t x = 0; x < w; ++x) {
      bool transparent = false;
      uint32_t c = probe.settle(load24At(p, x, w), transparent);
      const bool masked = Mask && transparent;
      c &= 0u - static_cast<uint32_t>(!masked);
      // Written back whether it changed or not: a test of the colour would
      // be a branch that many-colour pictures make unpredictable.
      store24(p + 3 * static_cast<ptrdiff_t>(x), c);
      if constexpr (Mask) {
        hidden = (hidden << 1) | (masked ? 1u : 0u);
        if ((x & 7) == 7) {
          bits[x >> 3] = static_cast<uint8_t>(hidden);
          hidden = 0;
        }
      }
    }
    if (Mask && (w & 7) != 0) bits[(w - 1) >> 3] = static_cast<uint8_t>(hidden << (8 - (w & 7)));
  }
}

// One row of a frame laid over the first frame, whose pixels are final
// (replaced and masked) and whose mask is made: where the frame's own colour
// (replaced) is transparent, the first frame's pixel and mask bit show.
// Positions outside the frame read as colour 0, which is not replaced.
template <bool Replace, bool Mask>
void mergeRow(const uint8_t* own, int32_t ownWidth, const uint8_t* base, const uint8_t* baseBits,
              uint8_t* out, uint8_t* outBits, int32_t width, const Lists& lists) {
  const bool zeroShowsBase = lists.flags.transparent(0);
  const ColourFlags::Probe probe(lists.flags);
  // Up to here both rows hold a byte behind each pixel, so each pixel takes
  // one 4-byte read.
  const int32_t roomy = std::min(ownWidth, width) - 1;
  unsigned shown = 0;  // positions where the first frame shows, high bit first
  int32_t x = 0;
  for (; x + 8 <= roomy; x += 8) {
    for (int32_t i = 0; i < 8; ++i) {
      const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(x + i);
      bool through = false;
      const uint32_t c = probe.settle(load24Within(own + at), through);
      const uint32_t pick = 0u - static_cast<uint32_t>(through);
      store24(out + at, (load24Within(base + at) & pick) | (c & ~pick));
      shown = (shown << 1) | (through ? 1u : 0u);
    }
    if constexpr (Mask) outBits[x >> 3] = static_cast<uint8_t>(shown) & baseBits[x >> 3];
    shown = 0;
  }
  for (; x < width; ++x) {
    uint32_t c = 0;
    bool through = zeroShowsBase;
    if (x < ownWidth) {
      c = probe.settle(load24At(own, x, ownWidth), through);
    }
    if (through) c = load24At(base, x, width);
    store24(out + 3 * static_cast<ptrdiff_t>(x), c);
    shown = (shown << 1) | (through ? 1u : 0u);
    if ((x & 7) == 7) {
      if constexpr (Mask) outBits[x >> 3] = static_cast<uint8_t>(shown) & baseBits[x >> 3];
      shown = 0;
    }
  }
  if (Mask && (width & 7) != 0) {
    const int32_t last = (width - 1) >> 3;
    outBits[last] = static_cast<uint8_t>(shown << (8 - (width & 7))) & baseBits[last];
  }
}

template <bool Replace, bool Mask>
void mergeRows(FrameRecord& f, int32_t wk, int32_t hk, const FrameRecord& first, uint8_t* buffer,
               bool inPlace, const Lists& lists) {
  const int32_t w1 = headerWidth(first.header);
  const int32_t h1 = headerHeight(first.header);
  const int64_t stride1 = rowStride(w1, 24, 32);
  const int64_t strideK = rowStride(wk, 24, 32);
  const int64_t maskRow = maskStride(w1);
  const int64_t used = int64_t{w1} * 3;
  for (int64_t y = 0; w1 > 0 && y < h1; ++y) {
    const uint8_t* own = y < hk ? f.pixels + rowOffset(strideK, hk, y) : nullptr;
    uint8_t* out = buffer + rowOffset(stride1, h1, y);
    mergeRow<Replace, Mask>(own, own != nullptr ? std::min(wk, w1) : 0,
                            first.pixels + rowOffset(stride1, h1, y),
                            first.maskBits + rowOffset(maskRow, h1, y), out,
                            f.maskBits + rowOffset(maskRow, h1, y), w1, lists);
    // A merged frame's rows end in zero bytes, as in a new buffer.
    if (inPlace) std::memset(out + used, 0, static_cast<size_t>(stride1 - used));
  }
}

// Picks the loop made for the two switches.
template <template <bool, bool> class Step, typename... Args>
void dispatch(const Lists& lists, Args&&... args) {
  if (lists.flags.replacing()) {
    if (lists.mask) {
      Step<true, true>::run(args...);
    } else {
      Step<true, false>::run(args...);
    }
  } else if (lists.mask) {
    Step<false, true>::run(args...);
  } else {
    Step<false, false>::run(args...);
  }
}

template <bool Replace, bool Mask>
struct ReplaceAndMask {
  static void run(FrameRecord& f, const Lists& lists) {
    // With neither switch there is nothing to do, and no loop is made for it.
    if constexpr (Replace || Mask) replaceAndMask<Replace, Mask>(f, lists);
  }
};

template <bool Replace, bool Mask>
struct MergeRows {
  static void run(FrameRecord& f, int32_t wk, int32_t hk, const FrameRecord& first, uint8_t* buffer,
                  bool inPlace, const Lists& lists) {
    mergeRows<Replace, Mask>(f, wk, hk, first, buffer, inPlace, lists);
  }
};

// Merges frame f over `first` into a buffer of the first frame's size (its
// own, when it has that size) and makes its mask. False with `outcome` set
// when a block was refused.
bool mergeAndMask(FrameRecord& f, const FrameRecord& first, const Lists& lists,
                  FusedOutcome& outcome) {
  const int32_t w1 = headerWidth(first.header);
  const int32_t h1 = headerHeight(first.header);
  const int32_t wk = headerWidth(f.header);
  const int32_t hk = headerHeight(f.header);
  const bool inPlace = wk == w1 && hk == h1;
  uint8_t* buffer = f.pixels;
  if (!inPlace) {
    buffer = static_cast<uint8_t*>(allocZeroed(pixelBufferBytes(w1, h1, 24)));
    if (buffer == nullptr) {
      outcome.mergeFailed = true;
      return false;
    }
  }
  setHeaderWidth(f.header, w1);
  setHeaderHeight(f.header, h1);
  const MaskOutcome mask = allocateMask(f, true);
  if (mask != MaskOutcome::made) {
    if (!inPlace) freeBlock(buffer);
    outcome.mask = mask;
    return false;
  }
  dispatch<MergeRows>(lists, f, wk, hk, first, buffer, inPlace, lists);
  if (!inPlace) adoptPixelBuffer(f, buffer);
  return true;
}

}  // namespace

bool fusedStepsApply(const Settings& settings, std::span<const FrameRecord> frames) {
  const int n = static_cast<int>(frames.size());
  const bool merge = settings.merge && n >= 2;
  for (int k = 0; k < n; ++k) {
    const uint8_t* header = frames[merge ? 0 : k].header;
    if (headerWidth(header) < 0 || headerHeight(header) < 0) return false;
  }
  return true;
}

FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames) {
  FusedOutcome outcome;
  Lists lists(settings, settings.replace);
  lists.mask = maskingIsOn(settings);
  const int n = static_cast<int>(frames.size());
  const bool merge = settings.merge && n >= 2;
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    outcome.frame = k;
    if (merge && k > 0) {
      if (!mergeAndMask(f, frames[0], lists, outcome)) return outcome;
      continue;
    }
    outcome.mask = allocateMask(f, true);
    if (outcome.mask != MaskOutcome::made) return outcome;
    dispatch<ReplaceAndMask>(lists, f, lists);
  }
  outcome.frame = -1;
  return outcome;
}
