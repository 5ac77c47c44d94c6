// The crop or copy, colour replacement, the merge with the first frame and
// the masks of a 24-bit animation, one frame after the other. The result is
// the same as running cropOrCopyFrames24, applyColorReplacement,
// mergeWithFirstFrame24 and buildMask in turn; each frame's pixels are
// taken by every step while they are still in the cache, and the last three
// read and write each pixel once instead of three times.
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

// Whether the one walk gives what the separate steps give: every frame's
// size after the crop (to `r`, as cropOrCopyFrames24 would) and the merge
// describes an image (a frame that does not would make the separate steps
// stop at its mask, in frame order).
bool fusedStepsApply(const Settings& settings, std::span<const FrameRecord> frames,
                     const ContentRect& r);

// Runs the steps; a `why` other than `none` tells where it stopped (the buffers made so far stay
// with their frames).
FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames,
                             const ContentRect& r);
