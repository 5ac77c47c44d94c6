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

// The colour lists of one build as two flags per 24-bit colour, for the
// 24-bit pixel steps: "transparent?" and "to be replaced?" each cost one
// bit test. The flags of 64 neighbouring colours share a pair of words. The
// table (4 MiB, all zero until used; a page the lists never touch stays the
// system's shared zero page) is the process's own, so at most one
// ColourFlags lives at a time; it clears what it set when it goes.
class ColourFlags {
 public:
  // The transparent colours always; the replace pairs when `withPairs`.
  ColourFlags(const Settings& settings, bool withPairs);
  ~ColourFlags();
  ColourFlags(const ColourFlags&) = delete;
  ColourFlags& operator=(const ColourFlags&) = delete;

  // For colours of at most 24 bits.
  bool transparent(uint32_t rgb) const { return bit(kTransparent, rgb); }
  bool toReplace(uint32_t rgb) const { return bit(kReplaced, rgb); }
  // The colour a toReplace colour becomes, cut to 24 bits as it is stored.
  uint32_t replaced(uint32_t rgb) const {
    uint32_t to = rgb;
    pairs_.find(rgb, to);
    return to & 0xFFFFFFu;
  }
  bool replacing() const { return !pairs_.empty(); }

 private:
  static constexpr unsigned kTransparent = 0;
  static constexpr unsigned kReplaced = 1;
  static bool bit(unsigned which, uint32_t rgb) {
    return ((table_[(rgb >> 6) * 2 + which] >> (rgb & 63)) & 1) != 0;
  }
  void mark(uint32_t colour, unsigned which);

  static uint64_t table_[(uint32_t{1} << 24) / 64 * 2];
  ColourMap pairs_;
  uint32_t marked_[2 * 255];
  int markedCount_ = 0;
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
