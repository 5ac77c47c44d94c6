// The system's file and colour choosers, reached through a seam that tests
// replace so that they can answer without a dialog on the screen.
#pragma once

#include <windows.h>

#include <cstdint>

// Open chooser for one or several files. `buffer` holds 0xFFFF bytes: in, a
// name whose folder the chooser starts in (or empty); out, the selection.
// 0 cancelled or failed; 1 one file, the buffer holds its full path; 2
// several, the buffer holds the directory, a zero, each name followed by a
// zero, and one more zero.
int chooseOpenFiles(char* buffer, const char* title, const char* filter, HWND owner);

// Save chooser. `buffer` holds 260 bytes; true when a name was chosen and
// copied into it, false leaves it as it was.
bool chooseSaveFile(char* buffer, const char* title, const char* filter, HWND owner);

// Colour chooser starting at `colour` (COLORREF); true with the confirmed
// colour stored in it.
bool chooseColour(HWND owner, uint32_t& colour);

struct ChooserSeam {
  int (*openFiles)(char* buffer, const char* title, const char* filter, HWND owner);
  bool (*saveFile)(char* buffer, const char* title, const char* filter, HWND owner);
  bool (*colour)(HWND owner, uint32_t& colour);
};

// The choosers the editor uses; at start the real ones above.
const ChooserSeam& chooserSeam();
// Installs other choosers and returns the ones they replace.
ChooserSeam setChooserSeam(const ChooserSeam& seam);
