#include "frames/fused_steps.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "base/frame_record.h"
#include "base/runtime.h"
#include "frames/pixel_buffers.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

namespace {}  // namespace

struct FusedSteps24::Lists {
  Lists(const Settings& settings, bool withPairs) : flags(settings, withPairs) {}
  ColourFlags flags;  // the merge tests the list whatever the switch says
  bool mask = false;  // whether the masks mark pixels
};

namespace {

using Lists = FusedSteps24::Lists;

constexpr uint32_t kColour = 0xFFFFFFu;

// Four 24-bit pixels as three little-endian words, and back: a group takes
// three loads and three stores instead of four of each (or eight stores).
struct Quad {
  uint32_t c[4];
};

// One word at a time: a group copied through a stack array would be stored
// in words and read back in wider pieces, which stalls the processor.
inline uint32_t loadWord(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

inline void storeWord(uint8_t* p, uint32_t w) { std::memcpy(p, &w, 4); }

inline Quad loadQuad(const uint8_t* p) {
  if constexpr (std::endian::native != std::endian::little) {
    return {{load24(p), load24(p + 3), load24(p + 6), load24(p + 9)}};
  }
  const uint32_t w0 = loadWord(p), w1 = loadWord(p + 4), w2 = loadWord(p + 8);
  return {{w0 & kColour, ((w0 >> 24) | (w1 << 8)) & kColour, ((w1 >> 16) | (w2 << 16)) & kColour,
           w2 >> 8}};
}

// Only the low 24 bits of each value are stored.
inline void storeQuad(uint8_t* p, const Quad& q) {
  if constexpr (std::endian::native != std::endian::little) {
    for (int i = 0; i < 4; ++i) store24(p + 3 * i, q.c[i]);
    return;
  }
  storeWord(p, (q.c[0] & kColour) | (q.c[1] << 24));
  storeWord(p + 4, ((q.c[1] & kColour) >> 8) | (q.c[2] << 16));
  storeWord(p + 8, ((q.c[2] & kColour) >> 16) | (q.c[3] << 8));
}

// 0 or all ones, from a settled colour's hidden bit (its top bit).
inline uint32_t hiddenMask(uint32_t settled) {
  return static_cast<uint32_t>(static_cast<int32_t>(settled) >> 31);
}

// Appends a bit to a mask byte in the making: 0 - mask is the bit.
inline unsigned appendBit(unsigned bits, uint32_t mask) { return bits * 2 - mask; }

// Replacement, then the mask, over a frame's own pixels in place. Mask bytes
// are gathered eight pixels at a time.
template <bool Small, bool Mask>
void replaceAndMask(FrameRecord& f, const Lists& lists) {
  const int32_t w = headerWidth(f.header);
  const int32_t h = headerHeight(f.header);
  if (w <= 0) return;  // rows without pixels, maybe very many
  const int64_t stride = rowStride(w, 24, 32);
  const int64_t maskRow = maskStride(w);
  const ColourFlags::Probe probe(lists.flags);
  // Written back whether it changed or not: a test of the colour would be a
  // branch that many-colour pictures make unpredictable. Masked pixels
  // become black.
  const auto settle = [&](uint32_t rgb, unsigned& hidden) {
    const uint32_t c = probe.settle<Small>(rgb);
    const uint32_t masked = Mask ? hiddenMask(c) : 0u;
    hidden = appendBit(hidden, masked);
    return c & ~masked;
  };
  for (int64_t row = 0; row < h; ++row) {
    uint8_t* p = f.pixels + stride * row;
    uint8_t* bits = f.maskBits + maskRow * row;
    unsigned hidden = 0;  // high bit first
    int32_t x = 0;
    for (; x + 8 <= w; x += 8) {
      for (int half = 0; half < 2; ++half) {
        uint8_t* at = p + 3 * static_cast<ptrdiff_t>(x + 4 * half);
        Quad q = loadQuad(at);
        for (uint32_t& c : q.c) c = settle(c, hidden);
        storeQuad(at, q);
      }
      if constexpr (Mask) bits[x >> 3] = static_cast<uint8_t>(hidden);
      hidden = 0;
    }
    for (; x < w; ++x) {
      uint8_t* at = p + 3 * static_cast<ptrdiff_t>(x);
      store24(at, settle(load24At(p, x, w), hidden));
    }
    if (Mask && (w & 7) != 0) bits[(w - 1) >> 3] = static_cast<uint8_t>(hidden << (8 - (w & 7)));
  }
}

// One row of a frame laid over the first frame, whose pixels are final
// (replaced and masked) and whose mask is made: where the frame's own colour
// (replaced) is transparent, the first frame's pixel and mask bit show.
// Positions outside the frame read as colour 0, which is not replaced. The
// row may be `out` itself.
template <bool Small, bool Mask>
void mergeRow(const uint8_t* own, int32_t ownWidth, const uint8_t* base, const uint8_t* baseBits,
              uint8_t* out, uint8_t* outBits, int32_t width, const Lists& lists) {
  const bool zeroShowsBase = lists.flags.transparent(0);
  const ColourFlags::Probe probe(lists.flags);
  const int32_t inside = std::min(ownWidth, width);
  unsigned shown = 0;  // positions where the first frame shows, high bit first
  int32_t x = 0;
  for (; x + 8 <= inside; x += 8) {
    for (int half = 0; half < 2; ++half) {
      const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(x + 4 * half);
      // Both groups are read before the one written, which may be the same.
      Quad q = loadQuad(own + at);
      const Quad under = loadQuad(base + at);
      for (int i = 0; i < 4; ++i) {
        const uint32_t c = probe.settle<Small>(q.c[i]);
        const uint32_t pick = hiddenMask(c);
        q.c[i] = c ^ ((c ^ under.c[i]) & pick);
        shown = appendBit(shown, pick);
      }
      storeQuad(out + at, q);
    }
    if constexpr (Mask) outBits[x >> 3] = static_cast<uint8_t>(shown) & baseBits[x >> 3];
    shown = 0;
  }
  for (; x < width; ++x) {
    uint32_t c = 0;
    bool through = zeroShowsBase;
    if (x < ownWidth) {
      const uint32_t settled = probe.settle<Small>(load24At(own, x, ownWidth));
      c = settled & kColour;
      through = (settled & ColourFlags::kHiddenAfter) != 0;
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

template <bool Small, bool Mask>
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
    mergeRow<Small, Mask>(own, own != nullptr ? std::min(wk, w1) : 0,
                          first.pixels + rowOffset(stride1, h1, y),
                          first.maskBits + rowOffset(maskRow, h1, y), out,
                          f.maskBits + rowOffset(maskRow, h1, y), w1, lists);
    // A merged frame's rows end in zero bytes, as in a new buffer.
    if (inPlace) std::memset(out + used, 0, static_cast<size_t>(stride1 - used));
  }
}

// Picks the loop made for the size of the colour table and the mask switch.
template <template <bool, bool> class Step, typename... Args>
void dispatch(const Lists& lists, Args&&... args) {
  if (lists.flags.small()) {
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

template <bool Small, bool Mask>
struct ReplaceAndMask {
  static void run(FrameRecord& f, const Lists& lists) {
    // With neither pairs nor masks there is nothing to do.
    if (Mask || lists.flags.replacing()) replaceAndMask<Small, Mask>(f, lists);
  }
};

template <bool Small, bool Mask>
struct MergeRows {
  static void run(FrameRecord& f, int32_t wk, int32_t hk, const FrameRecord& first, uint8_t* buffer,
                  bool inPlace, const Lists& lists) {
    mergeRows<Small, Mask>(f, wk, hk, first, buffer, inPlace, lists);
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
      outcome.why = Failure::outOfMemory;
      return false;
    }
  }
  setHeaderWidth(f.header, w1);
  setHeaderHeight(f.header, h1);
  const Failure mask = allocateMask(f, true);
  if (mask != Failure::none) {
    if (!inPlace) freeBlock(buffer);
    outcome.why = mask;
    return false;
  }
  dispatch<MergeRows>(lists, f, wk, hk, first, buffer, inPlace, lists);
  if (!inPlace) adoptPixelBuffer(f, buffer);
  return true;
}

}  // namespace

FusedSteps24::FusedSteps24(const Settings& settings, size_t frames)
    : settings_(settings),
      lists_(std::make_unique<Lists>(settings, settings.replace)),
      merging_(settings.merge && frames >= 2) {
  lists_->mask = maskingIsOn(settings);
}

FusedSteps24::~FusedSteps24() = default;

Failure FusedSteps24::run(FrameRecord& f, const FrameRecord* first, const ContentRect& r) const {
  if (!cropOrCopyFrame(settings_, f, r, 24)) return Failure::outOfMemory;
  if (first != nullptr) {
    FusedOutcome outcome;
    return mergeAndMask(f, *first, *lists_, outcome) ? Failure::none : outcome.why;
  }
  const Failure why = allocateMask(f, true);
  if (why == Failure::none) dispatch<ReplaceAndMask>(*lists_, f, *lists_);
  return why;
}

FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames,
                             const ContentRect& r) {
  const FusedSteps24 steps(settings, frames.size());
  FusedOutcome outcome;
  const int n = static_cast<int>(frames.size());
  for (int k = 0; k < n; ++k) {
    outcome.frame = k;
    outcome.why = steps.run(frames[k], steps.merging() && k > 0 ? &frames[0] : nullptr, r);
    if (outcome.why != Failure::none) return outcome;
  }
  outcome.frame = -1;
  return outcome;
}
