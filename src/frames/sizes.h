// Pictures of a frame at several sizes, for screens at higher scaling: each
// a 32-bit square whose side a build script names, largest first.
#pragma once

#include <cstdint>

#include "ani/ani_options.h"
#include "cursor/cursor.h"

// Bytes one square 32-bit picture of `side` takes in a cursor resource:
// its directory entry, header, colour rows and mask rows.
uint64_t sizedImageBytes(int32_t side);

// Gives every frame of the cursor one square 32-bit picture per size the
// options list, largest first, in place of the picture it had (8-bit with
// its palette, 24- or 32-bit): the frame scaled so that its larger side is
// the size, centred on a transparent square. Shrinking averages the areas
// each new pixel covers, weighted by alpha, so that transparent pixels lend
// no colour to the edge; enlarging repeats pixels, so that pixel art stays
// sharp; at its own size the frame is copied. Pixels of an 8- or 24-bit
// picture whose mask bit is set become transparent. The hotspot is scaled
// with the pixels, rounded down. No sizes: nothing changes. False when the
// memory could not be had.
bool sizeFrames(const AnimationOptions& options, cursor::Cursor& c);

// The same for one frame, for a build that writes each frame as soon as it
// is finished; sizeFrames is a loop over it.
bool sizeFrame(const AnimationOptions& options, cursor::Frame& frame);
