// The preview window's back buffer and its colours.
#pragma once

#include <windows.h>

#include "ui/compose.h"

// Makes the 256 x 256 back buffer (releasing a previous one first).
void createBackBuffer();

// Puts the displaced bitmap back, deletes the buffer and clears the fields.
void releaseBackBuffer();

// The display's colours for the preview, in 0x00RRGGBB order.
PreviewColours systemPreviewColours();
