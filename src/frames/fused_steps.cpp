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

// Not in the Windows programs: the MinGW compilers keep the stack aligned to
// 16 bytes only, and would spill 32-byte vectors to misaligned slots.
#if defined(__GNUC__) && !defined(_WIN32) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define KINETOR_VECTOR_STEPS 1
#endif

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

bool g_vectorStepsOff = false;

#ifdef KINETOR_VECTOR_STEPS
// Eight pixels at a time, on processors with AVX2 (asked at run time, so the
// program still runs on those without): the colour table is probed for all
// eight with two gathers, which the colours cannot make unpredictable.
// Only the small table is probed so; the bytes written are those of the
// loops of one pixel at a time, which finish each row and take over where
// the processor has no AVX2.
bool vectorSteps() {
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has && !g_vectorStepsOff;
}

// A run of eight may read 28 bytes from its first pixel (two loads of 16,
// the second 12 bytes on): it needs two pixels more in the row.
constexpr int32_t kVectorReach = 10;

#define KINETOR_AVX2 __attribute__((target("avx2")))

// Eight 24-bit pixels, each into the low three bytes of a 32-bit lane.
KINETOR_AVX2 inline __m256i load8(const uint8_t* p) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
  const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                          1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  return _mm256_shuffle_epi8(both, spread);
}

// The low three bytes of each lane as eight 24-bit pixels: 24 bytes and not
// one more, since the next pixels may not have been read yet.
KINETOR_AVX2 inline void store8(uint8_t* p, __m256i v) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                        1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i packed = _mm256_shuffle_epi8(v, pack);
  const __m128i low = _mm256_castsi256_si128(packed);
  const __m128i high = _mm256_extracti128_si256(packed, 1);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), low);
  storeWord(p + 8, static_cast<uint32_t>(_mm_extract_epi32(low, 2)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12), high);
  storeWord(p + 20, static_cast<uint32_t>(_mm_extract_epi32(high, 2)));
}

// What ColourFlags::Probe::settle<true> gives, for eight colours.
KINETOR_AVX2 inline __m256i settle8(__m256i rgb, const ColourFlags::Probe& probe) {
  const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(probe.multiplier()));
  const __m256i slot =
      _mm256_srli_epi32(_mm256_mullo_epi32(rgb, multiplier), ColourFlags::Probe::slotShift());
  const auto* keys = reinterpret_cast<const int*>(probe.keys());
  const auto* changes = reinterpret_cast<const int*>(probe.changes());
  const __m256i match = _mm256_cmpeq_epi32(_mm256_i32gather_epi32(keys, slot, 4), rgb);
  return _mm256_xor_si256(rgb, _mm256_and_si256(_mm256_i32gather_epi32(changes, slot, 4), match));
}

// The top bits of the eight lanes as a mask byte: the first pixel's highest.
KINETOR_AVX2 inline unsigned topBits8(__m256i v) {
  const __m256i reversed =
      _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
  return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(reversed)));
}

// replaceAndMask's runs of eight over the start of a row; gives the first
// pixel it left.
template <bool Mask>
KINETOR_AVX2 int32_t replaceAndMask8(uint8_t* p, uint8_t* bits, int32_t w,
                                     const ColourFlags::Probe& probe) {
  int32_t x = 0;
  for (; x + kVectorReach <= w; x += 8) {
    uint8_t* at = p + 3 * static_cast<ptrdiff_t>(x);
    const __m256i c = settle8(load8(at), probe);
    if constexpr (Mask) {
      store8(at, _mm256_andnot_si256(_mm256_srai_epi32(c, 31), c));
      bits[x >> 3] = static_cast<uint8_t>(topBits8(c));
    } else {
      store8(at, c);
    }
  }
  return x;
}

// mergeRow's runs of eight; gives the first pixel it left.
template <bool Mask>
KINETOR_AVX2 int32_t mergeRow8(const uint8_t* own, const uint8_t* base, const uint8_t* baseBits,
                               uint8_t* out, uint8_t* outBits, int32_t inside,
                               const ColourFlags::Probe& probe) {
  int32_t x = 0;
  for (; x + kVectorReach <= inside; x += 8) {
    const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(x);
    const __m256i c = settle8(load8(own + at), probe);
    const __m256i under = load8(base + at);
    store8(out + at, _mm256_blendv_epi8(c, under, _mm256_srai_epi32(c, 31)));
    if constexpr (Mask) outBits[x >> 3] = static_cast<uint8_t>(topBits8(c)) & baseBits[x >> 3];
  }
  return x;
}
#endif

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
#ifdef KINETOR_VECTOR_STEPS
    if (Small && vectorSteps()) x = replaceAndMask8<Mask>(p, bits, w, probe);
#endif
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
#ifdef KINETOR_VECTOR_STEPS
  if (Small && vectorSteps()) x = mergeRow8<Mask>(own, base, baseBits, out, outBits, inside, probe);
#endif
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

void setVectorSteps(bool on) { g_vectorStepsOff = !on; }
