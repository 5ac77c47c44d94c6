// Writes an animated cursor file: the RIFF "ACON" header, the optional
// "LIST" "INFO" texts, the "anih" chunk, the optional "rate" and "seq "
// chunks and the "LIST" "fram" list with one "icon" chunk per frame, front
// to back in one pass.
#pragma once

#include <cstdint>
#include <memory>

#include "cursor/cursor.h"
#include "platform/platform.h"

// n rounded up to an even number.
constexpr uint64_t roundUpEven(uint64_t n) { return (n + 1) & ~uint64_t{1}; }

// Size of a frame's "icon" chunk body: directory, entry, header, palette
// (8-bit only), colour rows and mask. Pictures of 24 and 32 bits carry no
// palette: `is24Bit` stands for both.
uint64_t iconChunkSize(int64_t pixelBytes, int64_t maskBytes, bool is24Bit);

// Writes the cursor into a file the caller has opened and closes. Each
// frame's images go into its "icon" chunk, largest first, each with its
// own directory entry and hotspot; the steps' jiffies go into "anih" (the
// first step's) or a "rate" chunk. True when every byte was written.
bool writeCursor(const cursor::Cursor& c, plat::FileHandle file);

// The same, a frame at a time, for a caller that makes each frame just before
// it is written and lets it go after. The list's size comes first in the
// file, so the caller says up front what the frames will take.
class CursorStream {
 public:
  // What `frame` adds to the file: its "icon" chunk with header and pad.
  static uint64_t frameBytes(const cursor::Frame& frame);

  // Writes everything before the frames: `head`'s steps, flags and texts
  // (its frames are not read), `frames` as the count of frames and
  // `frameBytes` as what they will take together.
  CursorStream(plat::FileHandle file, const cursor::Cursor& head, uint32_t frames,
               uint64_t frameBytes);
  ~CursorStream();
  CursorStream(const CursorStream&) = delete;
  CursorStream& operator=(const CursorStream&) = delete;

  void put(const cursor::Frame& frame);
  // True when every byte was written and the frames took what was said.
  bool finish();

 private:
  struct Output;
  std::unique_ptr<Output> out_;
  uint64_t announced_ = 0;
  uint64_t written_ = 0;
};

// The same into `path`, created as a new file (an existing file of that name
// is left alone and the call fails), then closed. True when the file was
// created, written whole and closed cleanly.
bool writeCursorFile(const cursor::Cursor& c, const char* path);

// One frame as a static cursor file (.cur): the directory with an entry per
// image, then the images. True when every byte was written.
bool writeStaticCursor(const cursor::Frame& frame, plat::FileHandle file);
