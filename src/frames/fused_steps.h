// The crop or copy, colour replacement, the merge with the first frame and
// the masks of a 24-bit animation, one frame after the other: each frame's
// pixels are taken by every step while they are still in the cache, and the
// last three read and write each pixel once. Replacement applies the last
// pair for a colour and never a second pair; the merge lays every later
// frame, at the first frame's size, over the first where its colour is
// transparent; positions outside a smaller frame count as black.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "frames/bounds.h"
#include "frames/mask.h"

struct FusedOutcome {
  // outOfMemory: a crop, copy or merge buffer was refused; or the first
  // mask that was not made.
  Failure why = Failure::none;
  int frame = -1;  // and its index
};

// The same steps for one frame at a time, for a build that writes each frame
// as soon as it is finished: frames go in order, the first one first.
class FusedSteps24 {
 public:
  FusedSteps24(const Settings& settings, size_t frames);
  ~FusedSteps24();
  FusedSteps24(const FusedSteps24&) = delete;
  FusedSteps24& operator=(const FusedSteps24&) = delete;

  // Whether the frames after the first are merged over it.
  bool merging() const { return merging_; }
  // Takes the frame through the steps: over `first` (finished) when it is
  // merged. Gives the reason when it stops (outOfMemory: a crop, copy or
  // merge buffer was refused; otherwise its mask was not made).
  Failure run(FrameRecord& f, const FrameRecord* first, const ContentRect& r) const;

  struct Lists;

 private:
  const Settings& settings_;
  std::unique_ptr<Lists> lists_;  // the colour table: built once per build
  bool merging_;
};

// Tests only: whether the steps may take eight pixels at a time where the
// processor can (they may by default), so that both ways are tested.
void setVectorSteps(bool on);

// Runs the steps; a `why` other than `none` tells where it stopped (the
// buffers made so far stay with their frames).
FusedOutcome runFusedSteps24(const Settings& settings, std::span<FrameRecord> frames,
                             const ContentRect& r);
