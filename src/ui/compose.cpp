#include "ui/compose.h"

#include <algorithm>

#include "ui/document.h"
#include "ui/state.h"

namespace {

// Lays a frame over the surface at (kFrameOffset, kFrameOffset) the way a
// mask blit (AND) followed by an image blit (OR) does: where the mask is 1 the
// surface stays, elsewhere the image replaces it. The image is black under
// the mask, so the OR leaves the background alone there. A pixel with partial
// alpha is blended over what lies beneath.
void drawFrame(uint32_t* surface, const uint32_t* image, const uint8_t* mask, int32_t width,
               int32_t height) {
  if (image == nullptr || width <= 0 || height <= 0) return;
  const int32_t room = kPreviewSize - kFrameOffset;
  const int32_t columns = std::min(width, room);
  const int32_t rows = std::min(height, room);
  for (int32_t y = 0; y < rows; ++y) {
    const int64_t rowStart = static_cast<int64_t>(y) * width;
    uint32_t* out = surface + static_cast<int64_t>(y + kFrameOffset) * kPreviewSize + kFrameOffset;
    for (int32_t x = 0; x < columns; ++x) {
      const bool keep = mask != nullptr && mask[rowStart + x] != 0;
      const uint32_t pixel = image[rowStart + x];
      const uint32_t through = pixel >> 24;
      if (keep || through == 0) {
        out[x] = (keep ? out[x] : 0) | (pixel & 0x00FFFFFF);
        continue;
      }
      uint32_t mixed = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t front = pixel >> shift & 0xFF, back = out[x] >> shift & 0xFF;
        mixed |= ((front * (255 - through) + back * through + 127) / 255) << shift;
      }
      out[x] = mixed;
    }
  }
}

// Whether any pixel of the frame's shown part lets the background through by
// its alpha.
bool showsAlpha(const uint32_t* image, int32_t width, int32_t height) {
  if (image == nullptr || width <= 0 || height <= 0) return false;
  const int32_t room = kPreviewSize - kFrameOffset;
  const int32_t columns = std::min(width, room);
  const int32_t rows = std::min(height, room);
  for (int32_t y = 0; y < rows; ++y) {
    const uint32_t* row = image + static_cast<int64_t>(y) * width;
    for (int32_t x = 0; x < columns; ++x) {
      if ((row[x] >> 24) != 0) return true;
    }
  }
  return false;
}

// The usual sign of transparency behind a picture with alpha: squares of
// white and light grey over the frame's area, anchored at its corner.
void drawCheckerboard(uint32_t* surface, int32_t width, int32_t height) {
  const int32_t columns = std::clamp(width, 0, kPreviewSize - kFrameOffset);
  const int32_t rows = std::clamp(height, 0, kPreviewSize - kFrameOffset);
  for (int32_t y = 0; y < rows; ++y) {
    uint32_t* out = surface + static_cast<int64_t>(y + kFrameOffset) * kPreviewSize + kFrameOffset;
    for (int32_t x = 0; x < columns; ++x) {
      out[x] = ((x / kCheckerSquare + y / kCheckerSquare) % 2) == 0 ? kCheckerLight : kCheckerDark;
    }
  }
}

void horizontalLine(uint32_t* surface, int32_t y, int32_t left, int32_t right, uint32_t colour) {
  if (y < 0 || y >= kPreviewSize) return;
  left = std::max(left, 0);
  right = std::min(right, kPreviewSize);
  for (int32_t x = left; x < right; ++x) surface[y * kPreviewSize + x] = colour;
}

void verticalLine(uint32_t* surface, int32_t x, int32_t top, int32_t bottom, uint32_t colour) {
  if (x < 0 || x >= kPreviewSize) return;
  top = std::max(top, 0);
  bottom = std::min(bottom, kPreviewSize);
  for (int32_t y = top; y < bottom; ++y) surface[y * kPreviewSize + x] = colour;
}

// One ring of the edge: top and left lines first, then bottom and right,
// which therefore own the two corners where the colours meet.
void edgeRing(uint32_t* surface, int32_t left, int32_t top, int32_t right, int32_t bottom,
              uint32_t topLeft, uint32_t bottomRight) {
  if (right <= left || bottom <= top) return;
  horizontalLine(surface, top, left, right, topLeft);
  verticalLine(surface, left, top, bottom, topLeft);
  horizontalLine(surface, bottom - 1, left, right, bottomRight);
  verticalLine(surface, right - 1, top, bottom, bottomRight);
}

// A cross of inverted pixels centred on the hotspot, so that it shows on
// any colour; the centre pixel itself is inverted once.
void markHotspot(uint32_t* surface, int32_t x, int32_t y) {
  constexpr int32_t kArm = 5;
  const int64_t cx = static_cast<int64_t>(x) + kFrameOffset;
  const int64_t cy = static_cast<int64_t>(y) + kFrameOffset;
  for (int64_t d = -kArm; d <= kArm; ++d) {
    const int64_t points[2][2] = {{cx + d, cy}, {cx, cy + d}};
    for (int k = d == 0 ? 1 : 0; k < 2; ++k) {
      const int64_t px = points[k][0], py = points[k][1];
      if (px < 0 || py < 0 || px >= kPreviewSize || py >= kPreviewSize) continue;
      surface[py * kPreviewSize + px] ^= 0x00FFFFFF;
    }
  }
}

}  // namespace

void drawSunkenEdge(uint32_t* surface, int32_t right, int32_t bottom,
                    const PreviewColours& colours) {
  edgeRing(surface, 0, 0, right, bottom, colours.shadow, colours.highlight);
  edgeRing(surface, 1, 1, right - 1, bottom - 1, colours.darkShadow, colours.light);
}

void composePreview(uint32_t* surface, const PreviewColours& colours) {
  std::fill(surface, surface + kPreviewSize * kPreviewSize, colours.face);
  const ShownFrame& shown = appState.shownFrame;
  if (shown.image == nullptr) return;

  int32_t edgeRight = 0;
  int32_t edgeBottom = 0;
  const FrameRecord& first = appState.frameTable[0];
  const bool merged = appState.optMerge != 0 && first.previewImage != nullptr;
  if (merged && showsAlpha(first.previewImage, first.width, first.height)) {
    drawCheckerboard(surface, first.width, first.height);
  }
  if (showsAlpha(shown.image, shown.width, shown.height)) {
    drawCheckerboard(surface, shown.width, shown.height);
  }
  if (merged) {
    drawFrame(surface, first.previewImage, first.previewMask, first.width, first.height);
    edgeRight = first.width;
    edgeBottom = first.height;
  }
  drawFrame(surface, shown.image, shown.mask, shown.width, shown.height);
  // Sizes come from decoded files; keep the sums in range whatever they hold.
  edgeRight = std::clamp(std::max(edgeRight, shown.width), 0, kPreviewSize) + 4;
  edgeBottom = std::clamp(std::max(edgeBottom, shown.height), 0, kPreviewSize) + 4;
  drawSunkenEdge(surface, edgeRight, edgeBottom, colours);
  if (editorDocument.hasHotspot) {
    markHotspot(surface, editorDocument.hotspotX, editorDocument.hotspotY);
  }
}
