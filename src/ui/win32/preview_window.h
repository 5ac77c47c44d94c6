// The preview window's back buffer and its colours.
#pragma once

#include <windows.h>

#include "ui/compose.h"

// A 32-bit DIB section whose rows run top first, as the composed surface's
// do; *bits receives its pixels. Null when it cannot be made.
HBITMAP createTopDownDib(HDC dc, int width, int height, void** bits);

// Makes the 256 x 256 back buffer (releasing a previous one first).
void createBackBuffer();

// Puts the displaced bitmap back, deletes the buffer and clears the fields.
void releaseBackBuffer();

// The display's colours for the preview, in 0x00RRGGBB order.
PreviewColours systemPreviewColours();

// Loads the cursor file at `path` as the pointer shown over the preview
// (null: the usual pointer again, and the loaded one released). False, with
// the pointer as it was, when the file cannot be loaded as a cursor.
bool setPreviewCursor(const char* path);

// The pointer shown over the preview, when it is not the usual one.
HCURSOR previewCursor();
