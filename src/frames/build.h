// The build: the frame table in, one animated cursor file out.
#pragma once

#include "ani/ani_options.h"
#include "image/frame_reader.h"

// What one build may write. Cropping to the union of all frames and merging
// onto the first can make large frames of small files (a 16000 x 2 and a
// 2 x 16000 frame crop to 16000 x 16000 each), and the build holds every
// frame in memory before it writes: these bounds are checked on the sizes
// worked out in advance, before any of that memory is taken.
namespace buildlimits {
// The whole file: what kinetor-show and other careful readers accept.
constexpr uint64_t kFileBytes = uint64_t{256} << 20;
// Pixels of one frame as written, in all: 4096 x 4096 (a 16000 x 2 frame is
// fine).
constexpr uint64_t kFrameSide = 4096;
constexpr uint64_t kFramePixels = kFrameSide * kFrameSide;
// Growth: the file may take this many bytes for each byte of frame pixels
// read, counting at least kLeastPixelsRead of them, so that frames of less
// than 1 MB together never take more than 48 MiB (and well under a second).
constexpr uint64_t kGrowthPerPixelByte = 48;
constexpr uint64_t kLeastPixelsRead = uint64_t{1} << 20;
}  // namespace buildlimits

// Why nothing is written when the output names one of the build's inputs.
constexpr const char kReplacesAnInput[] = "the output would replace an input";

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
