// The build run on the frame table of the state block, as the editor and the
// batch run it: the table's frames and the block's settings in, the file out.
#pragma once

#include "ani/ani_options.h"
#include "frames/build.h"
#include "image/frame_reader.h"

// Builds the frames named in the table with the settings of the state block
// and writes the file. Failures are shown to the user; the result tells
// whether the file was written. `preview` tells where each frame's preview
// size comes from (see readFrame); measured sizes are kept in the table.
// Options (a build script's hotspot, timing, sequence, title and author) are
// optional; a hotspot that a frame as written does not hold stops the build
// before the file is created.
bool buildAnimation(const char* outputPath, PreviewSize preview = PreviewSize::kept,
                    const AnimationOptions* options = nullptr);

// Frees every block a build allocated and clears the references.
void releaseFrameBuffers();
