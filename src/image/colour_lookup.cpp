#include "image/colour_lookup.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/bytes.h"
#include "base/colour.h"
#include "base/frame_record.h"
#include "image/pixels.h"

ColourSet::ColourSet() {
  std::memset(leafOf_, 0, sizeof leafOf_);
  std::memset(leaves_[0], 0, sizeof leaves_[0]);
}

void ColourSet::add(uint32_t colour) {
  if (contains(colour)) return;
  // The lists hold at most 255 colours; more would not fit the leaves.
  if (count_ == kMaxColours) return;
  ++count_;
  if (colour > 0xFFFFFFu) {
    wide_[wideCount_++] = colour;
    return;
  }
  uint8_t& leaf = leafOf_[colour >> 12];
  if (leaf == 0) {
    leaf = static_cast<uint8_t>(leafCount_++);
    std::memset(leaves_[leaf], 0, sizeof leaves_[leaf]);
  }
  leaves_[leaf][(colour >> 6) & 63] |= uint64_t{1} << (colour & 63);
}

bool ColourSet::containsWide(uint32_t colour) const {
  for (int i = 0; i < wideCount_; ++i) {
    if (wide_[i] == colour) return true;
  }
  return false;
}

void ColourMap::put(uint32_t from, uint32_t to) {
  keys_.add(from);
  for (uint32_t i = slotOf(from);; i = (i + 1) & (kSlots - 1)) {
    if (!used_[i]) {
      used_[i] = true;
      slotKeys_[i] = from;
      values_[i] = to;
      return;
    }
    if (slotKeys_[i] == from) {
      values_[i] = to;
      return;
    }
  }
}

uint64_t ColourFlags::table_[(uint32_t{1} << 24) / 64 * 2];

ColourFlags::ColourFlags(const Settings& settings, bool withPairs) {
  for (uint32_t c : settings.transColors) mark(swapRedBlue(c), kTransparent);
  if (withPairs) {
    loadReplacePairs(settings, pairs_);
    const size_t pairs = settings.replaceColors.size() / 2;
    for (size_t k = 0; k < pairs; ++k) mark(swapRedBlue(settings.replaceColors[2 * k]), kReplaced);
  }
  small_ = placeAll();
}

ColourFlags::~ColourFlags() {
  for (int i = 0; i < markedCount_; ++i) {
    const uint32_t c = marked_[i];
    table_[(c >> 6) * 2] = 0;
    table_[(c >> 6) * 2 + 1] = 0;
  }
}

void ColourFlags::mark(uint32_t colour, unsigned which) {
  // A listed colour with a top byte never equals a 24-bit pixel.
  if (colour > 0xFFFFFFu) return;
  if (!bit(kTransparent, colour) && !bit(kReplaced, colour)) marked_[markedCount_++] = colour;
  table_[(colour >> 6) * 2 + which] |= uint64_t{1} << (colour & 63);
}

bool ColourFlags::placeAll() {
  // Odd multipliers from a fixed sequence, so that every run picks the same.
  uint32_t candidate = 0x9E3779B1u;
  for (int attempt = 0; attempt < 64;
       ++attempt, candidate = candidate * 0x2C1B3C6Du + 0x297A2D39u) {
    const uint32_t multiplier = candidate | 1u;
    std::fill(std::begin(keys_), std::end(keys_), kNoKey);
    std::fill(std::begin(changes_), std::end(changes_), 0u);
    bool clash = false;
    for (int i = 0; i < markedCount_ && !clash; ++i) {
      const uint32_t key = marked_[i];
      const uint32_t slot = (key * multiplier) >> (32 - kSlotBits);
      clash = keys_[slot] != kNoKey;
      // The slot's colour XOR this gives the settled colour with its flags.
      uint32_t change = settleSlowly(key) ^ key;
      if (bit(kTransparent, key)) change |= kTransparentItself;
      keys_[slot] = key;
      changes_[slot] = change;
    }
    if (!clash) {
      multiplier_ = multiplier;
      return true;
    }
  }
  return false;
}

int usedEntries(int32_t count) {
  if (count <= 0) return 0;
  return count > kMaxEntries ? kMaxEntries : count;
}

void loadTransparentColours(const Settings& settings, ColourSet& set) {
  for (uint32_t c : settings.transColors) set.add(swapRedBlue(c));
}

void loadReplacePairs(const Settings& settings, ColourMap& map) {
  const size_t pairs = settings.replaceColors.size() / 2;
  for (size_t k = 0; k < pairs; ++k) {
    map.put(swapRedBlue(settings.replaceColors[2 * k]),
            swapRedBlue(settings.replaceColors[2 * k + 1]));
  }
}

void markTransparentIndices(const uint8_t* palette, const ColourSet& set, bool out[256]) {
  for (int i = 0; i < 256; ++i) out[i] = set.contains(binio::getLe32(palette + 4 * i));
}
