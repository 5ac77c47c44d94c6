#include "ui/colours.h"

#include <algorithm>
#include <cstring>

#include "ui/resources/resource_ids.h"

namespace {

// One group of the dialog: its list, its swatches and its buttons.
struct Group {
  SwatchGroup which;
  uint32_t* colours;
  int32_t& count;
  Swatch* swatches;
  int32_t& selected;
  int addId;
  int deleteId;
  int editId;
};

Group groupOf(SwatchGroup which) {
  if (which == SwatchGroup::kTransparent) {
    return Group{which,
                 appState.transColors,
                 appState.transCount,
                 appState.transSwatches,
                 appState.selectedTrans,
                 kIdTransAdd,
                 kIdTransDelete,
                 kIdTransEdit};
  }
  return Group{which,
               appState.replaceColors,
               appState.replaceCount,
               appState.replaceSwatches,
               appState.selectedReplace,
               kIdReplaceAdd,
               kIdReplaceDelete,
               kIdReplaceEdit};
}

// Entries in use, as far as the array reaches.
int usedEntries(const Group& g) { return std::clamp(g.count, 0, kMaxEntries); }

void showSwatchIfAny(ColoursView& view, const Group& g, int entry, bool visible) {
  if (entry >= 0 && entry < kSwatchCount) view.showSwatch(g.which, entry, visible);
}

void repaintAll(ColoursView& view, const Group& g) {
  const int shown = std::min(usedEntries(g), kSwatchCount);
  for (int k = 0; k < shown; ++k) view.repaintSwatch(g.which, k);
}

// Moves the selection to `number` (1-based, 0 for none); the marks follow.
void setSelection(const Group& g, int number) {
  if (g.selected >= 1 && g.selected <= kMaxEntries) g.swatches[g.selected - 1].selected = 0;
  g.selected = number;
  if (number >= 1 && number <= kMaxEntries) g.swatches[number - 1].selected = 1;
}

void enableSelectionButtons(ColoursView& view, const Group& g, bool enabled) {
  view.enableButton(g.deleteId, enabled);
  view.enableButton(g.editId, enabled);
}

// Removes `n` entries of the list starting at `first` (0-based); the entries
// behind them move down and the freed places are cleared.
void removeEntries(const Group& g, int first, int n) {
  const int used = usedEntries(g);
  if (first < 0 || first >= used) return;
  n = std::min(n, used - first);
  std::memmove(&g.colours[first], &g.colours[first + n],
               static_cast<size_t>(used - first - n) * sizeof(uint32_t));
  std::fill(g.colours + used - n, g.colours + used, 0u);
}

void addTransparent(ColoursView& view) {
  Group g = groupOf(SwatchGroup::kTransparent);
  // Add is disabled at the limit; a command that arrives anyway is refused.
  if (g.count >= kSwatchCount) return;
  uint32_t c = kNewColour;
  if (!view.chooseColour(c)) return;
  g.count = std::max(g.count, 0) + 1;
  g.colours[g.count - 1] = c;
  showSwatchIfAny(view, g, g.count - 1, true);
  if (g.count > 0 && g.count < kSwatchCount) enableSelectionButtons(view, g, true);
  if (g.count >= kSwatchCount) view.enableButton(g.addId, false);
}

void addReplacePair(ColoursView& view) {
  Group g = groupOf(SwatchGroup::kReplace);
  if (g.count >= kSwatchCount) return;
  uint32_t c = kNewColour;
  if (!view.chooseColour(c)) return;
  g.count = std::max(g.count, 0);
  // The picked colour is the one to find; its replacement starts as magenta
  // until the user edits the pair's second swatch.
  for (uint32_t entry : {c, kNewColour}) {
    ++g.count;
    g.colours[g.count - 1] = entry;
    showSwatchIfAny(view, g, g.count - 1, true);
  }
  const int pair = g.count / 2 - 1;
  if (pair >= 0 && pair < kPairCount) view.showPairLabel(pair, true);
  if (g.count > 0 && g.count < kSwatchCount) enableSelectionButtons(view, g, true);
  if (g.count >= kSwatchCount) view.enableButton(g.addId, false);
}

void deleteTransparent(ColoursView& view) {
  Group g = groupOf(SwatchGroup::kTransparent);
  const int s = g.selected;
  const int count = usedEntries(g);
  if (s < 1 || s > count) return;
  removeEntries(g, s - 1, 1);
  showSwatchIfAny(view, g, count - 1, false);
  // With the last entry gone, the selection moves to the one before it.
  if (s == count) setSelection(g, s - 1);
  g.count = count - 1;
  repaintAll(view, g);
  if (g.count == 0) enableSelectionButtons(view, g, false);
  if (g.count < kSwatchCount) view.enableButton(g.addId, true);
}

void deleteReplacePair(ColoursView& view) {
  Group g = groupOf(SwatchGroup::kReplace);
  int s = g.selected;
  const int count = usedEntries(g);
  if (s < 1 || s > count) return;
  // Either swatch of a pair deletes the whole pair.
  const int first = (s % 2 == 1) ? s : s - 1;
  removeEntries(g, first - 1, 2);
  showSwatchIfAny(view, g, count - 1, false);
  showSwatchIfAny(view, g, count - 2, false);
  const int lastPair = count / 2 - 1;
  if (lastPair >= 0 && lastPair < kPairCount) view.showPairLabel(lastPair, false);
  // A selection in the last pair moves to the first swatch of the pair
  // before it; one in an earlier pair keeps its number and so names the
  // pair that moved into its place.
  if (s == count) --s;
  if (s == count - 1) s = (s - 2 < 1) ? 0 : s - 2;
  setSelection(g, s);
  g.count = std::max(count - 2, 0);
  repaintAll(view, g);
  if (g.count == 0) enableSelectionButtons(view, g, false);
  if (g.count < kSwatchCount) view.enableButton(g.addId, true);
}

void editSelected(ColoursView& view, SwatchGroup which) {
  Group g = groupOf(which);
  const int s = g.selected;
  if (s < 1 || s > usedEntries(g)) return;
  uint32_t c = g.colours[s - 1];
  if (!view.chooseColour(c)) return;
  g.colours[s - 1] = c;
  if (s - 1 < kSwatchCount) view.repaintSwatch(which, s - 1);
}

}  // namespace

