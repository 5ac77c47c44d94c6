// The settings file beside the executable: four switches and two colour lists.
#pragma once

#include "textfile/section_text.h"

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

// The user's own settings file, on Linux
// $XDG_CONFIG_HOME/kinetor/kinetor.ini (~/.config/kinetor/kinetor.ini when
// the variable is unset), into a buffer of 260 bytes; false (and an empty
// buffer) where the system has none or the path would not fit.
bool userSettingsFilePath(char* buffer);

// The settings of a batch build, after loadSettings, from the first of:
// the build script itself, when it holds any of the settings sections
// ([Fix], [Rpl], [Trans], [Resize], [TransColors], [ReplaceColor]), and then
// from the script alone; the settings file beside the program, as
// loadSettings read it; the user's settings file. With none of them the
// settings stay as they are. Moves the script's section cursor.
void loadBatchSettings(SectionText& script);

// Rewrites the settings file whole; false when it could not be written.
// A temporary file beside it is written first and then moved over it, so an
// interrupted save leaves either the old or the new file, never a part.
bool saveSettings();
