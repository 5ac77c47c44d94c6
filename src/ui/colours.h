// The colours dialog's logic: the transparent colours and the replace pairs
// with their swatches, selections and buttons. The view makes the swatch
// windows (into appState's swatch arrays) and carries out what these calls
// ask of the screen through ColoursView.
#pragma once

#include <cstdint>

#include "ui/state.h"

// The dialog shows at most this many entries per list: 12 transparent
// colours, 6 replace pairs.
constexpr int kSwatchCount = 12;
constexpr int kPairCount = kSwatchCount / 2;
// A new colour, and the first replacement of a new pair, start as magenta.
constexpr uint32_t kNewColour = 0x00FF00FF;

enum class SwatchGroup { kTransparent, kReplace };

class ColoursView {
 public:
  // Swatch `entry` (0-based, below kSwatchCount) of a group.
  virtual void showSwatch(SwatchGroup group, int entry, bool visible) = 0;
  virtual void repaintSwatch(SwatchGroup group, int entry) = 0;
  // The "->" label between the two swatches of replace pair `pair`.
  virtual void showPairLabel(int pair, bool visible) = 0;
  virtual void enableButton(int id, bool enabled) = 0;
  // The colour chooser, starting at `colour` (COLORREF); true with the
  // confirmed colour stored in it, false when cancelled.
  virtual bool chooseColour(uint32_t& colour) = 0;
  virtual void closeDialog() = 0;

 protected:
  ~ColoursView() = default;
};

// Once the view has made the 12 + 12 swatch windows: clears the selections,
// shows the swatches of the entries the lists hold and sets the buttons.
void initColoursDialog(ColoursView& view);

// WM_COMMAND of the dialog, by control id.
void coloursCommand(ColoursView& view, int id);

// A click on a swatch window: selects it, or deselects it when it was the
// selected one, and enables the group's Delete and Edit accordingly.
void clickSwatch(ColoursView& view, SwatchGroup group, UiHandle window);

// The list entry (0-based) a swatch window shows, or -1 when it shows none.
int swatchEntry(SwatchGroup group, UiHandle window);

// The colour a swatch window shows (COLORREF), when swatchEntry finds it.
uint32_t swatchColour(SwatchGroup group, int entry);

// True when the window is its group's selected swatch (drawn sunken).
bool swatchSelected(SwatchGroup group, UiHandle window);
