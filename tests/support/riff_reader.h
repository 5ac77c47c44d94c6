// Animated cursor files read back for the tests through the program's own
// cursor reader and checker (ani/ani_reader.h), in the shape the tests
// inspect: the sizes as written, each frame's records, rows and pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ParsedIcon {
  uint32_t chunkSize = 0;  // as written in the chunk header (not rounded)
  bool padded = false;     // a pad byte followed the body
  // Icon directory and its one entry.
  uint16_t dirReserved = 0, dirType = 0, dirCount = 0;
  uint8_t entryWidth = 0, entryHeight = 0, entryColours = 0, entryReserved = 0;
  uint16_t hotspotX = 0, hotspotY = 0;
  uint32_t bytesInResource = 0, imageOffset = 0;
  // BITMAPINFOHEADER
  uint32_t biSize = 0;
  int32_t biWidth = 0, biHeight = 0;
  uint16_t biPlanes = 0, biBitCount = 0;
  uint32_t biCompression = 0, biSizeImage = 0;
  int32_t biXPelsPerMeter = 0, biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0, biClrImportant = 0;
  std::vector<uint32_t> palette;  // DIB-order entries of frames up to 8 bits
  std::string colourRows;         // XOR rows, bottom-up
  std::string maskRows;           // AND rows, bottom-up
  // The reader's decoded pixels, top row first.
  std::vector<uint32_t> colours;  // 0x00RRGGBB
  std::vector<uint8_t> mask;      // 1: the screen shows through

  int32_t width() const { return biWidth; }
  int32_t height() const { return biHeight / 2; }  // the stored height is doubled
  // (x, y) with y from the top.
  uint8_t indexAt(int32_t x, int32_t y) const;    // 8-bit frames
  uint32_t colourAt(int32_t x, int32_t y) const;  // DIB order 0x00RRGGBB
  bool maskAt(int32_t x, int32_t y) const;        // true: the screen shows through
};

struct ParsedAni {
  uint64_t fileLength = 0;
  uint32_t riffSize = 0;
  uint32_t anihSize = 0;
  uint32_t headerSize = 0, frames = 0, steps = 0, width = 0, height = 0, bitCount = 0, planes = 0,
           displayRate = 0, flags = 0;
  uint32_t listSize = 0;                // of the "fram" list
  std::vector<std::string> chunkOrder;  // ids of the top-level chunks after "ACON"
  std::vector<uint32_t> rates;          // the "rate" chunk, when there is one
  std::vector<uint32_t> sequence;       // the "seq " chunk, when there is one
  std::string title, author;            // "INAM" and "IART" of a "LIST" "INFO"
  std::vector<ParsedIcon> icons;        // pixels only for the frames that could be read
  std::vector<uint64_t> defectOffsets;  // where the checker found defects
};

// False, with the checker's defect lines in `error`, when the file has any
// defect; `out` is filled either way with what could be read.
bool parseAni(const std::string& bytes, ParsedAni& out, std::string& error);
