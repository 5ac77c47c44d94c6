#include "textfile/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/safe_write.h"
#include "base/state.h"
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

namespace {

// The settings sections, in the order the file holds them.
constexpr const char* kSettingsSections[] = {"Fix",    "Rpl",         "Trans",
                                             "Resize", "TransColors", "ReplaceColor"};

// The switches from their sections; a colour list only when its section is
// there, so an absent one leaves its count as it was.
void readSettingsSections(SectionText& text) {
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

// A text that provides the settings provides all of them: nothing is kept
// from another source.
void readAllSettingsFrom(SectionText& text) {
  appState.transCount = 0;
  appState.replaceCount = 0;
  readSettingsSections(text);
}

void readSettingsAt(const char* path) {
  SectionText text;
  if (openSectionText(path, text)) readAllSettingsFrom(text);
  closeSectionText(text);
}

// Whether a settings file stands beside the program. An empty one counts:
// it is what a save with everything off leaves.
bool programSettingsPresent() {
  char path[kPathCapacity];
  if (!settingsFilePath(path)) return false;
  const plat::FileHandle file = plat::openForRead(path);
  plat::closeFile(file);
  return file != plat::kInvalidFile;
}

}  // namespace

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
  if (read) readSettingsSections(text);
  closeSectionText(text);
  return read;
}

bool userSettingsFilePath(char* buffer) {
  char dir[kPathCapacity];
  buffer[0] = '\0';
  if (!plat::userConfigDir(dir, sizeof dir)) return false;
  const int length = std::snprintf(buffer, kPathCapacity, "%s/kinetor/%s", dir, settingsFileName);
  if (length < 0 || length >= kPathCapacity) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

void loadBatchSettings(SectionText& script) {
  for (const char* name : kSettingsSections) {
    if (findSection(name, script)) {
      readAllSettingsFrom(script);
      return;
    }
  }
  // Read at start-up already.
  if (programSettingsPresent()) return;
  char path[kPathCapacity];
  if (userSettingsFilePath(path)) readSettingsAt(path);
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
  if (!settingsFilePath(path)) return false;
  SafeWrite write;
  if (!beginSafeWrite(path, write)) return false;
  return endSafeWrite(write, path, writeSettingsContent(write.file));
}
