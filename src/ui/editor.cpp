#include "ui/editor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/captions.h"
#include "base/failure.h"
#include "base/runtime.h"
#include "frames/extract.h"
#include "platform/platform.h"
#include "textfile/settings.h"
#include "ui/build_table.h"
#include "ui/compose.h"
#include "ui/document.h"
#include "ui/file_names.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/settings_state.h"
#include "ui/state.h"

const char kOpenTitle[] = "111";
const char kOpenFilter[] = "Bitmap or PNG\0*.bmp;*.png\0";
const char kSaveTitle[] = "Save Anim file";
const char kSaveFilter[] = "Animanion-file\0*.anim\0";
const char kScriptOpenTitle[] = "Open build script";
const char kScriptSaveTitle[] = "Save build script";
const char kScriptFilter[] = "Build script\0*.txt\0";
const char kImportTitle[] = "Import cursor";
const char kImportFilter[] = "Cursor\0*.anim;*.ani;*.cur\0";

namespace {

constexpr int kOptionCommands[] = {kCmdTransparent, kCmdReplace, kCmdMerge, kCmdOptimize};

uint8_t& optionSwitch(int command) {
  switch (command) {
    case kCmdTransparent:
      return appState.optTransparent;
    case kCmdReplace:
      return appState.optReplace;
    case kCmdMerge:
      return appState.optMerge;
    default:
      return appState.optOptimize;
  }
}

ShownFrame previewOf(int position) {
  const FrameRecord& r = appState.frameTable[position];
  return ShownFrame{r.previewImage, r.previewMask, r.width, r.height};
}

void showNothing(EditorView& view) {
  appState.shownFrame = ShownFrame{};
  view.invalidatePreview(true);
}

void showCaption(EditorView& view) { view.setCaption(documentCaption().c_str()); }

// Whether the pointer over the preview is the work built as a cursor.
bool g_testCursorOn = false;

void endTestCursor(EditorView& view) {
  if (!g_testCursorOn) return;
  g_testCursorOn = false;
  view.setTestCursor(nullptr);
  view.setCheckMark(kCmdTestCursor, false);
}

void markChanged(EditorView& view) {
  editorDocument.changed = true;
  showCaption(view);
  // The pointer would show the work as it was.
  endTestCursor(view);
}

// The frames themselves changed: added, deleted or moved.
void markListChanged(EditorView& view) {
  if (editorDocument.sequenceLength > 0) dropSequence();
  markChanged(view);
}

void markSaved(EditorView& view) {
  editorDocument.changed = false;
  showCaption(view);
}

// The sides Options > Sizes offers, with their commands.
struct SizeCommand {
  int command;
  int side;
};
constexpr SizeCommand kSizeCommands[] = {
    {kCmdSize32, 32}, {kCmdSize48, 48}, {kCmdSize64, 64}, {kCmdSize96, 96}, {kCmdSize128, 128}};

void showSizes(EditorView& view) {
  for (const SizeCommand& c : kSizeCommands) view.setCheckMark(c.command, hasSize(c.side));
}

void chooseSize(EditorView& view, int command) {
  stopPlay(view);
  for (const SizeCommand& c : kSizeCommands) {
    if (c.command != command) continue;
    if (!toggleSize(c.side)) {
      showError("Too many sizes", "A frame holds pictures of at most 8 sizes.");
      return;
    }
    showSizes(view);
    markChanged(view);
  }
}

void showHotspot(EditorView& view) {
  const EditorDocument& d = editorDocument;
  if (!d.hasHotspot) {
    view.setHotspotLabel(nullptr);
    return;
  }
  char text[48];
  std::snprintf(text, sizeof text, "Hotspot: %d, %d", static_cast<int>(d.hotspotX),
                static_cast<int>(d.hotspotY));
  view.setHotspotLabel(text);
}

// The selected frame's display time, or an empty box with nothing selected.
void showTime(EditorView& view) {
  const int i = view.frameList().selection();
  if (i < 0 || i >= appState.frameCount) {
    view.setTimeText("");
    return;
  }
  view.setTimeText(std::to_string(msFromJiffies(frameRate(i))).c_str());
}

void refreshShownFrame(EditorView& view) {
  const int i = view.frameList().selection();
  if (i < 0 || i >= kMaxEntries) return;
  appState.shownFrame = previewOf(i);
  view.invalidatePreview(true);
  updateSizeLabel(view);
  showTime(view);
  stopPlay(view);
}

void reloadAllPreviews(EditorView& view) {
  for (int n = 1; n <= appState.frameCount; ++n) reloadPreview(view, n);
}

// The last four characters of a dropped file's name: ".bmp" or ".png" in any
// case.
bool isFrameFileName(const char* extension) {
  if (extension[0] != '.') return false;
  char lower[3];
  for (int i = 0; i < 3; ++i) lower[i] = static_cast<char>(extension[i + 1] | 32);
  return std::memcmp(lower, "bmp", 3) == 0 || std::memcmp(lower, "png", 3) == 0;
}

bool fileIsThere(const char* path) {
  plat::FileHandle file = plat::openForRead(path);
  plat::closeFile(file);
  return file != plat::kInvalidFile;
}

// Appends one frame to both lists and the table. Sets `full` and adds
// nothing when the table has no room left.
void addOneFrame(EditorView& view, const char* path, bool& full) {
  if (appState.frameCount >= kMaxEntries) {
    full = true;
    return;
  }
  if (!view.frameList().append(path + fileNamePart(path))) return;
  if (!view.pathList().append(path)) {
    // Keep the two lists in step: take the name back out.
    view.frameList().remove(view.frameList().count() - 1);
    return;
  }
  appState.frameTable[appState.frameCount].rate = 0;
  if (!loadNewestPreview(view, path)) {
    // Marked at once; a save still stops at the frame and names it.
    const int last = view.frameList().count() - 1;
    const std::string marked = std::string(path + fileNamePart(path)) +
                               (fileIsThere(path) ? " (not a BMP or PNG)" : " (file not found)");
    view.frameList().remove(last);
    if (!view.frameList().append(marked.c_str()))
      view.frameList().append(path + fileNamePart(path));
  }
  ++appState.frameCount;
  view.showSizeLabel(true);
  markListChanged(view);
}

// Takes apart what the open chooser handed back in `block`, which holds two
// zero bytes more than the chooser may fill, so every text in it ends.
void addChosenFiles(EditorView& view, const char* block, int result, bool& full) {
  if (result == 1) {
    if (std::strlen(block) < static_cast<size_t>(kPathCapacity)) addOneFrame(view, block, full);
    return;
  }
  if (result != 2) return;
  const char* directory = block;
  const char* name = block + std::strlen(block) + 1;
  char path[kPathCapacity];
  while (name < block + kOpenBufferSize && *name != '\0' && !full) {
    // A path that would not fit 259 characters is skipped.
    if (joinSelectedPath(directory, name, path)) addOneFrame(view, path, full);
    name += std::strlen(name) + 1;
  }
}

void addFrames(EditorView& view) {
  stopPlay(view);
  const bool wasEmpty = appState.frameCount == 0;
  char* block = static_cast<char*>(allocZeroed(kOpenBufferSize + 2));
  if (block == nullptr) {
    showOutOfMemory();
    return;
  }
  const int result = view.chooseOpenFiles(block, kOpenTitle, kOpenFilter);
  bool full = false;
  view.frameList().holdRedraw(true);
  addChosenFiles(view, block, result, full);
  view.frameList().holdRedraw(false);
  releaseBlock(block);
  if (full) showError("Too many frames", "An animation holds at most 255 frames.");
  if (wasEmpty) {
    view.frameList().select(0);
    view.requestRefresh();
  }
}

void deleteFrame(EditorView& view) {
  stopPlay(view);
  const int i = view.frameList().selection();
  if (i < 0 || i >= appState.frameCount) return;
  view.frameList().remove(i);
  view.pathList().remove(i);
  releasePreview(i + 1);
  markListChanged(view);
  if (i + 1 >= appState.frameCount) {
    --appState.frameCount;
    view.frameList().select(appState.frameCount - 1);
    view.requestRefresh();
  } else {
    FrameRecord* table = appState.frameTable;
    std::memmove(&table[i], &table[i + 1],
                 static_cast<size_t>(appState.frameCount - i - 1) * sizeof(FrameRecord));
    table[appState.frameCount - 1] = FrameRecord{};
    --appState.frameCount;
    view.frameList().select(i);
    view.requestRefresh();
  }
  if (appState.frameCount == 0) {
    showNothing(view);
    view.showSizeLabel(false);
  }
}

// Moves item `from` of a list to stand before item `before` (counted before
// the move) by inserting a copy and deleting the original.
bool moveItem(ItemList& list, int from, int before) {
  char text[kPathCapacity];
  if (!list.text(from, text, sizeof text)) return false;
  if (!list.insert(before, text)) return false;
  list.remove(from < before ? from : from + 1);
  return true;
}

void swapRecords(int a, int b) {
  FrameRecord held = appState.frameTable[a];
  appState.frameTable[a] = appState.frameTable[b];
  appState.frameTable[b] = held;
}

void moveFrameUp(EditorView& view) {
  const int i = view.frameList().selection();
  if (i < 1 || i >= appState.frameCount) return;
  stopPlay(view);
  // The item above goes below the selected one; the list box keeps the
  // selection on the selected item, which now stands at i - 1.
  if (!moveItem(view.frameList(), i - 1, i + 1)) return;
  if (!moveItem(view.pathList(), i - 1, i + 1)) {
    moveItem(view.frameList(), i, i - 1);
    return;
  }
  swapRecords(i, i - 1);
  markListChanged(view);
}

void moveFrameDown(EditorView& view) {
  const int i = view.frameList().selection();
  if (i < 0 || i >= view.frameList().count() - 1 || i + 1 >= appState.frameCount) return;
  stopPlay(view);
  if (!moveItem(view.frameList(), i, i + 2)) return;
  view.frameList().select(i + 1);
  if (!moveItem(view.pathList(), i, i + 2)) {
    moveItem(view.frameList(), i + 1, i);
    view.frameList().select(i);
    return;
  }
  swapRecords(i, i + 1);
  markListChanged(view);
}

void startPlay(EditorView& view) {
  appState.playTimer = view.startPlayTimer(msFromJiffies(stepRate(0)));
  appState.playIndex = 1;
}

void editColours(EditorView& view) {
  stopPlay(view);
  view.runColoursDialog();
  saveSettings();
  // The transparent colours may have changed, and with them the masks.
  reloadAllPreviews(view);
  view.invalidatePreview(false);
  view.requestRefresh();
}

void toggleOption(EditorView& view, int command) {
  uint8_t& option = optionSwitch(command);
  option ^= 1;
  view.setCheckMark(command, option != 0);
  saveSettings();
  view.requestRefresh();
  if (command == kCmdTransparent) {
    reloadAllPreviews(view);
    view.invalidatePreview(false);
    // Once more, so that the shown frame holds the new bitmaps.
    view.requestRefresh();
  }
}

void newAnimation(EditorView& view) {
  stopPlay(view);
  endTestCursor(view);
  for (int n = appState.frameCount - 1; n >= 0; --n) {
    view.frameList().remove(n);
    view.pathList().remove(n);
    releasePreview(n + 1);
  }
  appState.frameCount = 0;
  showNothing(view);
  updateSizeLabel(view);
  resetDocument();
  showCaption(view);
  showHotspot(view);
  showSizes(view);
  showTime(view);
}

std::vector<std::string> framePaths(EditorView& view) {
  std::vector<std::string> paths;
  char path[kPathCapacity];
  for (int i = 0; i < appState.frameCount; ++i) {
    path[0] = '\0';
    view.pathList().text(i, path, sizeof path);
    paths.emplace_back(path);
  }
  return paths;
}

// True when the script was written.
bool saveBuildScript(EditorView& view) {
  stopPlay(view);
  char chosen[kPathCapacity] = {};
  std::memcpy(chosen, editorDocument.scriptPath, sizeof chosen);
  if (!view.chooseSaveFile(chosen, kScriptSaveTitle, kScriptFilter)) return false;
  chosen[kPathCapacity - 1] = '\0';
  std::string path = chosen;
  // A name typed without an extension gets the one the chooser offers.
  if (path.find('.', fileNamePart(chosen)) == std::string::npos) path += ".txt";
  if (path.size() >= static_cast<size_t>(kPathCapacity) ||
      !writeTextFile(path.c_str(), buildScriptText(path.c_str(), framePaths(view)))) {
    showError(caption::kCantWriteFile, path.c_str());
    return false;
  }
  std::memcpy(editorDocument.scriptPath, path.c_str(), path.size() + 1);
  markSaved(view);
  return true;
}

// Before the work is closed or replaced: true when it may go.
bool mayDiscardWork(EditorView& view) {
  if (!editorDocument.changed) return true;
  stopPlay(view);
  switch (view.askYesNoCancel("Kinetor for Velmar",
                              "The frames or the cursor's settings have changed. "
                              "Save them as a build script?")) {
    case Answer::kYes:
      return saveBuildScript(view);
    case Answer::kNo:
      return true;
    case Answer::kCancel:
      break;
  }
  return false;
}

// The one file the open chooser gave, or an empty text.
std::string chooseOneFile(EditorView& view, const char* title, const char* filter) {
  char* block = static_cast<char*>(allocZeroed(kOpenBufferSize + 2));
  if (block == nullptr) {
    showOutOfMemory();
    return "";
  }
  const int result = view.chooseOpenFiles(block, title, filter);
  std::string path = result == 1 ? block : "";
  releaseBlock(block);
  if (path.size() >= static_cast<size_t>(kPathCapacity)) path.clear();
  return path;
}

// A script that holds settings sections builds with those alone in the
// batch; the editor takes them over, so that its save builds the same file.
void takeSettingsOf(EditorView& view, const char* path) {
  if (!takeScriptSettings(path)) return;
  for (int command : kOptionCommands) view.setCheckMark(command, optionSwitch(command) != 0);
  saveSettings();
}

void openScriptAt(EditorView& view, const std::string& path) {
  static OpenedScript script;  // large: kept off the stack
  char problem[kScriptProblemCapacity];
  if (!readBuildScript(path.c_str(), script, problem)) {
    showError("Can't open build script", (path + "\n" + problem).c_str());
    return;
  }
  newAnimation(view);
  takeSettingsOf(view, path.c_str());
  bool full = false;
  view.frameList().holdRedraw(true);
  for (const auto& frame : script.frames) addOneFrame(view, frame.c_str(), full);
  view.frameList().holdRedraw(false);
  takeOpenedOptions(script.options, appState.frameCount);
  EditorDocument& d = editorDocument;
  std::memcpy(d.scriptPath, path.c_str(), path.size() + 1);
  if (script.cursorPath.size() < static_cast<size_t>(kPathCapacity)) {
    std::memcpy(d.cursorPath, script.cursorPath.c_str(), script.cursorPath.size() + 1);
  }
  markSaved(view);
  showHotspot(view);
  showSizes(view);
  view.frameList().select(0);
  view.requestRefresh();
}

void openBuildScript(EditorView& view) {
  if (!mayDiscardWork(view)) return;
  const std::string path = chooseOneFile(view, kScriptOpenTitle, kScriptFilter);
  if (!path.empty()) openScriptAt(view, path);
}

// Into a folder beside the cursor, as a user finds it again: named after
// the cursor, next to it.
void importCursorFile(EditorView& view, const char* path) {
  const std::string folder = importFolderFor(path);
  ExtractReport report;
  if (folder.empty()) {
    report.error = "no free folder name beside it";
  } else if (extractCursorFile(path, folder.c_str(), report)) {
    if (!report.differences.empty()) {
      // Said before the script opens: a save will not give the same file.
      std::string text = std::string(path) + "\nwas taken apart into " + folder +
                         ", but a save will not give the same file:";
      for (const std::string& line : report.differences) text += "\n" + line;
      showError("Cursor imported with changes", text.c_str());
    }
    openScriptAt(view, report.scriptPath);
    return;
  }
  showError("Can't import cursor", (std::string(path) + "\n" + report.error).c_str());
}

void chooseAndImportCursor(EditorView& view) {
  if (!mayDiscardWork(view)) return;
  const std::string path = chooseOneFile(view, kImportTitle, kImportFilter);
  if (!path.empty()) importCursorFile(view, path.c_str());
}

// A name of this process's own in the folder for temporary files.
bool testCursorPath(char (&path)[kPathCapacity]) {
  if (!plat::tempFolder(path, kPathCapacity)) return false;
  const std::string name = "kinetor-test-" + std::to_string(plat::processId()) + ".anim";
  if (std::strlen(path) + name.size() >= static_cast<size_t>(kPathCapacity)) return false;
  std::strcat(path, name.c_str());
  return true;
}

void editCursorInfo(EditorView& view) {
  stopPlay(view);
  EditorDocument& d = editorDocument;
  char title[sizeof d.title], author[sizeof d.author];
  std::memcpy(title, d.title, sizeof title);
  std::memcpy(author, d.author, sizeof author);
  if (!view.editCursorInfo(title, author)) return;
  title[sizeof title - 1] = author[sizeof author - 1] = '\0';
  if (std::strcmp(title, d.title) == 0 && std::strcmp(author, d.author) == 0) return;
  std::memcpy(d.title, title, sizeof title);
  std::memcpy(d.author, author, sizeof author);
  markChanged(view);
}

// A whole number of milliseconds from 1 to an hour; 0 for anything else.
uint32_t typedMs(EditorView& view) {
  char text[32] = {};
  view.timeText(text, sizeof text);
  uint64_t ms = 0;
  const char* p = text;
  while (*p == ' ') ++p;
  if (*p < '0' || *p > '9') return 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    ms = ms * 10 + static_cast<uint64_t>(*p - '0');
    if (ms > 3600000) return 0;
  }
  while (*p == ' ') ++p;
  return *p == '\0' ? static_cast<uint32_t>(ms) : 0;
}

