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
#include "image/colour_lookup.h"

// Whether the frame as read holds alpha (is 32 bits a pixel).
bool frameHasAlpha(const FrameRecord& f);

// Each step for one frame, so that a build that writes every frame as soon
// as it is finished need not hold the others; the steps over all frames
// below are loops over these.

// Gives an 8- or 24-bit frame 32-bit pixels of its own, opaque, colours
// through its palette; a frame that has alpha already is left alone.
// False when a buffer could not be had.
bool promoteFrameToAlpha(FrameRecord& f);

// The colour lists as they act on alpha, made once for a build: replaces
// colours (when the switch is on) and makes transparent colours (when that
// switch is on) alpha 0. Pixels of alpha 0 become 0 altogether, so that a
// loader that takes the AND mask sees the screen through them. It shares
// the colour table of the other colour steps: only one may live at a time.
class AlphaColours {
 public:
  explicit AlphaColours(const Settings& settings);
  AlphaColours(const AlphaColours&) = delete;
  AlphaColours& operator=(const AlphaColours&) = delete;
  void settle(FrameRecord& f) const;

 private:
  ColourFlags flags_;
  bool masking_;
};

// The frame's pixels whose alpha is not 0.
ContentRect alphaBounds(const FrameRecord& f);

// Crops the frame to r (not empty). False when a buffer could not be had.
bool cropAlphaFrame(FrameRecord& f, const ContentRect& r);

// Lays the frame over `first` ("over", straight alpha); it takes the first
// frame's size. False when a buffer could not be had.
bool mergeAlphaFrame(const FrameRecord& first, FrameRecord& f);

// The frame's AND mask from its alpha, with pixelBytes and maskBytes.
// False when the mask could not be had.
bool buildAlphaMask(FrameRecord& f);

// The same steps over every frame of a table.
bool promoteToAlpha(std::span<FrameRecord> frames);
void settleAlphaColours(const Settings& settings, std::span<FrameRecord> frames);
// The union of every frame's pixels whose alpha is not 0.
ContentRect unionAlphaBounds(std::span<const FrameRecord> frames);
// Crops every frame to r (not empty).
bool cropAlphaFrames(std::span<FrameRecord> frames, const ContentRect& r);
// Lays every later frame over the first.
bool mergeAlphaFrames(std::span<FrameRecord> frames);
bool buildAlphaMasks(std::span<FrameRecord> frames);
