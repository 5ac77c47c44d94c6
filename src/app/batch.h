#pragma once

// Builds the cursor named by a build script without any window. True when
// the output file was written.
bool runBatchScript(const char* scriptPath);
