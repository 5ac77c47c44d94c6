// Per-frame preview images and masks, loaded straight from the frame files.
#pragma once

#include <cstdint>

// Preview pixels are 0xTTRRGGBB, TT telling how far the pixel lets the
// background through (255 minus its alpha): opaque pictures keep plain
// 0x00RRGGBB values. A clear pixel of a picture with alpha holds this value,
// with its mask byte 1.
constexpr uint32_t kPreviewClear = 0xFF000000u;

// Decodes the BMP or PNG file into frame n's (1-based) preview fields and
// builds its mask; pixels of alpha 0 are masked like transparent colours.
// False (and all four fields left zero) when the file cannot be decoded.
bool loadPreview(int n, const char* path);

// Makes the preview mask of an image of width x height pixels (top row first,
// 0x00RRGGBB): one byte per pixel, 1 where the pixel's colour is one of the
// transparent colours and transparency is on, else 0; the image's pixels
// under a 1 are set to black. The new block is stored at *mask; null when the
// image is null or the heap refuses. Colours are compared on their low 24
// bits.
void buildPreviewMask(uint32_t* image, int32_t width, int32_t height, uint8_t** mask);

// Releases frame n's preview and clears its four preview fields.
void releasePreview(int n);

// Releases the previews of all frames, then sets frameCount to 0.
void releaseAllPreviews();
