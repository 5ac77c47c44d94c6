// The settings file read into and written from the state block, where the
// editor's dialog shows them and the batch takes them.
#pragma once

#include "base/build_settings.h"
#include "textfile/settings.h"

// The switches and colour lists of the block as a value for a build.
Settings currentSettings();

// Computes programDir, reads the settings if present, and sets frameCount to 0.
void loadSettings();

// Sets programDir to the executable's directory (see findProgramDir).
void computeProgramDir();

// Reads the switches and colour lists from the settings file in programDir.
// A missing or unreadable file leaves them as they are. False when no file
// was read.
bool readSettingsFile();

// The settings file's path in programDir, into a buffer of 260 bytes; false
// (and an empty buffer) when it would not fit.
bool settingsFilePath(char* buffer);

// The settings of a batch build into the block (see readBatchSettings).
void loadBatchSettings(SectionText& script);

// The settings a build script holds itself into the block (see
// readScriptSettings); false, and the block as it was, when it holds none or
// cannot be read.
bool takeScriptSettings(const char* scriptPath);

// Rewrites the settings file whole from the block; false when it could not
// be written.
bool saveSettings();
