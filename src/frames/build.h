// The build: the frame table in, one animated cursor file out.
#pragma once

#include "ani/ani_options.h"
#include "image/frame_reader.h"

// Reads every frame named in the table, processes them in the fixed order and
// writes the file. Failures are shown to the user; the result tells whether
// the file was written.
// `preview` tells where each frame's preview size comes from (see readFrame).
// Options (a build script's hotspot, timing, sequence, title and author) are
// optional; a hotspot that a frame as written does not hold stops the build
// before the file is created.
bool buildAnimation(const char* outputPath, PreviewSize preview = PreviewSize::kept,
                    const AnimationOptions* options = nullptr);

// Frees every block a build allocated and clears the references.
void releaseFrameBuffers();
