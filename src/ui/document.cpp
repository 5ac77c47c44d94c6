#include "ui/document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/safe_write.h"
#include "platform/platform.h"
#include "textfile/section_text.h"
#include "ui/file_names.h"

EditorDocument editorDocument;

namespace {

constexpr char kProgramCaption[] = "Kinetor for Velmar";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Windows compares file names without regard to case.
bool startsWithFolder(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    const char a = path[i], b = folder[i];
    if (plat::isPathSeparator(a) && plat::isPathSeparator(b)) continue;
    if (lowerAscii(a) != lowerAscii(b)) return false;
  }
  return true;
}

// The script's folder with its closing separator; empty for a bare name.
std::string folderOf(const char* path) { return std::string(path, fileNamePart(path)); }

std::string relativeTo(const std::string& folder, const std::string& path) {
  return startsWithFolder(path, folder) ? path.substr(folder.size()) : path;
}

std::string resolvedAgainst(const std::string& folder, const std::string& path) {
  return isAnchoredPath(path.c_str()) ? path : folder + path;
}

void addLine(std::string& text, const std::string& line) {
  text += line;
  text += "\r\n";
}

std::string lineText(const LineView& line) { return std::string(line.text, line.length); }

bool refuse(char (&problem)[kScriptProblemCapacity], const char* what) {
  std::snprintf(problem, sizeof problem, "%s", what);
  return false;
}

void addColours(std::string& text, const char* section, const uint32_t* colours, int32_t count) {
  addLine(text, section);
  char hex[12];
  for (int i = 0; i < std::clamp<int32_t>(count, 0, kMaxEntries); ++i) {
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(colours[i]));
    addLine(text, hex);
  }
}

// The options and colours, as the settings file holds them. A script with
// any of these sections builds with its own settings alone, so the list of
// transparent colours is there even when empty: the batch then ignores
// kinetor.ini as the editor's save does.
void addSettings(std::string& text) {
  if (appState.optMerge != 0) addLine(text, "[Fix]");
  if (appState.optReplace != 0) addLine(text, "[Rpl]");
  if (appState.optTransparent != 0) addLine(text, "[Trans]");
  if (appState.optOptimize != 0) addLine(text, "[Resize]");
  addColours(text, "[TransColors]", appState.transColors, appState.transCount);
  if (appState.replaceCount > 0) {
    addColours(text, "[ReplaceColor]", appState.replaceColors, appState.replaceCount);
  }
}

// Room for one more line than the table holds, so that a longer list shows.
LineView g_frameLines[kMaxEntries + 1];

bool readFrames(SectionText& text, const std::string& folder, OpenedScript& script,
                char (&problem)[kScriptProblemCapacity]) {
  if (findSection("Result", text)) {
    LineView result;
    if (readLineViews(&result, text, 1) == 1) {
      script.cursorPath = resolvedAgainst(folder, lineText(result));
    }
  }
  if (!findSection("BMP", text)) return refuse(problem, "[BMP]: no frames");
  const int count = readLineViews(g_frameLines, text, kMaxEntries + 1);
  if (count == 0) return refuse(problem, "[BMP]: no frames");
  if (count > kMaxEntries) return refuse(problem, "[BMP]: more than 255 frames");
  for (int i = 0; i < count; ++i) {
    if (g_frameLines[i].length >= static_cast<uint32_t>(kPathCapacity - 1)) {
      std::snprintf(problem, sizeof problem, "[BMP]: %.200s...", g_frameLines[i].text);
      return false;
    }
    script.frames.push_back(resolvedAgainst(folder, lineText(g_frameLines[i])));
  }
  return true;
}

}  // namespace

void resetDocument() { editorDocument = EditorDocument{}; }

uint32_t frameRate(int position) {
  if (position < 0 || position >= kMaxEntries) return kDefaultRate;
  const uint32_t rate = appState.frameTable[position].rate;
  return rate == 0 ? kDefaultRate : rate;
}

uint32_t msFromJiffies(uint32_t jiffies) {
  return static_cast<uint32_t>((static_cast<uint64_t>(jiffies) * 1000 + 30) / 60);
}

