// What a build script may say about the written file beyond its frames: the
// hotspot, the timing, the order of the steps, a title and an author. A
// default record asks for none of it, and the file is then exactly the plain
// one (hotspot 0,0, 10 jiffies per frame, frames in table order).
#pragma once

#include <cstdint>

namespace anifile {
constexpr int kMaxSteps = 4096;
// Longest title or author, without the terminating zero.
constexpr int kMaxInfoText = 255;
// Most pictures one frame may carry at sizes of its own, and the largest side.
constexpr int kMaxSizes = 8;
constexpr int kLargestSize = 256;
}  // namespace anifile

struct AnimationOptions {
  // Pixels from the top-left corner of the frames as given; the build moves
  // it with a crop.
  bool hasHotspot = false;
  int32_t hotspotX = 0;
  int32_t hotspotY = 0;
  // 0: every step shows for the default rate; 1: rates[0] for every step;
  // otherwise one rate per step, and then the count equals the step count.
  int32_t rateCount = 0;
  uint32_t rates[anifile::kMaxSteps] = {};  // jiffies of 1/60 s
  // 0: one step per frame in table order; otherwise the 0-based frame
  // shown by each step.
  int32_t sequenceLength = 0;
  uint8_t sequence[anifile::kMaxSteps] = {};
  // Zero-terminated; empty when not given.
  char title[anifile::kMaxInfoText + 1] = {};
  char author[anifile::kMaxInfoText + 1] = {};
  // 0: each frame as given; otherwise each frame becomes one 32-bit square
  // picture per side, largest first.
  int32_t sizeCount = 0;
  uint16_t sizes[anifile::kMaxSizes] = {};
  // Written as a static cursor file (.cur) of the one frame instead of an
  // animation.
  bool staticCursor = false;
};
