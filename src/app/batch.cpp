#include "app/batch.h"

#include <cstring>

#include "base/captions.h"
#include "base/runtime.h"
#include "frames/script_options.h"
#include "platform/platform.h"
#include "textfile/section_text.h"
#include "ui/build_table.h"
#include "ui/file_names.h"
#include "ui/settings_state.h"
#include "ui/state.h"

namespace {

// By identity: a hard link or another spelling of the path is the same file.
bool sameFile(const char* a, const char* b) {
  plat::FileIdentity first, second;
  return plat::fileIdentity(a, first) && plat::fileIdentity(b, second) && first == second;
}

// Frees the paths read so far when the script is given up before a build,
// which would otherwise have released them.
void releaseFramePaths() {
  const int count = frameTotal();
  for (int i = 0; i < count; ++i) releaseBlock(appState.frameTable[i].path);
}

// A path that names its place from the root or a drive, not from the
// current folder.
bool anchoredPath(const char* path) {
  if (plat::isPathSeparator(path[0])) return true;
  const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  return letter && path[1] == ':';
}

// Scripts name frames from the folder they are run in, but a script saved
// by the editor or an extraction names them from its own folder: a relative
// frame path that names no file is tried there as well, so that every
// script that worked before reads the same frames.
void findFramesBesideScript(const char* scriptPath) {
  const size_t folder = fileNamePart(scriptPath);
  if (folder == 0) return;
  const int count = frameTotal();
  for (int i = 0; i < count; ++i) {
    char* path = appState.frameTable[i].path;
    if (path == nullptr || path[0] == '\0' || appState.frameTable[i].pathTooLong ||
        anchoredPath(path) || plat::nameTaken(path)) {
      continue;
    }
    const size_t length = std::strlen(path);
    if (folder + length >= kPathCapacity) continue;
    char beside[kPathCapacity];
    std::memcpy(beside, scriptPath, folder);
    std::memcpy(beside + folder, path, length + 1);
    if (plat::nameTaken(beside)) std::memcpy(path, beside, folder + length + 1);
  }
}

}  // namespace

bool runBatchScript(const char* scriptPath) {
  if (scriptPath == nullptr) scriptPath = "";
  SectionText script;
  appState.frameCount = 0;
  bool written = false;
  char outputPath[kPathCapacity] = {};
  // The output's line, read the way the frame lines are.
  FrameRecord result{};

  if (!openSectionText(scriptPath, script)) {
    explainFailure("cannot read the build script (missing, unreadable or empty)", scriptPath);
  } else {
    loadBatchSettings(script);
    if (findSection("Result", script)) readLineList(&result, script, 1);
    if (result.path == nullptr) {
      explainFailure("script has no [Result] section naming the output file", scriptPath);
    } else if (result.pathTooLong) {
      // Cut to fit, the path would name some other file.
      showError(caption::kCantWriteFile, result.path);
      explainFailure("path too long", result.path);
      explainFailure("no animation was written to", result.path);
      releaseBlock(result.path);
      result.pathTooLong = 0;
    } else {
      std::memcpy(outputPath, result.path, kPathCapacity - 1);
      releaseBlock(result.path);
      if (findSection("BMP", script)) {
        appState.frameCount = readLineList(appState.frameTable, script, kMaxEntries);
        findFramesBesideScript(scriptPath);
      }
      static AnimationOptions options;  // large: kept off the stack
      char problem[kScriptProblemCapacity];
      if (appState.frameCount < 2) {
        explainFailure("script lists fewer than two frames in its [BMP] section", scriptPath);
        releaseFramePaths();
      } else if (!readScriptOptions(script, appState.frameCount, options, problem)) {
        showError("Bad build script", problem);
        explainFailure("no animation was written to", outputPath);
        releaseFramePaths();
      } else if (sameFile(outputPath, scriptPath)) {
        showError(caption::kCantWriteFile, outputPath);
        explainFailure(kReplacesAnInput, scriptPath);
        explainFailure("no animation was written to", outputPath);
        releaseFramePaths();
      } else {
        // Nothing is shown here, so no preview is decoded: the build takes
        // each frame's preview size from the bytes it reads anyway.
        written = buildAnimation(outputPath, PreviewSize::measured, &options);
        releaseFrameBuffers();
        if (!written) explainFailure("no animation was written to", outputPath);
      }
    }
  }
  closeSectionText(script);
  return written;
}