void fillAnimationOptions(AnimationOptions& options, int frameCount) {
  options = AnimationOptions{};
  const EditorDocument& d = editorDocument;
  if (d.hasHotspot) {
    options.hasHotspot = true;
    options.hotspotX = d.hotspotX;
    options.hotspotY = d.hotspotY;
  }
  frameCount = std::clamp(frameCount, 0, kMaxEntries);
  if (d.sequenceLength > 0) {
    options.sequenceLength = std::min<int32_t>(d.sequenceLength, anifile::kMaxSteps);
    std::memcpy(options.sequence, d.sequence, static_cast<size_t>(options.sequenceLength));
    options.rateCount = std::clamp<int32_t>(d.stepRateCount, 0, options.sequenceLength);
    if (options.rateCount > 1) options.rateCount = options.sequenceLength;
    std::memcpy(options.rates, d.stepRates,
                static_cast<size_t>(options.rateCount) * sizeof options.rates[0]);
  } else {
    bool anySet = false, allEqual = true;
    for (int i = 0; i < frameCount; ++i) {
      anySet = anySet || appState.frameTable[i].rate != 0;
      allEqual = allEqual && frameRate(i) == frameRate(0);
    }
    if (anySet && frameCount > 0) {
      options.rateCount = allEqual && !(d.ratesPerStep && frameCount > 1) ? 1 : frameCount;
      for (int i = 0; i < options.rateCount; ++i) options.rates[i] = frameRate(i);
    }
  }
  std::memcpy(options.title, d.title, sizeof options.title);
  std::memcpy(options.author, d.author, sizeof options.author);
  options.sizeCount = std::clamp<int32_t>(d.sizeCount, 0, anifile::kMaxSizes);
  std::memcpy(options.sizes, d.sizes, sizeof options.sizes);
}

void takeOpenedOptions(const AnimationOptions& o, int frameCount) {
  EditorDocument& d = editorDocument;
  frameCount = std::clamp(frameCount, 0, kMaxEntries);
  d.hasHotspot = o.hasHotspot;
  d.hotspotX = o.hotspotX;
  d.hotspotY = o.hotspotY;
  std::memcpy(d.title, o.title, sizeof d.title);
  std::memcpy(d.author, o.author, sizeof d.author);
  d.sizeCount = std::clamp<int32_t>(o.sizeCount, 0, anifile::kMaxSizes);
  std::memcpy(d.sizes, o.sizes, sizeof d.sizes);
  d.ratesPerStep = o.rateCount > 1;
  d.sequenceLength = std::clamp<int32_t>(o.sequenceLength, 0, anifile::kMaxSteps);
  std::memcpy(d.sequence, o.sequence, static_cast<size_t>(d.sequenceLength));
  d.stepRateCount =
      d.sequenceLength > 0 ? std::clamp<int32_t>(o.rateCount, 0, d.sequenceLength) : 0;
  std::memcpy(d.stepRates, o.rates, static_cast<size_t>(d.stepRateCount) * sizeof d.stepRates[0]);
  for (int i = 0; i < frameCount; ++i) appState.frameTable[i].rate = 0;
  const int steps = d.sequenceLength > 0 ? d.sequenceLength : frameCount;
  // Each frame shows the rate of its first step.
  for (int s = steps - 1; s >= 0 && o.rateCount > 0; --s) {
    const int frame = d.sequenceLength > 0 ? d.sequence[s] : s;
    if (frame < frameCount) appState.frameTable[frame].rate = o.rates[o.rateCount == 1 ? 0 : s];
  }
}

int playedSteps() {
  const int steps = editorDocument.sequenceLength;
  return steps > 0 ? std::min(steps, anifile::kMaxSteps) : frameTotal();
}

int stepFrame(int step) {
  const EditorDocument& d = editorDocument;
  if (d.sequenceLength <= 0) return step;
  return step >= 0 && step < std::min<int32_t>(d.sequenceLength, anifile::kMaxSteps)
             ? d.sequence[step]
             : 0;
}

uint32_t stepRate(int step) {
  const EditorDocument& d = editorDocument;
  if (d.sequenceLength <= 0) return frameRate(step);
  if (d.stepRateCount <= 0 || step < 0 || step >= anifile::kMaxSteps) return kDefaultRate;
  const uint32_t rate = d.stepRates[d.stepRateCount == 1 ? 0 : std::min(step, d.stepRateCount - 1)];
  return rate == 0 ? kDefaultRate : rate;
}

bool hasSize(int side) {
  const EditorDocument& d = editorDocument;
  for (int i = 0; i < d.sizeCount && i < anifile::kMaxSizes; ++i) {
    if (d.sizes[i] == side) return true;
  }
  return false;
}

bool toggleSize(int side) {
  EditorDocument& d = editorDocument;
  for (int i = 0; i < d.sizeCount && i < anifile::kMaxSizes; ++i) {
    if (d.sizes[i] != side) continue;
    std::memmove(&d.sizes[i], &d.sizes[i + 1],
                 static_cast<size_t>(d.sizeCount - i - 1) * sizeof d.sizes[0]);
    d.sizes[--d.sizeCount] = 0;
    return true;
  }
  if (d.sizeCount >= anifile::kMaxSizes || side < 1 || side > anifile::kLargestSize) return false;
  // Kept from the smallest up, as people write the list.
  int at = d.sizeCount;
  while (at > 0 && d.sizes[at - 1] > side) {
    d.sizes[at] = d.sizes[at - 1];
    --at;
  }
  d.sizes[at] = static_cast<uint16_t>(side);
  ++d.sizeCount;
  return true;
}

