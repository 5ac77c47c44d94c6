// The small text rules of the editor's file names: the name shown for a
// path, the joining of a multi-selection, the output name of a save and the
// folder a chooser starts in.
#pragma once

#include <cstddef>
#include <string>

#include "base/failure.h"

// Where the file name part of `path` starts: behind its last separator, or
// at 0 when it has none.
size_t fileNamePart(const char* path);

// True when `path` names its place from the root or from a drive ("\\x",
// "/x", "C:x"), not from some current or given folder.
bool isAnchoredPath(const char* path);

// Builds directory + name of a multi-selection into `out` (kPathCapacity
// bytes), adding a backslash only when the directory does not end in one.
// False, with `out` empty, when the result would not fit.
bool joinSelectedPath(const char* directory, const char* name, char* out);

// A chosen name that already ends in ".anim" (any letter case) is used as it
// is; any other name gets ".anim" appended. `out` holds kPathCapacity bytes.
// Failure::none when `out` holds the name to write; nameTooShort for fewer
// than 4 characters; nameTooLong when it would not fit with ".anim".
Failure makeAnimName(const char* chosen, char* out);

// The folder a file chooser opens in, derived from the name it was given:
// everything up to the last backslash that stands above position 3 (or the
// first four characters), without a leading double quote. Empty when `text`
// is null or empty. `out` holds kPathCapacity bytes.
void startingFolder(const char* text, char* out);

// True for the names of the cursor files the editor imports: ".anim",
// ".ani" and ".cur", in any letter case.
bool namesCursorFile(const char* path);

// The folder an imported cursor is taken apart into: beside the cursor,
// named after it without its extension ("C:\\x\\busy.anim" gives
// "C:\\x\\busy"), or with " (2)", " (3)" ... added when that name is
// taken, so that no file of the user's is overwritten. Empty when no free
// name fits a path.
std::string importFolderFor(const char* cursorPath);
