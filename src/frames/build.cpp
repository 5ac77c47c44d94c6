#include "frames/build.h"

bool buildAnimation(const char*) { return false; }
void releaseFrameBuffers() {}