void setFrameRate(int position, uint32_t jiffies) {
  EditorDocument& d = editorDocument;
  const int count = frameTotal();
  for (int i = 0; i < count; ++i) {
    if (position < 0 || i == position) appState.frameTable[i].rate = jiffies;
  }
  if (d.sequenceLength <= 0) return;
  if (d.stepRateCount < d.sequenceLength) {
    // One rate for every step, or none: each step gets its own now.
    const uint32_t shared = d.stepRateCount == 1 ? d.stepRates[0] : kDefaultRate;
    for (int s = 0; s < d.sequenceLength; ++s) d.stepRates[s] = shared;
    d.stepRateCount = d.sequenceLength;
  }
  for (int s = 0; s < d.sequenceLength; ++s) {
    if (position < 0 || d.sequence[s] == position) d.stepRates[s] = jiffies;
  }
}

void dropSequence() {
  EditorDocument& d = editorDocument;
  d.sequenceLength = 0;
  d.stepRateCount = 0;
}

std::string documentNote() {
  const int steps = editorDocument.sequenceLength;
  if (steps <= 0) return "";
  return " (" + std::to_string(steps) + " steps in the script's own order)";
}

std::string documentCaption() {
  const EditorDocument& d = editorDocument;
  if (d.scriptPath[0] == '\0' && !d.changed) return kProgramCaption;
  std::string name =
      d.scriptPath[0] != '\0' ? d.scriptPath + fileNamePart(d.scriptPath) : "Untitled";
  if (d.changed) name += "*";
  return name + documentNote() + " - " + kProgramCaption;
}

std::string buildScriptText(const char* scriptPath, const std::vector<std::string>& framePaths) {
  const std::string folder = folderOf(scriptPath);
  const int count = static_cast<int>(framePaths.size());
  static AnimationOptions options;  // large: kept off the stack
  fillAnimationOptions(options, count);
  std::string text;
  addLine(text, "[Result]");
  std::string cursor = editorDocument.cursorPath;
  if (cursor.empty()) {
    // Beside the script, under its name.
    std::string name = scriptPath;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot >= fileNamePart(scriptPath)) name.resize(dot);
    cursor = name + ".anim";
  }
  addLine(text, relativeTo(folder, cursor));
  addLine(text, "[BMP]");
  for (const auto& path : framePaths) addLine(text, relativeTo(folder, path));
  if (options.hasHotspot) {
    addLine(text, "[Hotspot]");
    addLine(text, std::to_string(options.hotspotX) + "," + std::to_string(options.hotspotY));
  }
  // A static cursor has no steps and no texts, and a script that gave it
  // some would be refused: the editor's timing of its one frame stays out.
  if (namesStaticCursor(cursor.c_str(), count)) {
    options.rateCount = 0;
    options.sequenceLength = 0;
    options.title[0] = '\0';
    options.author[0] = '\0';
  }
  if (options.rateCount > 0) {
    addLine(text, "[Rate]");
    for (int i = 0; i < options.rateCount; ++i) addLine(text, std::to_string(options.rates[i]));
  }
  if (options.sequenceLength > 0) {
    addLine(text, "[Sequence]");
    for (int i = 0; i < options.sequenceLength; ++i) {
      addLine(text, std::to_string(options.sequence[i] + 1));
    }
  }
  if (options.title[0] != '\0') {
    addLine(text, "[Title]");
    addLine(text, options.title);
  }
  if (options.author[0] != '\0') {
    addLine(text, "[Author]");
    addLine(text, options.author);
  }
  if (options.sizeCount > 0) {
    addLine(text, "[Sizes]");
    std::string sides;
    for (int i = 0; i < options.sizeCount; ++i) {
      sides += (i == 0 ? "" : ", ") + std::to_string(options.sizes[i]);
    }
    addLine(text, sides);
  }
  addSettings(text);
  return text;
}

bool readBuildScript(const char* path, OpenedScript& script,
                     char (&problem)[kScriptProblemCapacity]) {
  problem[0] = '\0';
  script.frames.clear();
  script.cursorPath.clear();
  SectionText text;
  bool ok = openSectionText(path, text);
  if (!ok) {
    refuse(problem, "The file cannot be read.");
  } else {
    ok = readFrames(text, folderOf(path), script, problem) &&
         readScriptOptions(text, static_cast<int>(script.frames.size()), script.options, problem);
  }
  closeSectionText(text);
  return ok;
}

bool writeTextFile(const char* path, const std::string& text) {
  return safeWriteWhole(path, text.data(), static_cast<uint32_t>(text.size()));
}
