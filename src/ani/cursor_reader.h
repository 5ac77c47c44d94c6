// A cursor file's bytes as the cursor model: every frame with every image,
// the steps with their frames and times, the texts, and whether the file
// keeps a "seq " and a "rate" chunk. Built on readAniFile, whose checks
// decide what can be read at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cursor/cursor.h"

// Reads an animated cursor (RIFF "ACON"), or a static cursor or icon as a
// cursor of one step. Bitmaps of 8, 24 and 32 bits keep their bytes as the
// file has them; other pictures (1, 4 and 16 bits, compressed bitmaps, PNG
// images) are decoded into 32-bit ones, and `notes` says so. False, with
// the reason in `why`, when the file holds no frame that can be drawn, or a
// frame none of whose images can be.
bool readCursor(const uint8_t* data, uint64_t size, cursor::Cursor& out, std::string& why,
                std::vector<std::string>& notes);