void initColoursDialog(ColoursView& view) {
  appState.selectedReplace = 0;
  appState.selectedTrans = 0;
  for (int k = 0; k < kMaxEntries; ++k) {
    appState.transSwatches[k].selected = 0;
    appState.replaceSwatches[k].selected = 0;
  }

  Group trans = groupOf(SwatchGroup::kTransparent);
  const int transShown = std::min(usedEntries(trans), kSwatchCount);
  for (int k = 0; k < transShown; ++k) view.showSwatch(trans.which, k, true);
  enableSelectionButtons(view, trans, false);

  Group replace = groupOf(SwatchGroup::kReplace);
  const int pairsShown = std::min(usedEntries(replace) / 2, kPairCount);
  for (int p = 0; p < pairsShown; ++p) {
    view.showSwatch(replace.which, 2 * p, true);
    view.showSwatch(replace.which, 2 * p + 1, true);
    view.showPairLabel(p, true);
  }
  enableSelectionButtons(view, replace, false);

  view.enableButton(trans.addId, trans.count < kSwatchCount);
  view.enableButton(replace.addId, replace.count < kSwatchCount);
}

void coloursCommand(ColoursView& view, int id) {
  switch (id) {
    case kIdTransAdd:
      addTransparent(view);
      break;
    case kIdTransDelete:
      deleteTransparent(view);
      break;
    case kIdTransEdit:
      editSelected(view, SwatchGroup::kTransparent);
      break;
    case kIdReplaceAdd:
      addReplacePair(view);
      break;
    case kIdReplaceDelete:
      deleteReplacePair(view);
      break;
    case kIdReplaceEdit:
      editSelected(view, SwatchGroup::kReplace);
      break;
    case kIdOk:
    case kIdCancel:
      view.closeDialog();
      break;
    default:
      break;
  }
}

int swatchEntry(SwatchGroup which, UiHandle window) {
  if (window == nullptr) return -1;
  Group g = groupOf(which);
  const int used = usedEntries(g);
  for (int k = 0; k < used; ++k) {
    if (g.swatches[k].window == window) return k;
  }
  return -1;
}

uint32_t swatchColour(SwatchGroup which, int entry) {
  Group g = groupOf(which);
  if (entry < 0 || entry >= usedEntries(g)) return 0;
  return g.colours[entry];
}

bool swatchSelected(SwatchGroup which, UiHandle window) {
  Group g = groupOf(which);
  return window != nullptr && g.selected >= 1 && g.selected <= kMaxEntries &&
         g.swatches[g.selected - 1].window == window;
}

void clickSwatch(ColoursView& view, SwatchGroup which, UiHandle window) {
  const int entry = swatchEntry(which, window);
  if (entry < 0) return;
  Group g = groupOf(which);
  const int i = entry + 1;
  const int previous = g.selected;
  if (previous == i) {
    setSelection(g, 0);
    view.repaintSwatch(which, entry);
  } else {
    setSelection(g, i);
    if (previous >= 1 && previous <= kSwatchCount) view.repaintSwatch(which, previous - 1);
    view.repaintSwatch(which, entry);
  }
  enableSelectionButtons(view, g, g.selected != 0);
}
