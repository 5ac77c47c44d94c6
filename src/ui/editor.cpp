#include "ui/editor.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/captions.h"
#include "base/runtime.h"
#include "ui/state.h"
#include "platform/platform.h"
#include "ui/build_table.h"
#include "ui/file_names.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/settings_state.h"

const char kOpenTitle[] = "111";
const char kOpenFilter[] = "Bitmap\0*.bmp\0";
const char kSaveTitle[] = "Save Anim file";
const char kSaveFilter[] = "Animanion-file\0*.anim\0";

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

void refreshShownFrame(EditorView& view) {
  const int i = view.frameList().selection();
  if (i < 0 || i >= kMaxEntries) return;
  appState.shownFrame = previewOf(i);
  view.invalidatePreview(true);
  updateSizeLabel(view);
  stopPlay(view);
}

void reloadAllPreviews(EditorView& view) {
  for (int n = 1; n <= appState.frameCount; ++n) reloadPreview(view, n);
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
  loadNewestPreview(view, path);
  ++appState.frameCount;
  view.showSizeLabel(true);
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
}

void startPlay(EditorView& view) {
  appState.playTimer = view.startPlayTimer();
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
  for (int n = appState.frameCount - 1; n >= 0; --n) {
    view.frameList().remove(n);
    view.pathList().remove(n);
    releasePreview(n + 1);
  }
  appState.frameCount = 0;
  showNothing(view);
  updateSizeLabel(view);
}

bool fileIsThere(const char* path) {
  plat::FileHandle file = plat::openForRead(path);
  plat::closeFile(file);
  return file != plat::kInvalidFile;
}

void saveAnimation(EditorView& view) {
  stopPlay(view);
  if (appState.frameCount <= 0) return;
  char chosen[kPathCapacity] = {};
  if (!view.chooseSaveFile(chosen, kSaveTitle, kSaveFilter)) return;
  chosen[kPathCapacity - 1] = '\0';
  char output[kPathCapacity];
  switch (makeAnimName(chosen, output)) {
    case AnimNameResult::kTooShort:
      return;
    case AnimNameResult::kTooLong:
      showError(caption::kCantWriteFile, chosen);
      return;
    case AnimNameResult::kUsable:
      break;
  }
  // The chooser asked before replacing the name that was typed; a file under
  // the name with ".anim" appended it never saw.
  if (std::strcmp(output, chosen) != 0 && fileIsThere(output)) {
    const std::string question =
        std::string(output) + " already exists. Do you want to replace it?";
    if (!view.askYesNo(kSaveTitle, question.c_str())) return;
  }
  for (int i = 0; i < appState.frameCount; ++i) {
    char* block = static_cast<char*>(allocZeroed(kPathCapacity));
    if (block == nullptr) {
      showOutOfMemory();
      releaseFrameBuffers();
      return;
    }
    appState.frameTable[i].path = block;
    // An item that cannot be read leaves the path empty; the build then
    // reports the frame as not loadable.
    view.pathList().text(i, block, kPathCapacity);
  }
  // The build shows its own errors.
  buildAnimation(output);
  releaseFrameBuffers();
}

}  // namespace

void initEditor(EditorView& view) {
  for (int command : kOptionCommands) view.setCheckMark(command, optionSwitch(command) != 0);
}

void editorCommand(EditorView& view, uint32_t wParam) {
  if ((wParam >> 16) == 1) {
    refreshShownFrame(view);
    return;
  }
  switch (wParam & 0xFFFF) {
    case kIdOk:
    case kIdCancel:
      stopPlay(view);
      view.closeEditor();
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
      newAnimation(view);
      break;
    case kCmdSave:
      saveAnimation(view);
      break;
    default:
      break;
  }
}

void playTick(EditorView& view) {
  if (appState.playIndex < 1 || appState.playIndex > kMaxEntries) appState.playIndex = 1;
  appState.shownFrame = previewOf(appState.playIndex - 1);
  view.invalidatePreview(true);
  ++appState.playIndex;
  if (appState.playIndex > appState.frameCount) appState.playIndex = 1;
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