void setDisplayTime(EditorView& view, bool allFrames) {
  const int selected = view.frameList().selection();
  if (appState.frameCount <= 0 || (!allFrames && selected < 0)) return;
  const uint32_t ms = typedMs(view);
  if (ms == 0) {
    showError("Bad display time",
              "Give the time in milliseconds: a whole number from 1 to 3600000.");
    showTime(view);
    return;
  }
  setFrameRate(allFrames ? -1 : selected, static_cast<uint32_t>(jiffiesFromMs(ms)));
  markChanged(view);
  showTime(view);
}

// Builds the work into `output` as the batch would build its script; the
// build shows its own errors. True when the file was written.
bool buildWork(EditorView& view, const char* output) {
  for (int i = 0; i < appState.frameCount; ++i) {
    char* block = static_cast<char*>(allocZeroed(kPathCapacity));
    if (block == nullptr) {
      showOutOfMemory();
      releaseFrameBuffers();
      return false;
    }
    appState.frameTable[i].path = block;
    // An item that cannot be read leaves the path empty; the build then
    // reports the frame as not loadable.
    view.pathList().text(i, block, kPathCapacity);
  }
  static AnimationOptions options;  // large: kept off the stack
  fillAnimationOptions(options, appState.frameCount);
  const bool written = buildAnimation(output, PreviewSize::kept, &options);
  releaseFrameBuffers();
  return written;
}

