// The crop or copy, colour replacement, the merge with the first frame and
// the masks of a 24-bit animation, one frame after the other: each frame's
// pixels are taken by every step while they are still in the cache, and the
// last three read and write each pixel once. Replacement applies the last
// pair for a colour and never a second pair; the merge lays every later
// frame, at the first frame's size, over the first where its colour is
// transparent; positions outside a smaller frame count as black.
#pragma once

#include <span>

#include "frames/bounds.h"
#include "frames/mask.h"

struct FusedOutcome {
  // outOfMemory: a crop, copy or merge buffer was refused; or the first
  // mask that was not made.
  Failure why = Failure::none;
  int frame = -1;  // and its index
};

// Runs the steps; a `why` other than `none` tells where it stopped (the
// buffers made so far stay with their frames).
FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames,
                             const ContentRect& r);
