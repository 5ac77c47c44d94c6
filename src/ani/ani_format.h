// The records of a RIFF "ACON" animated cursor file. Every chunk is a
// four-byte id, a little-endian size and the body, padded to an even size;
// the optional chunks are the ones this program writes when asked.
//
//   "RIFF" size "ACON"
//   +- "LIST" size "INFO"                  optional: title and author
//   |    +- "INAM" size text 0 [pad]
//   |    +- "IART" size text 0 [pad]
//   +- "anih" 36  AniHeader                frames, steps, rate, flags
//   +- "rate" size u32 per step            optional: each step's jiffies
//   +- "seq " size u32 per step            optional: each step's frame
//   +- "LIST" size "fram"
//        +- "icon" size                    one per frame, a cursor resource:
//        |    IconDir (6)                    type 2, image count n
//        |    IconDirEntry (16) x n          size, hotspot, image offset
//        |    then per image, largest first:
//        |    BITMAPINFOHEADER (40)          height counts colour and mask
//        |    palette (8-bit: 256 x 4)
//        |    colour rows, bottom row first, each padded to 4 bytes
//        |      (32-bit: blue, green, red, straight alpha)
//        |    AND mask rows, 1 bit per pixel, each padded to 4 bytes
//        |    [pad]
//        +- "icon" ...
//
// A static cursor file (.cur) is one such resource alone: IconDir, the
// entries, the images.
#pragma once

#include <cstdint>

// A RIFF chunk header: four-byte id, then the body size.
struct ChunkHeader {
  char id[4];
  uint32_t size;
};
static_assert(sizeof(ChunkHeader) == 8);

// Body of the "anih" chunk.
struct AniHeader {
  uint32_t headerSize;
  uint32_t frames;
  uint32_t steps;
  uint32_t width;
  uint32_t height;
  uint32_t bitCount;
  uint32_t planes;
  uint32_t displayRate;  // in jiffies of 1/60 s
  uint32_t flags;
};
static_assert(sizeof(AniHeader) == 36);

// Each frame is a one-image cursor resource: this directory, one entry, the
// image (header, palette, colour rows, mask rows).
struct IconDir {
  uint16_t reserved;
  uint16_t type;  // 2: cursor
  uint16_t count;
};
static_assert(sizeof(IconDir) == 6);

struct IconDirEntry {
  uint8_t width;
  uint8_t height;
  uint8_t colourCount;
  uint8_t reserved;
  uint16_t hotspotX;
  uint16_t hotspotY;
  uint32_t bytesInResource;
  uint32_t imageOffset;
};
static_assert(sizeof(IconDirEntry) == 16);

namespace anifile {
constexpr uint32_t kAniFlagIcon = 1;      // frames are icon/cursor resources
constexpr uint32_t kAniFlagSequence = 2;  // a "seq " chunk orders the steps
constexpr uint32_t kDisplayRate = 10;     // every frame shows for 10 jiffies
constexpr uint32_t kCursorType = 2;
constexpr uint32_t kImageOffset = sizeof(IconDir) + sizeof(IconDirEntry);
// An entry's width or height byte holds 0 for a side of 256 or more.
constexpr int32_t kLargestEntrySide = 255;
}  // namespace anifile