// The work as the pointer over the preview, from a file built as a save
// builds it; the file goes as soon as the cursor is loaded. Chosen again,
// the usual pointer comes back.
void toggleTestCursor(EditorView& view) {
  stopPlay(view);
  if (g_testCursorOn) {
    endTestCursor(view);
    return;
  }
  if (appState.frameCount <= 0) return;
  char path[kPathCapacity];
  if (!testCursorPath(path)) {
    showError(caption::kCantWriteFile, "the folder for temporary files");
    return;
  }
  if (!buildWork(view, path)) return;
  g_testCursorOn = view.setTestCursor(path);
  plat::removeFile(path);
  if (!g_testCursorOn) {
    showError("Can't load cursor", path);
    return;
  }
  view.setCheckMark(kCmdTestCursor, true);
}

void saveAnimation(EditorView& view) {
  stopPlay(view);
  if (appState.frameCount <= 0) return;
  char chosen[kPathCapacity] = {};
  if (!view.chooseSaveFile(chosen, kSaveTitle, kSaveFilter)) return;
  chosen[kPathCapacity - 1] = '\0';
  char output[kPathCapacity];
  const Failure named = makeAnimName(chosen, output);
  if (named != Failure::none) {
    reportFailure(named, chosen);
    return;
  }
  // The chooser asked before replacing the name that was typed; a file under
  // the name with ".anim" appended it never saw.
  if (std::strcmp(output, chosen) != 0 && fileIsThere(output)) {
    const std::string question =
        std::string(output) + " already exists. Do you want to replace it?";
    if (!view.askYesNo(kSaveTitle, question.c_str())) return;
  }
  if (buildWork(view, output)) {
    std::memcpy(editorDocument.cursorPath, output, sizeof output);
    markSaved(view);
  }
}

}  // namespace

