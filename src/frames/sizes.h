// Pictures of a frame at several sizes, for screens at higher scaling: each
// a 32-bit square whose side a build script names, largest first.
#pragma once

#include <cstdint>

#include "ani/ani_options.h"
#include "cursor/cursor.h"

// Bytes one square 32-bit picture of `side` takes in a cursor resource:
// its directory entry, header, colour rows and mask rows.
uint64_t sizedImageBytes(int32_t side);

// `source` (8-bit with its palette, 24- or 32-bit) scaled so that its larger
// side is `side`, centred on a transparent square of that side. Shrinking
// averages the areas each new pixel covers, weighted by alpha, so that
// transparent pixels lend no colour to the edge; enlarging repeats pixels,
// so that pixel art stays sharp; at its own size the picture is copied.
// Pixels of an 8- or 24-bit picture whose mask bit is set become
// transparent. The hotspot is scaled with the picture, rounded down. False
// when the memory could not be had.
bool scaleImage(const cursor::Image& source, int32_t side, cursor::Image& out);

// Gives every frame of the cursor one such picture per size the options
// list, largest first, in place of the picture it had. No sizes: nothing
// changes. False when the memory could not be had.
bool sizeFrames(const AnimationOptions& options, cursor::Cursor& c);
