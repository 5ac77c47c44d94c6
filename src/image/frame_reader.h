// Reads one frame's BMP file into its FrameRecord.
#pragma once

#include <cstdint>

#include "base/failure.h"
#include "base/frame_record.h"
#include "platform/platform.h"

// Files outside this range of sizes are refused without reading them.
constexpr int64_t kMinFrameFileSize = 12;
constexpr int64_t kMaxFrameFileSize = 65535;
// Frames with alpha (32-bit BMPs and PNGs) may be larger files, and are
// decoded into 4 bytes a pixel: both are bounded.
constexpr int64_t kMaxAlphaFrameFileSize = int64_t{16} << 20;
constexpr int32_t kMaxAlphaFrameSide = 1024;

// Tests only: called with the frame's path after its size was taken and
// before its bytes are read, to change the file at that moment.
using FrameReadHook = void (*)(const char* path);
FrameReadHook setFrameReadHook(FrameReadHook hook);

// Where a frame's preview size (width, height) comes from: the editor decoded
// the preview when the frame was added; the batch, which shows nothing,
// takes the size the preview decoder would give the bytes read here.
enum class PreviewSize : uint8_t { kept, measured };

// Reads the file named by frame.path (fileData and header null on entry).
// The frame was read if and only if the result is `none`; then header,
// palette and pixels are set. An 8- or 24-bit BMP keeps its file in fileData
// and its rows there; a 32-bit BMP or a PNG is decoded into workPixels
// (blue, green, red, straight alpha; bottom row first) with a 40-byte
// 32-bit header, and its file is given back at once. Shows "Error" / "Out of memory" when a block
// cannot be had; every other refusal is silent.
Failure readFrame(FrameRecord& frame, PreviewSize preview = PreviewSize::kept);

// What one read of a frame file saw: a later read that sees the same got the
// same bytes.
struct FrameFileSeen {
  plat::FileStamp stamp;
  uint64_t checksum = 0;
};
constexpr bool operator==(const FrameFileSeen& a, const FrameFileSeen& b) {
  return a.stamp == b.stamp && a.checksum == b.checksum;
}

// readFrame that also tells what it saw of a file it read.
Failure readFrame(FrameRecord& frame, PreviewSize preview, FrameFileSeen& seen);
