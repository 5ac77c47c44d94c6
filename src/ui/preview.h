// Per-frame preview images and masks, loaded straight from the frame files.
#pragma once

#include <cstdint>

// Decodes the BMP file into frame n's (1-based) preview fields and builds its
// mask. False (and all four fields left zero) when the file cannot be decoded.
bool loadPreview(int n, const char* path);

// Releases frame n's preview and clears its four preview fields.
void releasePreview(int n);

// Releases the previews of all frames, then sets frameCount to 0.
void releaseAllPreviews();
