// The steps of an 8-bit animation that the 24-bit one takes in its single
// walk over each frame (fused_steps): the merge of later frames over the
// first, on palette indices, and the colour step, on the palette.
#pragma once

#include <cstdint>
#include <span>

#include "base/build_settings.h"
#include "base/frame_record.h"

// Lays every frame after the first over the first: where the later frame's
// index names a transparent colour in its own palette, the first frame's
// index shows. Every frame takes the first frame's size; a frame of another
// size gets a new buffer. False when that buffer could not be had.
bool mergeWithFirstFrame8(const Settings& settings, std::span<FrameRecord> frames);

// The colour step of an 8-bit frame, on its 256-entry palette in place:
// transparent colours turn black first, then the first replace pair whose
// "from" colour equals the entry (as left by the first filter) applies.
// Each only when its switch is on.
void filterPalette8(const Settings& settings, uint8_t* palette);
