// The build: the frame table in, one animated cursor file out.
#pragma once

// Reads every frame named in the table, processes them in the fixed order and
// writes the file. Failures are shown to the user; the result tells whether
// the file was written.
bool buildAnimation(const char* outputPath);

// Frees every block a build allocated and clears the references.
void releaseFrameBuffers();
