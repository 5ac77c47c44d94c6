#include "textfile/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/frame_record.h"
#include "base/runtime.h"
#include "base/safe_write.h"
#include "platform/platform.h"
#include "textfile/section_text.h"

const char settingsFileName[] = "kinetor.ini";

namespace {

// Joins programDir and `fileName` into `buffer` (260 bytes); false and an
// empty buffer when the result would not fit.
bool pathInProgramDir(const char* programDir, const char* fileName, char* buffer) {
  buffer[0] = '\0';
  size_t dirLength = 0;
  while (dirLength < static_cast<size_t>(kPathCapacity) && programDir[dirLength] != '\0') {
    ++dirLength;
  }
  const size_t nameLength = std::strlen(fileName);
  if (dirLength + nameLength >= static_cast<size_t>(kPathCapacity)) return false;
  std::memcpy(buffer, programDir, dirLength);
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

bool writeColorSection(plat::FileHandle file, const char* header,
                       const std::vector<uint32_t>& colors) {
  const size_t count = std::min(colors.size(), static_cast<size_t>(kMaxEntries));
  if (count == 0) return true;
  bool ok = writeSettingsLine(file, header);
  for (size_t i = 0; i < count; ++i) {
    char text[12];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(colors[i]));
    ok = writeSettingsLine(file, text) && ok;
  }
  return ok;
}

bool writeSettingsContent(plat::FileHandle file, const StoredSettings& s) {
  bool ok = true;
  if (s.merge == 1) ok = writeSettingsLine(file, "[Fix]") && ok;
  if (s.replace == 1) ok = writeSettingsLine(file, "[Rpl]") && ok;
  if (s.transparent == 1) ok = writeSettingsLine(file, "[Trans]") && ok;
  if (s.optimize == 1) ok = writeSettingsLine(file, "[Resize]") && ok;
  ok = writeColorSection(file, "[TransColors]", s.transColors) && ok;
  ok = writeColorSection(file, "[ReplaceColor]", s.replaceColors) && ok;
  return ok;
}

}  // namespace

bool settingsPathIn(const char* programDir, char* buffer) {
  return pathInProgramDir(programDir, settingsFileName, buffer);
}

void findProgramDir(char* dir) {
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
void readColourList(SectionText& text, std::vector<uint32_t>& out) {
  uint32_t values[kMaxEntries];
  const int count = readHexList(values, text);
  out.assign(values, values + count);
}

void readSettingsSections(SectionText& text, StoredSettings& s) {
  s.merge = findSection("Fix", text) ? 1 : 0;
  s.replace = findSection("Rpl", text) ? 1 : 0;
  s.transparent = findSection("Trans", text) ? 1 : 0;
  s.optimize = findSection("Resize", text) ? 1 : 0;
  if (findSection("TransColors", text)) readColourList(text, s.transColors);
  if (findSection("ReplaceColor", text)) readColourList(text, s.replaceColors);
}

// A text that provides the settings provides all of them: nothing is kept
// from another source.
void readAllSettingsFrom(SectionText& text, StoredSettings& s) {
  s.transColors.clear();
  s.replaceColors.clear();
  readSettingsSections(text, s);
}

void readSettingsAt(const char* path, StoredSettings& s) {
  SectionText text;
  if (openSectionText(path, text)) readAllSettingsFrom(text, s);
  closeSectionText(text);
}

// Whether a settings file stands beside the program. An empty one counts:
// it is what a save with everything off leaves.
bool programSettingsPresent(const char* programDir) {
  char path[kPathCapacity];
  if (!settingsPathIn(programDir, path)) return false;
  const plat::FileHandle file = plat::openForRead(path);
  plat::closeFile(file);
  return file != plat::kInvalidFile;
}

}  // namespace

bool readSettingsFileIn(const char* programDir, StoredSettings& out) {
  char path[kPathCapacity];
  if (!settingsPathIn(programDir, path)) return false;
  SectionText text;
  bool read = openSectionText(path, text);
  // A missing file is the usual case and goes unmentioned; one that is there
  // and cannot be read (a folder, a FIFO, no permission) is still ignored,
  // but the user learns which file that was and why.
  if (!read && text.fileHandle == plat::kInvalidFile) {
    const std::string why = plat::lastFileError();
    if (plat::nameTaken(path)) {
      explainFailure(("settings file ignored (" + why + ")").c_str(), path);
    }
  }
  if (read) readSettingsSections(text, out);
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

bool readScriptSettings(SectionText& script, StoredSettings& settings) {
  for (const char* name : kSettingsSections) {
    if (findSection(name, script)) {
      readAllSettingsFrom(script, settings);
      return true;
    }
  }
  return false;
}

void readBatchSettings(SectionText& script, const char* programDir, StoredSettings& settings) {
  if (readScriptSettings(script, settings)) return;
  // Read at start-up already.
  if (programSettingsPresent(programDir)) return;
  char path[kPathCapacity];
  if (userSettingsFilePath(path)) readSettingsAt(path, settings);
}

// The save goes to a new file of its own first, which then replaces the
// settings file: a link placed at either name is replaced, never written
// through, and two programs saving at once each write a file of their own.
bool writeSettingsFileIn(const char* programDir, const StoredSettings& settings) {
  char path[kPathCapacity];
  if (!settingsPathIn(programDir, path)) return false;
  SafeWrite write;
  if (!beginSafeWrite(path, write)) return false;
  return endSafeWrite(write, path, writeSettingsContent(write.file, settings));
}
