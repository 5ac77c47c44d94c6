// The settings file beside the executable: four switches and two colour lists.
#pragma once

extern const char settingsFileName[];

// Computes programDir, reads the settings if present, and sets frameCount to 0.
void loadSettings();

// Sets programDir to the executable's directory, ending in its separator.
// When the executable's path is too long to be known whole, programDir is
// left so long that no settings path can be built from it, and the settings
// are then neither read nor written.
void computeProgramDir();

// Reads the switches and colour lists from the settings file in programDir.
// A missing or unreadable file leaves them as they are. False when no file
// was read.
bool readSettingsFile();

// The settings file's path in programDir, into a buffer of 260 bytes; false
// (and an empty buffer) when it would not fit.
bool settingsFilePath(char* buffer);

// Rewrites the settings file whole; false when it could not be written.
// A temporary file beside it is written first and then moved over it, so an
// interrupted save leaves either the old or the new file, never a part.
bool saveSettings();
