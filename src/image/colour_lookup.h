// Constant-time answers to "is this colour listed?" and "what does this
// colour become?" for the colour lists, so that the per-pixel steps need not
// scan up to 255 colours for every pixel. Answers are the same as a scan of
// the list in order would give.
#pragma once

#include <cstdint>

#include "base/build_settings.h"

// Membership of up to 255 colours in a few instructions, for the per-pixel
// steps: a 24-bit colour's top 12 bits pick a 4096-bit leaf (leaf 0 is
// empty), its low 12 bits a bit in it. Colours with a non-zero top byte
// (possible in palettes and in hand-edited settings) are kept in a plain list.
class ColourSet {
 public:
  ColourSet();
  ColourSet(const ColourSet&) = delete;
  ColourSet& operator=(const ColourSet&) = delete;

  void add(uint32_t colour);
  bool contains(uint32_t colour) const {
    if (colour > 0xFFFFFFu) return containsWide(colour);
    const uint64_t* leaf = leaves_[leafOf_[colour >> 12]];
    return ((leaf[(colour >> 6) & 63] >> (colour & 63)) & 1) != 0;
  }
  bool empty() const { return count_ == 0; }

 private:
  static constexpr int kMaxColours = 255;
  bool containsWide(uint32_t colour) const;

  uint8_t leafOf_[4096];
  // Only the first leafCount_ leaves are ever read or written, so the rest
  // is left as it comes.
  uint64_t leaves_[kMaxColours + 1][64];
  int leafCount_ = 1;
  uint32_t wide_[kMaxColours];
  int wideCount_ = 0;
  int count_ = 0;
};

// The replace pairs: the set of "from" colours rules out most pixels at once;
// the rest find their value in a small open-addressed table.
class ColourMap {
 public:
  // Later values for the same key replace earlier ones.
  void put(uint32_t from, uint32_t to);
  bool find(uint32_t colour, uint32_t& to) const {
    if (!keys_.contains(colour)) return false;
    for (uint32_t i = slotOf(colour);; i = (i + 1) & (kSlots - 1)) {
      if (!used_[i]) return false;
      if (slotKeys_[i] == colour) {
        to = values_[i];
        return true;
      }
    }
  }
  bool empty() const { return keys_.empty(); }

 private:
  static constexpr uint32_t kSlots = 1024;  // four times the longest list
  static uint32_t slotOf(uint32_t colour) { return (colour * 0x9E3779B1u) >> 22; }
  ColourSet keys_;
  uint32_t slotKeys_[kSlots] = {};
  uint32_t values_[kSlots] = {};
  bool used_[kSlots] = {};
};

// The colour lists of one build, for the 24-bit pixel steps: what a pixel
// becomes and whether it is then transparent. Pictures of many colours make
// a branch on the colour unpredictable and a large table miss the cache for
// nearly every pixel, so the listed colours sit in a small table (8 KiB,
// first-level cache) under a hash chosen so that no two of them share a
// slot: one probe answers for any colour, without a branch. Lists too long
// for such a hash fall back to two flags per colour in a 4 MiB table.
class ColourFlags {
 public:
  // The transparent colours always; the replace pairs when `withPairs`.
  ColourFlags(const Settings& settings, bool withPairs);
  ~ColourFlags();
  ColourFlags(const ColourFlags&) = delete;
  ColourFlags& operator=(const ColourFlags&) = delete;

  // The top bit of a settled colour: the colour it became is a transparent
  // one (the top bit, so that a shift of the signed value spreads it).
  static constexpr uint32_t kHiddenAfter = 1u << 31;

  // For colours of at most 24 bits: the colour after its replacement (when
  // pairs are in) in the low 24 bits, and kHiddenAfter when that colour is a
  // transparent one; the bits between are not to be read. A copy made
  // before a loop keeps what it reads in registers; loops are made once for
  // the small table and once for the large one, so that no pixel tests
  // which it is.
  class Probe {
   public:
    explicit Probe(const ColourFlags& flags)
        : flags_(&flags),
          keys_(flags.keys_),
          changes_(flags.changes_),
          multiplier_(flags.multiplier_) {}
    template <bool Small>
    uint32_t settle(uint32_t rgb) const {
      if constexpr (!Small) {
        return flags_->settleSlowly(rgb);
      } else {
        const uint32_t slot = (rgb * multiplier_) >> (32 - kSlotBits);
        // A mask rather than a condition: compilers turn a condition into a
        // branch, which would be as unpredictable as the colours. Only a
        // difference of 0 less 1 reaches the upper half. A slot holds what
        // turns its colour into the settled one, so that other colours pass
        // through unchanged.
        const uint64_t difference = keys_[slot] ^ rgb;
        const auto match = static_cast<uint32_t>((difference - 1) >> 32);
        return rgb ^ (changes_[slot] & match);
      }
    }

    // The small table itself, for loops that probe several colours at once
    // the same way: a colour's slot is (colour * multiplier) >> slotShift().
    const uint32_t* keys() const { return keys_; }
    const uint32_t* changes() const { return changes_; }
    uint32_t multiplier() const { return multiplier_; }
    static constexpr int slotShift() { return 32 - kSlotBits; }

   private:
    const ColourFlags* flags_;
    const uint32_t* keys_;
    const uint32_t* changes_;
    uint32_t multiplier_;
  };

  // Whether the colour itself is a transparent one.
  bool transparent(uint32_t rgb) const {
    if (!small_) return bit(kTransparent, rgb);
    const uint32_t slot = (rgb * multiplier_) >> (32 - kSlotBits);
    return keys_[slot] == rgb && (changes_[slot] & kTransparentItself) != 0;
  }
  // Whether the lists fit the small table (Probe::settle<true>).
  bool small() const { return small_; }
  bool replacing() const { return !pairs_.empty(); }

 private:
  static constexpr int kSlotBits = 10;
  static constexpr uint32_t kNoKey = 0xFFFFFFFFu;  // no 24-bit colour
  static constexpr uint32_t kTransparentItself = 1u << 30;
  static constexpr unsigned kTransparent = 0;
  static constexpr unsigned kReplaced = 1;
  static bool bit(unsigned which, uint32_t rgb) {
    return ((table_[(rgb >> 6) * 2 + which] >> (rgb & 63)) & 1) != 0;
  }
  uint32_t settleSlowly(uint32_t rgb) const {
    uint32_t to = rgb;
    if (bit(kReplaced, rgb)) {
      pairs_.find(rgb, to);
      to &= 0xFFFFFFu;
    }
    return bit(kTransparent, to) ? to | kHiddenAfter : to;
  }
  void mark(uint32_t colour, unsigned which);
  bool placeAll();

  static uint64_t table_[(uint32_t{1} << 24) / 64 * 2];
  ColourMap pairs_;
  uint32_t marked_[2 * 255];
  int markedCount_ = 0;
  bool small_ = false;
  uint32_t multiplier_ = 0;
  uint32_t keys_[uint32_t{1} << kSlotBits];
  uint32_t changes_[uint32_t{1} << kSlotBits];
};

// The transparent colours, in DIB order, as listed now.
void loadTransparentColours(const Settings& settings, ColourSet& set);

// The replace pairs, in DIB order; a colour listed as "from" twice maps to
// the last pair's colour, as the pixel replacement wants it.
void loadReplacePairs(const Settings& settings, ColourMap& map);

// Number of entries in use in a colour list, whatever the stored count says.
int usedEntries(int32_t count);

// For a palette of 256 DIB-order entries: which indices show a listed colour.
void markTransparentIndices(const uint8_t* palette, const ColourSet& set, bool out[256]);
