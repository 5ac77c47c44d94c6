// Colour replacement, the merge with the first frame and the masks of a
// 24-bit animation in one walk over each frame. The result is the same as
// running applyColorReplacement, mergeWithFirstFrame24 and buildMask for
// every frame in turn; it only reads and writes each pixel once instead of
// three times.
#pragma once

#include <span>

#include "frames/mask.h"

struct FusedOutcome {
  bool mergeFailed = false;              // a merged frame's buffer was refused
  MaskOutcome mask = MaskOutcome::made;  // the first mask that was not made
  int frame = -1;                        // and its index
};

// Whether the one walk gives what the separate steps give: every frame's
// size after the merge describes an image (a frame that does not would
// make the separate steps stop at its mask, in frame order).
bool fusedStepsApply(const Settings& settings, std::span<const FrameRecord> frames);

// Runs the steps; `mergeFailed` or a `mask` other than `made` tells where it
// stopped (the buffers made so far stay with their frames).
FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames);
