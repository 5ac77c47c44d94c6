#include "show/contact_sheet.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The image a loader draws for a step, or null.
const AniImage* stepFrame(const AniFile& file, const uint8_t* data, uint32_t step) {
  const uint32_t k = aniStepFrame(file, data, step);
  return k < file.frames.size() ? file.frames[k].drawn() : nullptr;
}

void put(std::vector<uint8_t>& rgb, const SheetLayout& l, int64_t x, int64_t y, uint32_t c) {
  uint8_t* p = rgb.data() + 3 * static_cast<size_t>(y * l.width + x);
  p[0] = static_cast<uint8_t>(c >> 16);
  p[1] = static_cast<uint8_t>(c >> 8);
  p[2] = static_cast<uint8_t>(c);
}

// A frame pixel, scale x scale sheet pixels.
void putScaled(std::vector<uint8_t>& rgb, const SheetLayout& l, int64_t left, int64_t top,
               int32_t x, int32_t y, uint32_t c) {
  for (int32_t dy = 0; dy < l.scale; ++dy) {
    for (int32_t dx = 0; dx < l.scale; ++dx) {
      put(rgb, l, left + int64_t{x} * l.scale + dx, top + int64_t{y} * l.scale + dy, c);
    }
  }
}

}  // namespace

bool planContactSheet(const AniFile& file, const uint8_t* data, SheetLayout& layout,
                      std::string& reason) {
  layout = SheetLayout{};
  layout.steps = aniStepCount(file);
  for (uint32_t s = 0; s < layout.steps; ++s) {
    if (const AniImage* f = stepFrame(file, data, s)) {
      layout.cellWidth = std::max(layout.cellWidth, f->width);
      layout.cellHeight = std::max(layout.cellHeight, f->height);
    }
  }
  if (layout.cellWidth == 0) {
    reason = "no step shows a frame that can be drawn";
    return false;
  }
  const int32_t side = std::max(layout.cellWidth, layout.cellHeight);
  layout.scale = std::max(1, sheet::kTargetSide / side);
  for (;;) {
    layout.width = sheet::kMargin + int64_t{layout.steps} *
                                        (int64_t{layout.cellWidth} * layout.scale + sheet::kMargin);
    layout.height = sheet::kMargin +
                    sheet::kBands * (int64_t{layout.cellHeight} * layout.scale + sheet::kMargin);
    if (static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height) <=
        sheet::kMaxPixels) {
      return true;
    }
    if (layout.scale == 1) break;
    layout.scale = 1;
  }
  reason = "the sheet would be " + std::to_string(layout.width) + " x " +
           std::to_string(layout.height) + " pixels, more than " +
           std::to_string(sheet::kMaxPixels);
  return false;
}

int64_t sheetCellLeft(const SheetLayout& l, uint32_t step) {
  return sheet::kMargin + int64_t{step} * (int64_t{l.cellWidth} * l.scale + sheet::kMargin);
}

int64_t sheetCellTop(const SheetLayout& l, int band) {
  return sheet::kMargin + band * (int64_t{l.cellHeight} * l.scale + sheet::kMargin);
}

uint32_t checkerColour(int band, int32_t x, int32_t y) {
  static const uint32_t kSquares[sheet::kBands][2] = {{0xFFFFFF, 0xC8C8C8}, {0x383838, 0x181818}};
  const int odd = ((x / sheet::kCheckerSquare) + (y / sheet::kCheckerSquare)) % 2;
  return kSquares[band][odd];
}

void renderContactSheet(const AniFile& file, const uint8_t* data, const SheetLayout& l,
                        std::vector<uint8_t>& rgb) {
  rgb.assign(3 * static_cast<size_t>(l.width * l.height), 0);
  for (int64_t y = 0; y < l.height; ++y) {
    for (int64_t x = 0; x < l.width; ++x) put(rgb, l, x, y, sheet::kBackground);
  }
  std::vector<uint32_t> colour;
  std::vector<uint8_t> mask;
  for (uint32_t s = 0; s < l.steps; ++s) {
    const AniImage* f = stepFrame(file, data, s);
    bool alpha = false;
    if (f != nullptr) {
      const size_t n = static_cast<size_t>(f->width) * static_cast<size_t>(f->height);
      colour.assign(n, 0);
      mask.assign(n, 0);
      if (!decodeAniFrame(data, file.fileSize, *f, colour.data(), mask.data())) f = nullptr;
      if (f != nullptr) alpha = frameUsesAlpha(*f, colour.data());
    }
    for (int band = 0; band < sheet::kBands; ++band) {
      const int64_t left = sheetCellLeft(l, s), top = sheetCellTop(l, band);
      for (int32_t y = 0; y < l.cellHeight; ++y) {
        for (int32_t x = 0; x < l.cellWidth; ++x) {
          uint32_t c = checkerColour(band, x, y);
          if (f != nullptr && x < f->width && y < f->height) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(f->width) + x;
            c = drawCursorPixel(c, colour[i], mask[i] != 0, alpha);
          } else if (f == nullptr) {
            // A cross marks a step whose frame cannot be drawn.
            const int64_t a = int64_t{x} * l.cellHeight, b = int64_t{y} * l.cellWidth;
            const int64_t b2 = int64_t{l.cellHeight - 1 - y} * l.cellWidth;
            const int64_t near = std::max(l.cellWidth, l.cellHeight);
            if (std::abs(a - b) < near || std::abs(a - b2) < near) c = sheet::kMissing;
          }
          putScaled(rgb, l, left, top, x, y, c);
        }
      }
    }
  }
}
