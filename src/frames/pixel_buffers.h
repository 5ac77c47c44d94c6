// The frames' own pixel buffers, shared by the crop, copy and merge steps.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/frame_record.h"
#include "base/runtime.h"
#include "image/pixels.h"

// Size of a buffer of w x h pixels; a negative size gives an empty buffer.
inline int64_t pixelBufferBytes(int32_t w, int32_t h, int bits) {
  return std::max<int64_t>(0, rowStride(w, bits, 32) * std::max(h, 0));
}

// Gives the frame a fresh buffer as its pixel data. Nothing reads the file
// data any more once the pixels live in the frame's own buffer (the header
// and palette were copied out of it), so it is returned to the heap at once:
// the next frame's buffer can then reuse the memory, which halves what a
// build of many frames holds and touches.
inline void adoptPixelBuffer(FrameRecord& f, uint8_t* buffer) {
  releaseBlock(f.workPixels);
  f.workPixels = buffer;
  f.pixels = buffer;
  releaseBlock(f.fileData);
}
