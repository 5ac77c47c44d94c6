// The one process-wide state block. Every module reads and writes its fields
// directly; nobody keeps a private copy.
#pragma once

#include <cstdint>

#include "base/build_settings.h"

// Every array of the block holds this many entries: frames, colours, swatches.
constexpr int kMaxEntries = 255;
// Paths hold at most 259 characters and a terminating zero.
constexpr int kPathCapacity = 260;

// Handles of the editor's windows, menus and device contexts. Portable code
// only stores and compares them; the Win32 view casts them.
using UiHandle = void*;

struct FrameRecord {
  // Build fields: filled by one build, emptied by releaseFrameBuffers.
  char* path;           // 260-byte heap block
  uint8_t* fileData;    // the whole BMP file
  uint8_t* maskBits;    // 1-bit AND mask, rows bottom-up
  uint8_t* pixels;      // borrowed: into fileData, later equal to workPixels
  uint8_t* workPixels;  // pixel buffer owned by the frame
  uint8_t* palette;     // borrowed: 256 entries at header + 40
  int32_t pixelBytes;
  int32_t maskBytes;
  uint8_t* header;  // BITMAPINFOHEADER (40 bytes) followed by the palette
  // Set when the path was read from a line longer than a path may be: `path`
  // holds only its start, which would name some other file.
  uint8_t pathTooLong;
  // Preview fields: live while the frame is in the list. The image is
  // width x height pixels, top row first, each 0x00RRGGBB; the mask holds one
  // byte per pixel, 1 where the pixel shows the background.
  uint32_t* previewImage;
  uint8_t* previewMask;
  int32_t width;
  int32_t height;
};

struct ShownFrame {
  uint32_t* image;
  uint8_t* mask;
  int32_t width;
  int32_t height;
};

struct Swatch {
  UiHandle window;
  uint8_t selected;
};

struct AppState {
  // Process
  void* instance;
  char programDir[kPathCapacity];
  char* commandArgs;

  // Animation settings, persisted in the settings file
  uint8_t optTransparent;
  uint8_t optReplace;
  uint8_t optMerge;
  uint8_t optOptimize;
  uint32_t transColors[kMaxEntries];  // COLORREF 0x00BBGGRR
  int32_t transCount;
  uint32_t replaceColors[kMaxEntries];  // pairs: find, replacement
  int32_t replaceCount;

  // Frame table
  FrameRecord frameTable[kMaxEntries];
  int32_t frameCount;

  // Editor
  UiHandle mainMenu;
  UiHandle frameList;
  UiHandle pathList;
  UiHandle previewWindow;
  UiHandle backBufferDC;
  UiHandle backBufferOldBitmap;
  ShownFrame shownFrame;
  uint32_t playTimer;
  int32_t playIndex;
  Swatch transSwatches[kMaxEntries];
  Swatch replaceSwatches[kMaxEntries];
  int32_t selectedTrans;
  int32_t selectedReplace;
};

extern AppState appState;

// The switches and colour lists of the block as a value for a build.
Settings currentSettings();

// Brings the whole block back to its zero state (tests start from it).
void resetAppState();

// The number of frame records in use, whatever frameCount says.
inline int frameTotal() {
  const int32_t n = appState.frameCount;
  return n < 0 ? 0 : (n > kMaxEntries ? kMaxEntries : n);
}
