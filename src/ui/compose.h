// The preview picture: one 256 x 256 surface composed from the shown frame,
// optionally over the first frame, inside a sunken edge. Nothing is scaled;
// what lies beyond the surface is cut off.
#pragma once

#include <cstdint>

constexpr int kPreviewSize = 256;
// Frames are drawn with their top-left corner here.
constexpr int kFrameOffset = 2;
// Behind a frame with alpha: squares of this many pixels in two colours.
constexpr int kCheckerSquare = 8;
constexpr uint32_t kCheckerLight = 0xFFFFFF;
constexpr uint32_t kCheckerDark = 0xCCCCCC;

// The system colours the picture uses, each 0x00RRGGBB. The Windows view
// passes the display's colours; tests pass fixed ones.
struct PreviewColours {
  uint32_t face;        // the dialog's face colour, the background
  uint32_t shadow;      // outer top and left edge line
  uint32_t darkShadow;  // inner top and left edge line
  uint32_t highlight;   // outer bottom and right edge line
  uint32_t light;       // inner bottom and right edge line
};

// Composes appState.shownFrame (and, with "Merge with 1st frame" on, the
// first frame underneath) into `surface`: kPreviewSize * kPreviewSize pixels,
// top row first, each 0x00RRGGBB. A frame with alpha lies over a
// checkerboard, its partial alpha blended.
void composePreview(uint32_t* surface, const PreviewColours& colours);

// Draws a sunken 2-pixel edge around the rectangle from (0, 0) to
// (right, bottom), right and bottom exclusive, clipped to the surface.
void drawSunkenEdge(uint32_t* surface, int32_t right, int32_t bottom,
                    const PreviewColours& colours);
