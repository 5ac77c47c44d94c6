// Why something the user asked for was not done: one list of reasons for
// every layer, and one table of what the user is shown for each. Tests and
// fuzzers tell the reasons apart; the user sees the box's caption and, on
// POSIX, the `kinetor:` line with the reason.
#pragma once

#include <cstdint>

// Why nothing is written when the output names one of the build's inputs.
constexpr const char kReplacesAnInput[] = "the output would replace an input";

enum class Failure : uint8_t {
  none,
  // A frame file that was not read: "Can't load file" with its path.
  cannotOpen,    // the system's own reason, asked at once
  fileSize,      // outside the sizes of an 8- or 24-bit frame file
  fileTooLarge,  // a 32-bit BMP or a PNG beyond its larger limit
  outOfMemory,
  readFailed,
  notBitmap,   // neither a BMP nor a PNG
  headerSize,  // a header shorter than 40 bytes
  headerPastEnd,
  compressed,
  planes,
  depth,  // neither 8, 24 nor 32 bits per pixel
  negativeWidth,
  rowsOutsideFile,
  paletteTooLarge,  // more than 256 colours
  paletteOutsideFile,
  changedWhileRead,  // its size or change time moved during the read
  noPixels,          // a frame without a row or a column
  tooManyPixels,     // a side beyond the frame's limit
  damagedBitmap,     // a 32-bit BMP whose masks or layout no decoder takes
  damagedPng,
  pathTooLong,        // cut to fit, it would name another file
  changedSinceAdded,  // its size is no longer the preview's
  mixedDepths,        // 8- and 24-bit frames without one of alpha: its own box only
  hotspotOutside,     // its own box, whose text names the frame and its size
  // A frame whose mask could not be made: "Can't make mask" with its path.
  maskBadSize,  // the header describes no image (a negative height)
  maskOutOfMemory,
  // A build script that was not run, and the output it did not write.
  scriptUnreadable,  // missing, unreadable or empty
  noResultSection,
  outputPathTooLong,  // cut to fit, it would name another file
  tooFewFrames,       // fewer than two in its [BMP] section
  badScript,          // its own box, whose text says what is wrong
  replacesAnInput,    // the output names the script or a frame
  notWritten,         // the line that ends every failed run
  // A name chosen for the saved file.
  nameTooShort,  // shorter than an extension: nothing is saved, silently
  nameTooLong,   // no room for the extension: "Can't write file"
};

// The caption of the box that reports the failure (null: no box).
const char* failureCaption(Failure why);

// The words that follow `kinetor:` (null: no line).
const char* failureReason(Failure why);

// The box with `path` as its text, then the line naming the reason and the
// path.
void reportFailure(Failure why, const char* path);

// The same when the box and the line name different files: the box the one
// not written, the line the one in the way.
void reportFailure(Failure why, const char* shown, const char* named);
