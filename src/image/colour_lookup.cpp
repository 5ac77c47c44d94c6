#include "image/colour_lookup.h"

#include "base/bytes.h"
#include "base/state.h"
#include "image/pixels.h"

void ColourSet::add(uint32_t colour) {
  for (uint32_t i = slotOf(colour);; i = (i + 1) & (kSlots - 1)) {
    if (!used_[i]) {
      used_[i] = true;
      keys_[i] = colour;
      ++count_;
      return;
    }
    if (keys_[i] == colour) return;
  }
}

void ColourMap::put(uint32_t from, uint32_t to) {
  for (uint32_t i = ColourSet::slotOf(from);; i = (i + 1) & (ColourSet::kSlots - 1)) {
    if (!used_[i]) {
      used_[i] = true;
      keys_[i] = from;
      values_[i] = to;
      ++count_;
      return;
    }
    if (keys_[i] == from) {
      values_[i] = to;
      return;
    }
  }
}

int usedEntries(int32_t count) {
  if (count <= 0) return 0;
  return count > kMaxEntries ? kMaxEntries : count;
}

void loadTransparentColours(ColourSet& set) {
  const int n = usedEntries(appState.transCount);
  for (int i = 0; i < n; ++i) set.add(swapRedBlue(appState.transColors[i]));
}

void loadReplacePairs(ColourMap& map) {
  const int pairs = usedEntries(appState.replaceCount) / 2;
  for (int k = 0; k < pairs; ++k) {
    map.put(swapRedBlue(appState.replaceColors[2 * k]),
            swapRedBlue(appState.replaceColors[2 * k + 1]));
  }
}

void markTransparentIndices(const uint8_t* palette, const ColourSet& set, bool out[256]) {
  for (int i = 0; i < 256; ++i) out[i] = set.contains(binio::getLe32(palette + 4 * i));
}
