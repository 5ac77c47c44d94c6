// The build's steps for frames with alpha. Once any frame has alpha (a
// 32-bit BMP or a PNG), every frame is held as 32 bits a pixel: blue, green,
// red and straight alpha, rows bottom row first, no padding. The colour
// lists then act on alpha: a transparent colour gets alpha 0, a replaced
// colour keeps its alpha, the merge lays each later frame over the first
// with "over" compositing, the crop keeps what has alpha, and the AND mask
// marks where alpha is 0, for loaders that know no alpha.
#pragma once

#include <span>

#include "base/build_settings.h"
#include "base/frame_record.h"
#include "frames/bounds.h"

// Whether the frame as read holds alpha (is 32 bits a pixel).
bool frameHasAlpha(const FrameRecord& f);

// Gives an 8- or 24-bit frame 32-bit pixels of its own, opaque, colours
// through its palette; frames that have alpha already are left alone.
// False when a buffer could not be had.
bool promoteToAlpha(std::span<FrameRecord> frames);

// Replaces colours (when the switch is on) and makes transparent colours
// (when that switch is on) alpha 0. Pixels of alpha 0 become 0 altogether,
// so that a loader that takes the AND mask sees the screen through them.
void settleAlphaColours(const Settings& settings, std::span<FrameRecord> frames);

// The union of every frame's pixels whose alpha is not 0.
ContentRect unionAlphaBounds(std::span<const FrameRecord> frames);

// Crops every frame to r (not empty). False when a buffer could not be had.
bool cropAlphaFrames(std::span<FrameRecord> frames, const ContentRect& r);

// Lays every later frame over the first ("over", straight alpha); each takes
// the first frame's size. False when a buffer could not be had.
bool mergeAlphaFrames(std::span<FrameRecord> frames);

// Each frame's AND mask from its alpha, with pixelBytes and maskBytes.
// False when a mask could not be had.
bool buildAlphaMasks(std::span<FrameRecord> frames);
