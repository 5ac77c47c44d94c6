// What start-up needs of the editor. The Windows view implements these; on
// other platforms there is no editor.
#pragma once

// True when this build has the interactive editor.
bool editorAvailable();

// Prepares the common controls (before anything else at start-up).
void initCommonControls();

// Registers the window classes of the preview and the colour swatches.
void registerWindowClasses();

// Runs the modal main dialog until the user leaves it; with a cursor file's
// path, the editor starts with that cursor imported.
void runMainDialog(const char* cursorPath = nullptr);
