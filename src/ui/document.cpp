#include "ui/document.h"

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

bool isAbsolute(const std::string& path) {
  if (!path.empty() && plat::isPathSeparator(path[0])) return true;
  return path.size() >= 2 && path[1] == ':';
}

std::string resolvedAgainst(const std::string& folder, const std::string& path) {
  return isAbsolute(path) ? path : folder + path;
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
  if (frameCount > kMaxEntries) frameCount = kMaxEntries;
  bool anySet = false, allEqual = true;
  for (int i = 0; i < frameCount; ++i) {
    anySet = anySet || appState.frameTable[i].rate != 0;
    allEqual = allEqual && frameRate(i) == frameRate(0);
  }
  if (anySet && frameCount > 0) {
    options.rateCount = allEqual ? 1 : frameCount;
    for (int i = 0; i < options.rateCount; ++i) options.rates[i] = frameRate(i);
  }
  std::memcpy(options.title, d.title, sizeof options.title);
  std::memcpy(options.author, d.author, sizeof options.author);
}

std::string documentCaption() {
  const EditorDocument& d = editorDocument;
  if (d.scriptPath[0] == '\0' && !d.changed) return kProgramCaption;
  std::string name =
      d.scriptPath[0] != '\0' ? d.scriptPath + fileNamePart(d.scriptPath) : "Untitled";
  if (d.changed) name += "*";
  return name + " - " + kProgramCaption;
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
  if (options.rateCount > 0) {
    addLine(text, "[Rate]");
    for (int i = 0; i < options.rateCount; ++i) addLine(text, std::to_string(options.rates[i]));
  }
  if (options.title[0] != '\0') {
    addLine(text, "[Title]");
    addLine(text, options.title);
  }
  if (options.author[0] != '\0') {
    addLine(text, "[Author]");
    addLine(text, options.author);
  }
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
    if (ok && script.options.sequenceLength > 0) {
      ok = refuse(problem, "[Sequence]: the editor shows the frames in list order only");
    }
    // Kept silently, the sizes would be lost when the script is saved again.
    if (ok && script.options.sizeCount > 0) {
      ok = refuse(problem, "[Sizes]: the editor builds each frame at its own size only");
    }
  }
  closeSectionText(text);
  return ok;
}

bool writeTextFile(const char* path, const std::string& text) {
  return safeWriteWhole(path, text.data(), static_cast<uint32_t>(text.size()));
}
