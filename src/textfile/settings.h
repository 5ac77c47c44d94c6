// The settings file: four switches and two colour lists, read from and
// written to files as values. Where the file lies is given by the caller as
// the program's folder.
#pragma once

#include <cstdint>
#include <vector>

#include "textfile/section_text.h"

extern const char settingsFileName[];

// What a settings file holds. Each switch is 1 when on; a save writes a
// switch's section only for 1. Colours are COLORREF 0x00BBGGRR.
struct StoredSettings {
  uint8_t merge = 0;
  uint8_t replace = 0;
  uint8_t transparent = 0;
  uint8_t optimize = 0;
  std::vector<uint32_t> transColors;    // at most 255
  std::vector<uint32_t> replaceColors;  // pairs: find, replacement
};

// The executable's directory, ending in its separator, into `dir` (260
// bytes). When the executable's path is too long to be known whole, `dir`
// is filled so that no settings path can be built from it, and the
// settings are then neither read nor written.
void findProgramDir(char* dir);

// The settings file's path in `programDir`, into a buffer of 260 bytes;
// false (and an empty buffer) when it would not fit.
bool settingsPathIn(const char* programDir, char* buffer);

// Reads the switches and, for the lists whose sections are there, the
// colour lists from the settings file in `programDir`. A missing or
// unreadable file leaves `out` as it is. False when no file was read.
bool readSettingsFileIn(const char* programDir, StoredSettings& out);

// The user's own settings file, on Linux
// $XDG_CONFIG_HOME/kinetor/kinetor.ini (~/.config/kinetor/kinetor.ini when
// the variable is unset), into a buffer of 260 bytes; false (and an empty
// buffer) where the system has none or the path would not fit.
bool userSettingsFilePath(char* buffer);

// The settings of a batch build, on top of those read at start-up, from the
// first of: the build script itself, when it holds any of the settings
// sections ([Fix], [Rpl], [Trans], [Resize], [TransColors], [ReplaceColor]),
// and then from the script alone; the settings file in `programDir`, as
// start-up read it; the user's settings file. With none of them `settings`
// stays as it is. Moves the script's section cursor.
void readBatchSettings(SectionText& script, const char* programDir, StoredSettings& settings);

// The script's own settings, when it holds any of the settings sections:
// then all of them, from the script alone, and true. Otherwise `settings`
// stays as it is. Moves the script's section cursor.
bool readScriptSettings(SectionText& script, StoredSettings& settings);

// Rewrites the settings file in `programDir` whole; false when it could not
// be written. A temporary file beside it is written first and then moved
// over it, so an interrupted save leaves either the old or the new file,
// never a part.
bool writeSettingsFileIn(const char* programDir, const StoredSettings& settings);
