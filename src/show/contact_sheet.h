// The contact sheet: every step of a cursor side by side, left to right,
// drawn as Windows draws a cursor, once over a light and once over a dark
// checkerboard. Small frames are scaled up by a whole factor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ani/ani_reader.h"

namespace sheet {
constexpr int32_t kMargin = 8;         // sheet pixels around and between cells
constexpr int32_t kTargetSide = 96;    // small frames are scaled up toward this
constexpr int32_t kCheckerSquare = 4;  // frame pixels per checkerboard square
constexpr uint64_t kMaxPixels = uint64_t{1} << 25;
constexpr uint32_t kBackground = 0x808080;  // between the cells
constexpr uint32_t kMissing = 0xD00000;     // cross over a step whose frame cannot be drawn
constexpr int kBands = 2;                   // light, then dark
}  // namespace sheet

struct SheetLayout {
  uint32_t steps = 0;
  int32_t cellWidth = 0;  // in frame pixels: the largest frame the steps show
  int32_t cellHeight = 0;
  int32_t scale = 1;
  int64_t width = 0;  // in sheet pixels
  int64_t height = 0;
};

// Sizes the sheet. False, with the reason, when no step shows a readable
// frame or the sheet would be larger than sheet::kMaxPixels.
bool planContactSheet(const AniFile& file, const uint8_t* data, SheetLayout& layout,
                      std::string& reason);

// Where frame pixel (0, 0) of a step lands on the sheet, in band 0 or 1.
int64_t sheetCellLeft(const SheetLayout& layout, uint32_t step);
int64_t sheetCellTop(const SheetLayout& layout, int band);

// The checkerboard under frame pixel (x, y) in a band, 0x00RRGGBB.
uint32_t checkerColour(int band, int32_t x, int32_t y);

// Draws the sheet: 3 bytes (red, green, blue) per pixel, rows top-down.
void renderContactSheet(const AniFile& file, const uint8_t* data, const SheetLayout& layout,
                        std::vector<uint8_t>& rgb);
