// The optional pixel steps between the crop and the masks: colour
// replacement (24-bit) and the merge of later frames over the first.
#pragma once

// Turns each pixel of a listed "from" colour into its paired colour (the
// last pair for that colour wins; a replaced colour is not replaced again),
// in the frames' own pixel rows. Needs no memory.
void applyColorReplacement();

// Lays every frame after the first over the first: where the later frame has
// a transparent colour, the first frame's pixel shows. Every frame takes the
// first frame's size; a frame of another size gets a new buffer. False when
// that buffer could not be had.
bool mergeWithFirstFrame24();
bool mergeWithFirstFrame8();
