// Writes a picture as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

// `rgb` holds 3 bytes per pixel, rows top-down. False when the picture
// cannot be encoded or the file cannot be written.
bool writePngFile(const char* path, const std::vector<uint8_t>& rgb, int64_t width, int64_t height);
