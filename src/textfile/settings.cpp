#include "textfile/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/state.h"
#include "base/temp_name.h"
#include "platform/platform.h"
#include "textfile/section_text.h"

const char settingsFileName[] = "kinetor.ini";

namespace {

// Joins programDir and `fileName` into `buffer` (260 bytes); false and an
// empty buffer when the result would not fit.
bool pathInProgramDir(const char* fileName, char* buffer) {
  buffer[0] = '\0';
  size_t dirLength = 0;
  while (dirLength < static_cast<size_t>(kPathCapacity) && appState.programDir[dirLength] != '\0') {
    ++dirLength;
  }
  const size_t nameLength = std::strlen(fileName);
  if (dirLength + nameLength >= static_cast<size_t>(kPathCapacity)) return false;
  std::memcpy(buffer, appState.programDir, dirLength);
  std::memcpy(buffer + dirLength, fileName, nameLength + 1);
  return true;
}

// Writes the text and a CR LF in one write.
bool writeSettingsLine(plat::FileHandle file, const char* text) {
  char line[32];
  const size_t length = std::strlen(text);
  if (length + 2 > sizeof line) return false;
  std::memcpy(line, text, length);
  line[length] = '\r';
  line[length + 1] = '\n';
  return plat::writeBytes(file, line, static_cast<uint32_t>(length + 2));
}

bool writeColorSection(plat::FileHandle file, const char* header, const uint32_t* colors,
                       int count) {
  if (count <= 0) return true;
  if (count > kMaxEntries) count = kMaxEntries;
  bool ok = writeSettingsLine(file, header);
  for (int i = 0; i < count; ++i) {
    char text[12];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(colors[i]));
    ok = writeSettingsLine(file, text) && ok;
  }
  return ok;
}

bool writeSettingsContent(plat::FileHandle file) {
  bool ok = true;
  if (appState.optMerge == 1) ok = writeSettingsLine(file, "[Fix]") && ok;
  if (appState.optReplace == 1) ok = writeSettingsLine(file, "[Rpl]") && ok;
  if (appState.optTransparent == 1) ok = writeSettingsLine(file, "[Trans]") && ok;
  if (appState.optOptimize == 1) ok = writeSettingsLine(file, "[Resize]") && ok;
  ok = writeColorSection(file, "[TransColors]", appState.transColors, appState.transCount) && ok;
  ok = writeColorSection(file, "[ReplaceColor]", appState.replaceColors, appState.replaceCount) &&
       ok;
  return ok;
}

}  // namespace

bool settingsFilePath(char* buffer) { return pathInProgramDir(settingsFileName, buffer); }

void computeProgramDir() {
  char* dir = appState.programDir;
  uint32_t length = plat::modulePath(dir, kPathCapacity);
  if (length >= static_cast<uint32_t>(kPathCapacity)) {
    // The path was cut: the directory cannot be told, and a cut-off
    // directory would name some other place. Fill the field so that no file
    // name fits behind it.
    std::memset(dir, '?', kPathCapacity - 1);
    dir[kPathCapacity - 1] = '\0';
    return;
  }
  while (length > 0 && !plat::isPathSeparator(dir[length - 1])) --length;
  dir[length] = '\0';
}

bool readSettingsFile() {
  char path[kPathCapacity];
  if (!settingsFilePath(path)) return false;
  SectionText text;
  bool read = openSectionText(path, text);
  // A missing file is the usual case and goes unmentioned; one that is there
  // and cannot be read (a folder, a FIFO, no permission) is still ignored,
  // but the user learns which file that was and why.
  if (!read && text.fileHandle == plat::kInvalidFile) {
    const std::string why = plat::lastFileError();
    if (plat::nameTaken(path)) {
      plat::diagnostic(("kinetor: settings file ignored (" + why + "): " + path).c_str());
    }
  }
  if (read) {
    appState.optMerge = findSection("Fix", text) ? 1 : 0;
    appState.optReplace = findSection("Rpl", text) ? 1 : 0;
    appState.optTransparent = findSection("Trans", text) ? 1 : 0;
    appState.optOptimize = findSection("Resize", text) ? 1 : 0;
    if (findSection("TransColors", text)) {
      appState.transCount = readHexList(appState.transColors, text);
    }
    if (findSection("ReplaceColor", text)) {
      appState.replaceCount = readHexList(appState.replaceColors, text);
    }
  }
  closeSectionText(text);
  return read;
}

void loadSettings() {
  computeProgramDir();
  readSettingsFile();
  appState.frameCount = 0;
}

// The save goes to a new file of its own first, which then replaces the
// settings file: a link placed at either name is replaced, never written
// through, and two programs saving at once each write a file of their own.
bool saveSettings() {
  char path[kPathCapacity];
  char temporary[kTempPathCapacity];
  if (!settingsFilePath(path)) return false;
  plat::FileHandle file = plat::kInvalidFile;
  const bool created = createTempBeside(path, temporary, [&file](const char* name) {
    file = plat::createNewForWrite(name);
    return file != plat::kInvalidFile;
  });
  if (!created) return false;
  bool ok = writeSettingsContent(file);
  ok = plat::closeFile(file) && ok;
  ok = ok && plat::replaceFile(temporary, path);
  if (!ok) plat::removeFile(temporary);
  return ok;
}
