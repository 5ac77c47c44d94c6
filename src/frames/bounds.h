// Content bounds of the frames, and the crop or plain copy that gives every
// frame a pixel buffer of its own.
#pragma once

#include <cstdint>
#include <span>

#include "base/build_settings.h"
#include "base/frame_record.h"
#include "image/colour_lookup.h"

// Left, top, right, bottom; right and bottom inclusive, so a rectangle one
// pixel wide or high holds pixels like any other. Empty when right < left or
// bottom < top.
struct ContentRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  bool operator==(const ContentRect&) const = default;
};

// What a frame without content, and a union of such frames, gives. The
// 24-bit widening leaves it as it is.
constexpr ContentRect kEmptyRect{0, 0, -1, -1};

bool rectIsEmpty(const ContentRect& r);
// Both empty: kEmptyRect; one empty: the other; else the bounding box.
ContentRect unionRect(const ContentRect& a, const ContentRect& b);

// Smallest rectangle holding every pixel of an 8-bit frame that is not of a
// transparent colour, scanned over its width x height; an empty rectangle
// when there is none. With no transparent colours: the whole frame.
ContentRect findContentBounds8(const Settings& settings, const FrameRecord& f);

// The same union taken one frame at a time, in table order, so that a frame
// can be measured right after it was read, while its pixels are still in the
// cache. Only one may live at a time, and none beside the colour steps: they
// share the large colour table.
class BoundsUnion {
 public:
  BoundsUnion(const Settings& settings, bool is24);
  BoundsUnion(const BoundsUnion&) = delete;
  BoundsUnion& operator=(const BoundsUnion&) = delete;
  void add(const FrameRecord& f);
  const ContentRect& result() const { return result_; }

 private:
  const Settings& settings_;
  bool is24_;
  bool listed_;
  ColourFlags flags_;
  ContentRect result_ = kEmptyRect;
};

// Moves the left edge down and the right edge up to multiples of 4 pixels so
// that cropped 24-bit rows need no padding.
ContentRect widenBoundsFor24Bit(const ContentRect& r);

// With "Optimize image size" on and r not empty, crops every 8-bit frame to
// r; with it off, gives every frame a copy of its pixels. False when a
// buffer could not be had; frames done so far keep theirs.
bool cropOrCopyFrames8(const Settings& settings, std::span<FrameRecord> frames,
                       const ContentRect& r);
// The same for one frame of `bits` per pixel, so that a later step can take
// the frame while its pixels are still in the cache (as the 24-bit steps do).
bool cropOrCopyFrame(const Settings& settings, FrameRecord& f, const ContentRect& r, int bits);