void initEditor(EditorView& view) {
  g_testCursorOn = false;
  for (int command : kOptionCommands) view.setCheckMark(command, optionSwitch(command) != 0);
  resetDocument();
  showCaption(view);
  showHotspot(view);
  showSizes(view);
  showTime(view);
}

void editorCommand(EditorView& view, uint32_t wParam) {
  if ((wParam >> 16) == 1) {
    refreshShownFrame(view);
    return;
  }
  switch (wParam & 0xFFFF) {
    case kIdOk:
      // Enter, wherever the focus is: the dialog has no default button, and
      // a key that stands beside the list's arrows must not end the work.
      break;
    case kIdCancel:
      if (!mayDiscardWork(view)) break;
      stopPlay(view);
      endTestCursor(view);
      view.closeEditor();
      break;
    case kIdTimeSet:
      setDisplayTime(view, false);
      break;
    case kIdTimeSetAll:
      setDisplayTime(view, true);
      break;
    case kIdAdd:
      addFrames(view);
      break;
    case kIdDelete:
      deleteFrame(view);
      break;
    case kIdUp:
      moveFrameUp(view);
      break;
    case kIdDown:
      moveFrameDown(view);
      break;
    case kCmdPlay:
      startPlay(view);
      break;
    case kCmdStop:
      stopPlay(view);
      view.requestRefresh();
      break;
    case kCmdColours:
      editColours(view);
      break;
    case kCmdTransparent:
    case kCmdReplace:
    case kCmdMerge:
    case kCmdOptimize:
      toggleOption(view, static_cast<int>(wParam & 0xFFFF));
      break;
    case kCmdNew:
      if (mayDiscardWork(view)) newAnimation(view);
      break;
    case kCmdSave:
      saveAnimation(view);
      break;
    case kCmdInfo:
      editCursorInfo(view);
      break;
    case kCmdOpenScript:
      openBuildScript(view);
      break;
    case kCmdSaveScript:
      saveBuildScript(view);
      break;
    case kCmdImport:
      chooseAndImportCursor(view);
      break;
    case kCmdTestCursor:
      toggleTestCursor(view);
      break;
    case kCmdSize32:
    case kCmdSize48:
    case kCmdSize64:
    case kCmdSize96:
    case kCmdSize128:
      chooseSize(view, static_cast<int>(wParam & 0xFFFF));
      break;
    default:
      break;
  }
}

