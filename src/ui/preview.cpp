#include "ui/preview.h"

#include "app/state.h"

bool loadPreview(int, const char*) { return false; }
void releasePreview(int) {}
void releaseAllPreviews() { appState.frameCount = 0; }
