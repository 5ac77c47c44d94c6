// One frame as the build and the editor's list hold it, and the sizes of
// the lists and paths that the whole program shares.
#pragma once

#include <cstdint>

// Every list holds at most this many entries: frames, colours, swatches.
constexpr int kMaxEntries = 255;
// Paths hold at most 259 characters and a terminating zero.
constexpr int kPathCapacity = 260;

struct FrameRecord {
  // Build fields: filled by one build, emptied by releaseFrameBuffers.
  char* path;           // 260-byte heap block
  uint8_t* fileData;    // the whole BMP file
  uint8_t* maskBits;    // 1-bit AND mask, rows bottom-up
  uint8_t* pixels;      // borrowed: into fileData, later equal to workPixels
  uint8_t* workPixels;  // pixel buffer owned by the frame
  uint8_t* palette;     // borrowed: 256 entries at header + 40
  int32_t pixelBytes;
  int32_t maskBytes;
  uint8_t* header;  // BITMAPINFOHEADER (40 bytes) followed by the palette
  // Set when the path was read from a line longer than a path may be: `path`
  // holds only its start, which would name some other file.
  uint8_t pathTooLong;
  // Preview fields: live while the frame is in the list. The image is
  // width x height pixels, top row first, each 0xTTRRGGBB (TT: 255 minus
  // alpha, 0 for opaque pictures); the mask holds one
  // byte per pixel, 1 where the pixel shows the background.
  uint32_t* previewImage;
  uint8_t* previewMask;
  int32_t width;
  int32_t height;
  // Jiffies the frame shows for in the editor's cursor; 0 for the default.
  uint32_t rate;
};
