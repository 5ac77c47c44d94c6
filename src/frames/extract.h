// Takes a cursor apart into what a build makes it from: one picture file
// per frame image (PNG for pictures with alpha, BMP otherwise) and a build
// script, build.txt, whose sections and settings rebuild the cursor. For
// the files this program writes, the rebuild gives the same bytes; what a
// plain rebuild cannot reproduce is extracted all the same and named.
#pragma once

#include <string>
#include <vector>

#include "cursor/cursor.h"

struct ExtractReport {
  std::string scriptPath;          // the build script written
  std::vector<std::string> files;  // every file written, the script last
  // Why building the script would not give the same file, one reason per
  // line; empty when it would.
  std::vector<std::string> differences;
  std::string error;  // why the extraction stopped
};

// The build script's name in the folder.
constexpr const char kExtractScriptName[] = "build.txt";

// Writes the cursor's pictures and build.txt into `folder`, which is made
// when missing (its parent must exist); build.txt names `resultName` as its
// output, in the same folder. Every file is written whole or not at all,
// and the script last. False, with `report.error` set, when a file could
// not be written.
bool extractCursor(const cursor::Cursor& c, const char* folder, const char* resultName,
                   ExtractReport& report);

// Reads the cursor file `cursorPath` (an animated cursor, a static cursor
// or an icon) and extracts it into `folder`, naming the output after the
// file: "busy.cur" becomes "busy.anim". Notes on how the file was read go
// into `report.differences` too.
bool extractCursorFile(const char* cursorPath, const char* folder, ExtractReport& report);

// The file name of a path without its folder and its extension.
std::string cursorStem(const char* path);
