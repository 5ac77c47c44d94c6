// The union of whole tables of frames' bounds at once, for the tests and
// the fuzzers; the build takes it one frame at a time (BoundsUnion).
#pragma once

#include <span>

#include "frames/bounds.h"

inline ContentRect unionContentBounds(const Settings& settings, std::span<const FrameRecord> frames,
                                      bool is24) {
  BoundsUnion all(settings, is24);
  for (const FrameRecord& f : frames) all.add(f);
  return all.result();
}
