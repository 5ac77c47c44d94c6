// The build: the frame table in, one animated cursor file out.
#pragma once

#include "image/frame_reader.h"

// Reads every frame named in the table, processes them in the fixed order and
// writes the file. Failures are shown to the user; the result tells whether
// the file was written.
// `preview` tells where each frame's preview size comes from (see readFrame).
bool buildAnimation(const char* outputPath, PreviewSize preview = PreviewSize::kept);

// Frees every block a build allocated and clears the references.
void releaseFrameBuffers();