void playTick(EditorView& view) {
  // The steps of the cursor file: a kept order of steps, or the list.
  const int steps = playedSteps();
  if (appState.playIndex < 1 || appState.playIndex > std::max(steps, 1)) appState.playIndex = 1;
  const int step = appState.playIndex - 1;
  const int shown = std::clamp(stepFrame(step), 0, kMaxEntries - 1);
  appState.shownFrame = previewOf(shown);
  view.invalidatePreview(true);
  // The step stays for as long as the cursor file will show it.
  if (appState.playTimer != 0) {
    appState.playTimer = view.startPlayTimer(msFromJiffies(stepRate(step)));
  }
  ++appState.playIndex;
  if (appState.playIndex > steps) appState.playIndex = 1;
}

int keyCommand(uint32_t virtualKey, bool control, bool inFrameList) {
  constexpr uint32_t kDeleteKey = 0x2E;  // VK_DELETE
  if (virtualKey == kDeleteKey && !control && inFrameList) return kIdDelete;
  if (!control) return 0;
  switch (virtualKey) {
    case 'N':
      return kCmdNew;
    case 'O':
      return kCmdOpenScript;
    case 'S':
      return kCmdSaveScript;
    default:
      return 0;
  }
}

void addDroppedFiles(EditorView& view, const char* const* paths, int count) {
  stopPlay(view);
  const bool wasEmpty = appState.frameCount == 0;
  bool full = false;
  view.frameList().holdRedraw(true);
  for (int i = 0; i < count && !full; ++i) {
    const size_t length = std::strlen(paths[i]);
    if (length >= static_cast<size_t>(kPathCapacity) || length < 4) continue;
    if (!isFrameFileName(paths[i] + length - 4)) continue;
    addOneFrame(view, paths[i], full);
  }
  view.frameList().holdRedraw(false);
  if (full) showError("Too many frames", "An animation holds at most 255 frames.");
  if (wasEmpty && appState.frameCount > 0) {
    view.frameList().select(0);
    view.requestRefresh();
  }
}

