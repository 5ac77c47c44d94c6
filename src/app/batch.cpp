#include "app/batch.h"

#include <cstring>
#include <vector>

#include "base/failure.h"
#include "base/runtime.h"
#include "frames/build.h"
#include "frames/script_options.h"
#include "platform/platform.h"
#include "textfile/section_text.h"
#include "ui/file_names.h"
#include "ui/settings_state.h"

namespace {

// By identity: a hard link or another spelling of the path is the same file.
bool sameFile(const char* a, const char* b) {
  plat::FileIdentity first, second;
  return plat::fileIdentity(a, first) && plat::fileIdentity(b, second) && first == second;
}

// The script's frames: the paths read from its [BMP] section, which this
// list owns and gives back however the run ends.
struct FrameLines {
  std::vector<FrameRecord> lines = std::vector<FrameRecord>(kMaxEntries, FrameRecord{});
  int count = 0;
  ~FrameLines() {
    for (FrameRecord& f : lines) releaseBlock(f.path);
  }
  std::vector<FrameSource> sources() const {
    std::vector<FrameSource> out;
    for (int k = 0; k < count; ++k) out.push_back({lines[k].path, lines[k].pathTooLong != 0});
    return out;
  }
};

// Nothing is shown here, so no preview is decoded: the build takes each
// frame's preview size from the bytes it reads anyway.
bool buildFrames(const char* outputPath, const FrameLines& frames,
                 const AnimationOptions& options) {
  const std::vector<FrameSource> sources = frames.sources();
  if (outputReplacesAFrame(outputPath, sources)) return false;
  return buildAndSave(currentSettings(), sources, {PreviewSize::measured, &options, outputPath},
                      options.staticCursor)
      .built;
}

// Scripts name frames from the folder they are run in, but a script saved
// by the editor or an extraction names them from its own folder: a relative
// frame path that names no file is tried there as well, so that every
// script that worked before reads the same frames.
void findFramesBesideScript(const char* scriptPath, FrameLines& frames) {
  const size_t folder = fileNamePart(scriptPath);
  if (folder == 0) return;
  for (int i = 0; i < frames.count; ++i) {
    char* path = frames.lines[i].path;
    if (path == nullptr || path[0] == '\0' || frames.lines[i].pathTooLong || isAnchoredPath(path) ||
        plat::nameTaken(path)) {
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
  bool written = false;
  char outputPath[kPathCapacity] = {};
  // The output's line, read the way the frame lines are.
  FrameRecord result{};

  if (!openSectionText(scriptPath, script)) {
    reportFailure(Failure::scriptUnreadable, scriptPath);
  } else {
    loadBatchSettings(script);
    if (findSection("Result", script)) readLineList(&result, script, 1);
    if (result.path == nullptr) {
      reportFailure(Failure::noResultSection, scriptPath);
    } else if (result.pathTooLong) {
      // Cut to fit, the path would name some other file.
      reportFailure(Failure::outputPathTooLong, result.path);
      reportFailure(Failure::notWritten, result.path);
      releaseBlock(result.path);
      result.pathTooLong = 0;
    } else {
      std::memcpy(outputPath, result.path, kPathCapacity - 1);
      releaseBlock(result.path);
      FrameLines frames;
      if (findSection("BMP", script)) {
        frames.count = readLineList(frames.lines.data(), script, kMaxEntries);
        findFramesBesideScript(scriptPath, frames);
      }
      static AnimationOptions options;  // large: kept off the stack
      char problem[kScriptProblemCapacity];
      const bool staticCursor = namesStaticCursor(outputPath, frames.count);
      if (frames.count < 2 && !staticCursor) {
        reportFailure(Failure::tooFewFrames, scriptPath);
      } else if (!readScriptOptions(script, frames.count, options, problem, staticCursor)) {
        reportFailure(Failure::badScript, problem);
        reportFailure(Failure::notWritten, outputPath);
      } else if (sameFile(outputPath, scriptPath)) {
        reportFailure(Failure::replacesAnInput, outputPath, scriptPath);
        reportFailure(Failure::notWritten, outputPath);
      } else {
        written = buildFrames(outputPath, frames, options);
        if (!written) reportFailure(Failure::notWritten, outputPath);
      }
    }
  }
  closeSectionText(script);
  return written;
}
