// The AND mask of one frame and the byte counts the writer needs.
#pragma once

#include <cstdint>

#include "base/build_settings.h"
#include "base/failure.h"
#include "base/frame_record.h"

// Failure::none when maskBits is set; maskBadSize when the header describes
// no image (a negative height); maskOutOfMemory when the block could not be
// had, or is too large to count.
//
// Sets pixelBytes and maskBytes from the header, allocates maskBits and,
// when transparency is on, sets the bit of every pixel of a transparent
// colour (24-bit: and turns that pixel black).
Failure buildMask(const Settings& settings, FrameRecord& frame, bool is24);

// The first half of buildMask: the byte counts and an empty mask block.
Failure allocateMask(FrameRecord& frame, bool is24);

// The AND mask of 32-bit rows (blue, green, red, alpha; `stride` bytes
// apart, in the mask's row order): the bit of every pixel whose alpha is 0,
// so that loaders that know no alpha still show the shape. `mask` holds
// maskStride(width) * height bytes, zero on entry.
void maskFromAlpha(const uint8_t* rows, int64_t stride, int32_t width, int32_t height,
                   uint8_t* mask);

// Whether masks mark anything: transparency on and a colour listed.
bool maskingIsOn(const Settings& settings);

// The byte counts of a frame of this size, in 64-bit; heights below zero
// count as negative sizes.
int64_t framePixelBytes(int32_t width, int32_t height, bool is24Bit);
int64_t frameMaskBytes(int32_t width, int32_t height);
