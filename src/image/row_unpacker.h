// The one unpacker of stored pixel rows, for BMP files and for the images
// inside cursor files: 1, 4 and 8 bits through a palette, 16 and 32 bits
// through channel masks, 24 bits as blue, green, red.
#pragma once

#include <cstdint>

class RowUnpacker {
 public:
  // `palette` holds `paletteCount` colours (0x00RRGGBB; at most 256), used
  // up to 8 bits per pixel, where indices past them draw black. `masks` are
  // the red, green, blue and alpha masks of a 16- or 32-bit pixel; an alpha
  // mask of 0 leaves the top byte 0.
  RowUnpacker(uint16_t bits, const uint32_t* palette, uint32_t paletteCount,
              const uint32_t (&masks)[4]);

  // One row of `width` pixels into `out`, as 0xAARRGGBB values.
  void unpack(const uint8_t* row, int32_t width, uint32_t* out) const;

 private:
  // One colour channel of a 16- or 32-bit pixel, widened to 8 bits by
  // repeating its top bits, as a display conversion does (5 bits abcde give
  // abcdeabc).
  struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m);
    uint32_t value(uint32_t pixel) const;
  };

  uint32_t colour(uint32_t index) const { return index < paletteCount_ ? palette_[index] : 0; }

  uint16_t bits_;
  const uint32_t* palette_;
  uint32_t paletteCount_;
  Channel red_, green_, blue_, alpha_;
  // 32-bit pixels whose channels are whole bytes in their usual places are
  // taken as they lie, without a channel each.
  bool plain32_ = false;
  uint32_t plainKeep_ = 0;
};
