// Reads animated cursor files back for the tests, independently of the
// program's writer: it walks the RIFF chunks, checks every size it meets
// against the bytes present, and decodes the frames' pixels and masks.
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
  std::vector<uint32_t> palette;  // 256 DIB-order entries for 8-bit frames
  std::string colourRows;         // XOR rows, bottom-up
  std::string maskRows;           // AND rows, bottom-up

  int32_t width() const { return biWidth; }
  int32_t height() const { return biHeight / 2; }  // the stored height is doubled
  // (x, y) with y from the top.
  uint8_t indexAt(int32_t x, int32_t y) const;
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
  std::vector<ParsedIcon> icons;
};

// False, with a reason, when the bytes are not a well-formed single-image
// cursor animation whose sizes all agree.
bool parseAni(const std::string& bytes, ParsedAni& out, std::string& error);

// Row length of a DIB row.
uint32_t dibRowBytes(int32_t width, int bitCount);
