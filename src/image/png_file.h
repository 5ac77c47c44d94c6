// Writes a picture as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

// `pixels` holds `channels` bytes per pixel (3: red, green, blue; 4: and
// straight alpha), rows top-down. False when the picture cannot be encoded
// or the file cannot be written.
bool writePngFile(const char* path, const std::vector<uint8_t>& pixels, int64_t width,
                  int64_t height, int channels = 3);
