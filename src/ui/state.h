// The editor's process-wide state block: its windows, its frame list and
// the settings its dialog shows. The build does not read it: the editor's
// side hands it the frames and settings as values (see build_table.h).
#pragma once

#include <cstdint>

#include "base/build_settings.h"
#include "base/frame_record.h"

// Handles of the editor's windows, menus and device contexts. Portable code
// only stores and compares them; the Win32 view casts them.
using UiHandle = void*;

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
  // Whole factor by which the preview window shows its composed picture
  // (0 or 1: as composed); larger where the display scales the dialog.
  int32_t previewScale;
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

// Brings the whole block back to its zero state (tests start from it).
void resetAppState();

// The number of frame records in use, whatever frameCount says.
inline int frameTotal() {
  const int32_t n = appState.frameCount;
  return n < 0 ? 0 : (n > kMaxEntries ? kMaxEntries : n);
}
