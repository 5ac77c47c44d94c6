// The PNG decoder of stb_image, compiled in its own file (png_stb.cpp) so
// that its code keeps its own warnings; png_decode.h is the interface the
// rest of the program uses.
#pragma once

#include <cstdint>

// Decodes to 4 bytes per pixel (red, green, blue, alpha), top row first.
// Null when the data is damaged or a block would exceed
// pnglimits::kBlockBytes. Release the result with freeStbPng.
uint8_t* decodeStbPng(const uint8_t* data, int size, int& width, int& height);
void freeStbPng(uint8_t* pixels);