void importCursor(EditorView& view, const char* path) {
  if (mayDiscardWork(view)) importCursorFile(view, path);
}

void previewClicked(EditorView& view, int x, int y) {
  const ShownFrame& shown = appState.shownFrame;
  if (shown.image == nullptr || appState.playTimer != 0) return;
  const int fx = x - kFrameOffset, fy = y - kFrameOffset;
  if (fx < 0 || fy < 0 || fx >= shown.width || fy >= shown.height) return;
  EditorDocument& d = editorDocument;
  d.hasHotspot = true;
  d.hotspotX = fx;
  d.hotspotY = fy;
  markChanged(view);
  showHotspot(view);
  view.invalidatePreview(false);
}

void stopPlay(EditorView& view) {
  if (appState.playTimer == 0) return;
  view.stopPlayTimer();
  appState.playTimer = 0;
}

bool loadNewestPreview(EditorView& view, const char* path) {
  const int n = view.pathList().count();
  if (n < 1 || n > kMaxEntries) return false;
  return loadPreview(n, path);
}

void reloadPreview(EditorView& view, int n) {
  if (n < 1 || n > kMaxEntries) return;
  char path[264] = {};
  const bool known = view.pathList().text(n - 1, path, sizeof path);
  releasePreview(n);
  if (known) loadPreview(n, path);
}

void updateSizeLabel(EditorView& view) {
  if (appState.shownFrame.width == 0) {
    view.setSizeLabelText(nullptr);
    return;
  }
  char text[68];
  std::snprintf(text, sizeof text, "Size: %i x %i", static_cast<int>(appState.shownFrame.width),
                static_cast<int>(appState.shownFrame.height));
  view.setSizeLabelText(text);
}
