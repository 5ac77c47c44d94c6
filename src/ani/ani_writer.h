// Writes the animated cursor file: the RIFF "ACON" header, the "anih"
// chunk and the "LIST" "fram" list with one "icon" chunk per frame, front
// to back in one pass.
#pragma once

#include <cstdint>

#include "ani/ani_options.h"
#include "base/state.h"
#include "platform/platform.h"

// One file being written. Small writes are gathered in `buffer`; `failed`
// remembers that any byte could not be written, so that the caller can
// refuse to keep the file.
struct AnimationFile {
  plat::FileHandle handle = plat::kInvalidFile;
  bool failed = false;
  uint32_t buffered = 0;
  uint8_t buffer[16384];
};

// n rounded up to an even number.
constexpr uint64_t roundUpEven(uint64_t n) { return (n + 1) & ~uint64_t{1}; }

// Size of a frame's "icon" chunk body: directory, entry, header, palette
// (8-bit only), colour rows and mask.
uint64_t iconChunkSize(int64_t pixelBytes, int64_t maskBytes, bool is24Bit);

// Creates `path` as a new file (an existing file of that name is left alone
// and the call fails) and writes everything up to and including "fram",
// with sizes from every frame's pixelBytes and maskBytes. Options, when
// given, add a "LIST" "INFO" before "anih" (title, author), a "rate" and a
// "seq " chunk after it, and set the step count, rate and sequence flag.
// False when the file could not be created; write failures are kept in
// `failed`.
bool createAnimationFile(AnimationFile& file, const char* path,
                         const AnimationOptions* options = nullptr);

// The same into a file that the caller has opened, and closes.
bool startAnimationFile(AnimationFile& file, plat::FileHandle handle,
                        const AnimationOptions* options = nullptr);

// Appends the "icon" chunk of one frame whose header already holds the
// doubled height, with the hotspot as it lies in the written frame. Clears
// header bytes 24 to 39 and, for 8-bit animations, filters the palette
// (transparent colours to black, then replace pairs, first pair wins) in
// place before writing it.
void writeIconChunk(AnimationFile& file, FrameRecord& frame, uint16_t hotspotX = 0,
                    uint16_t hotspotY = 0);

// Writes what is gathered and lets go of the file, for its opener to close.
// True when every byte was written.
bool finishAnimationFile(AnimationFile& file);

// Writes what is gathered and closes the file. True when every byte was
// written and the file closed cleanly.
bool closeAnimationFile(AnimationFile& file);
