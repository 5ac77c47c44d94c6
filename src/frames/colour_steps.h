// The optional pixel steps between the crop and the masks: colour
// replacement (24-bit) and the merge of later frames over the first; and the
// 8-bit colour step, which works on the palette.
#pragma once

#include <cstdint>
#include <span>

#include "base/build_settings.h"
#include "base/frame_record.h"

// Turns each pixel of a listed "from" colour into its paired colour (the
// last pair for that colour wins; a replaced colour is not replaced again),
// in the frames' own pixel rows. Needs no memory.
void applyColorReplacement(const Settings& settings, std::span<FrameRecord> frames);

// Lays every frame after the first over the first: where the later frame has
// a transparent colour, the first frame's pixel shows. Every frame takes the
// first frame's size; a frame of another size gets a new buffer. False when
// that buffer could not be had.
bool mergeWithFirstFrame24(const Settings& settings, std::span<FrameRecord> frames);
bool mergeWithFirstFrame8(const Settings& settings, std::span<FrameRecord> frames);

// The colour step of an 8-bit frame, on its 256-entry palette in place:
// transparent colours turn black first, then the first replace pair whose
// "from" colour equals the entry (as left by the first filter) applies.
// Each only when its switch is on.
void filterPalette8(const Settings& settings, uint8_t* palette);
