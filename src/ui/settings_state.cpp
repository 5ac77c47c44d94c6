#include "ui/settings_state.h"

#include <algorithm>
#include <utility>

#include "ui/state.h"

namespace {

StoredSettings fromBlock() {
  auto used = [](int32_t count) { return std::clamp<int32_t>(count, 0, kMaxEntries); };
  StoredSettings s;
  s.merge = appState.optMerge;
  s.replace = appState.optReplace;
  s.transparent = appState.optTransparent;
  s.optimize = appState.optOptimize;
  s.transColors.assign(appState.transColors, appState.transColors + used(appState.transCount));
  s.replaceColors.assign(appState.replaceColors,
                         appState.replaceColors + used(appState.replaceCount));
  return s;
}

void toBlock(const StoredSettings& s) {
  appState.optMerge = s.merge;
  appState.optReplace = s.replace;
  appState.optTransparent = s.transparent;
  appState.optOptimize = s.optimize;
  appState.transCount = static_cast<int32_t>(std::min<size_t>(s.transColors.size(), kMaxEntries));
  std::copy_n(s.transColors.begin(), appState.transCount, appState.transColors);
  appState.replaceCount =
      static_cast<int32_t>(std::min<size_t>(s.replaceColors.size(), kMaxEntries));
  std::copy_n(s.replaceColors.begin(), appState.replaceCount, appState.replaceColors);
}

}  // namespace

Settings currentSettings() {
  // A switch is on for a build whatever its non-zero value; only a save
  // tells 1 from the rest.
  StoredSettings s = fromBlock();
  return {.transparent = s.transparent != 0,
          .replace = s.replace != 0,
          .merge = s.merge != 0,
          .optimize = s.optimize != 0,
          .transColors = std::move(s.transColors),
          .replaceColors = std::move(s.replaceColors)};
}

void computeProgramDir() { findProgramDir(appState.programDir); }

bool settingsFilePath(char* buffer) { return settingsPathIn(appState.programDir, buffer); }

bool readSettingsFile() {
  StoredSettings s = fromBlock();
  const bool read = readSettingsFileIn(appState.programDir, s);
  if (read) toBlock(s);
  return read;
}

void loadSettings() {
  computeProgramDir();
  readSettingsFile();
  appState.frameCount = 0;
}

void loadBatchSettings(SectionText& script) {
  StoredSettings s = fromBlock();
  readBatchSettings(script, appState.programDir, s);
  toBlock(s);
}

bool takeScriptSettings(const char* scriptPath) {
  SectionText script;
  StoredSettings s = fromBlock();
  const bool taken = openSectionText(scriptPath, script) && readScriptSettings(script, s);
  closeSectionText(script);
  if (taken) toBlock(s);
  return taken;
}

bool saveSettings() { return writeSettingsFileIn(appState.programDir, fromBlock()); }
