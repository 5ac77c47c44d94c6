// Reads one frame's BMP file into its FrameRecord.
#pragma once

#include <cstdint>

#include "base/state.h"

// Files outside this range of sizes are refused without reading them.
constexpr int64_t kMinFrameFileSize = 12;
constexpr int64_t kMaxFrameFileSize = 65535;

// Reads the file named by frame.path (fileData and header null on entry).
// The frame was read if and only if frame.fileData is non-null afterwards;
// then header, palette and pixels are set and appState.is24Bit holds the
// frame's depth. Shows "Error" / "Out of memory" when a block cannot be had;
// every other refusal is silent.
void readFrame(FrameRecord& frame);

// The checks and copies of readFrame on a file already held in
// frame.fileData (fileSize bytes). Returns the new header block, or null when
// the file is refused.
uint8_t* parseFrameHeader(FrameRecord& frame, uint32_t fileSize);
