// An animated cursor as plain values: its frames, the steps that show them,
// the hotspot and the texts. The build makes one and the writer writes it;
// every record owns its memory, so a cursor can be copied, moved and
// dropped like any other value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cursor {

// Bytes that never change once made. Copies share them, so a copy costs no
// more than a pointer, and the last copy to go gives them back; a block the
// build filled can be taken over without copying it.
class Bytes {
 public:
  Bytes() = default;
  Bytes(size_t count, uint8_t fill);
  Bytes(const uint8_t* data, size_t count);
  // Takes over `count` bytes at `block`, which `release` gives back.
  static Bytes adopt(uint8_t* block, size_t count, void (*release)(void*));

  const uint8_t* data() const { return data_.get(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::shared_ptr<const uint8_t> data_;
  size_t size_ = 0;
};

// One picture of a frame, as a cursor file stores it: rows bottom row first,
// each padded to four bytes. A 32-bit picture holds blue, green, red and
// straight alpha per pixel and no palette; its mask has a bit set where the
// alpha is 0, for loaders that know no alpha.
struct Image {
  int32_t width = 0;
  int32_t height = 0;  // rows of colour; the file's header counts the mask too
  uint16_t depth = 0;  // bits per pixel: 8, 24 or 32
  // The hotspot on this picture: pictures of one frame at several sizes each
  // have their own.
  uint16_t hotspotX = 0;
  uint16_t hotspotY = 0;
  // Carried from the frame's own header into the written one unchanged.
  uint16_t planes = 1;
  uint32_t sizeImage = 0;
  Bytes pixels;
  Bytes palette;  // 8-bit: 256 entries of blue, green, red, 0
  Bytes mask;     // AND mask, one bit per pixel
  Bytes alpha;    // one byte per pixel where the picture has it
};

// A frame holds one picture, or one per size, largest first.
struct Frame {
  std::vector<Image> images;
};

// What is on screen for how long: a frame number and jiffies of 1/60 s.
struct Step {
  uint32_t frame = 0;
  uint32_t jiffies = 0;
};

struct Cursor {
  std::vector<Frame> frames;
  std::vector<Step> steps;
  std::string title;
  std::string author;
  // How the file keeps the steps: a "seq " chunk names each step's frame
  // (otherwise the steps show the frames in order), and a "rate" chunk gives
  // each its time (otherwise every step shows for the first step's time).
  bool sequenceChunk = false;
  bool rateChunk = false;
};

// One step per frame, in order, each shown for `jiffies`.
std::vector<Step> stepsInOrder(size_t frames, uint32_t jiffies);

}  // namespace cursor
