// Constant-time answers to "is this colour listed?" and "what does this
// colour become?" for the colour lists, so that the per-pixel steps need not
// scan up to 255 colours for every pixel. Answers are the same as a scan of
// the list in order would give.
#pragma once

#include <cstdint>

class ColourSet {
 public:
  void add(uint32_t colour);
  bool contains(uint32_t colour) const {
    for (uint32_t i = slotOf(colour);; i = (i + 1) & (kSlots - 1)) {
      if (!used_[i]) return false;
      if (keys_[i] == colour) return true;
    }
  }
  bool empty() const { return count_ == 0; }

 private:
  friend class ColourMap;
  static constexpr uint32_t kSlots = 1024;  // four times the longest list
  static uint32_t slotOf(uint32_t colour) { return (colour * 0x9E3779B1u) >> 22; }
  uint32_t keys_[kSlots] = {};
  bool used_[kSlots] = {};
  int count_ = 0;
};

class ColourMap {
 public:
  // Later values for the same key replace earlier ones.
  void put(uint32_t from, uint32_t to);
  bool find(uint32_t colour, uint32_t& to) const {
    for (uint32_t i = ColourSet::slotOf(colour);; i = (i + 1) & (ColourSet::kSlots - 1)) {
      if (!used_[i]) return false;
      if (keys_[i] == colour) {
        to = values_[i];
        return true;
      }
    }
  }
  bool empty() const { return count_ == 0; }

 private:
  uint32_t keys_[ColourSet::kSlots] = {};
  uint32_t values_[ColourSet::kSlots] = {};
  bool used_[ColourSet::kSlots] = {};
  int count_ = 0;
};

// The transparent colours, in DIB order, as listed now.
void loadTransparentColours(ColourSet& set);

// The replace pairs, in DIB order; a colour listed as "from" twice maps to
// the last pair's colour, as the pixel replacement wants it.
void loadReplacePairs(ColourMap& map);

// Number of entries in use in a colour list, whatever the stored count says.
int usedEntries(int32_t count);

// For a palette of 256 DIB-order entries: which indices show a listed colour.
void markTransparentIndices(const uint8_t* palette, const ColourSet& set, bool out[256]);
