// The main window's logic: the frame list commands, the shown frame, the
// size label, the option switches and playback. The view (a real dialog on
// Windows, a recording fake in tests) turns messages into these calls and
// carries out what they ask of the screen through EditorView.
#pragma once

#include <cstdint>

#include "ui/item_list.h"

// The open chooser writes into a block of this many bytes.
constexpr int kOpenBufferSize = 0xFFFF;
// wParam of the refresh request: control id 0, notification code 1.
constexpr uint32_t kRefreshRequest = 0x10000;
// Identifier of the play timer; its period is the shown step's display time.
constexpr uint32_t kPlayTimerId = 50;
// The preview's own window message for a click: lParam holds the client
// coordinates as WM_LBUTTONDOWN gives them.
constexpr uint32_t kPreviewClickMessage = 0x8000 + 20;  // WM_APP + 20

// Chooser texts, filters as zero-separated pairs closed by an extra zero.
extern const char kOpenTitle[];
extern const char kOpenFilter[];
extern const char kSaveTitle[];
extern const char kSaveFilter[];
extern const char kScriptOpenTitle[];
extern const char kScriptSaveTitle[];
extern const char kScriptFilter[];
extern const char kImportTitle[];
extern const char kImportFilter[];

// The three answers of a question box with Yes, No and Cancel.
enum class Answer { kYes, kNo, kCancel };

class EditorView {
 public:
  virtual ItemList& frameList() = 0;  // visible: the frames' file names
  virtual ItemList& pathList() = 0;   // hidden: their full paths
  // Sends the dialog its refresh request, which comes back to
  // editorCommand(kRefreshRequest) before this returns.
  virtual void requestRefresh() = 0;
  virtual void invalidatePreview(bool erase) = 0;
  virtual void showSizeLabel(bool visible) = 0;
  // Null empties the label.
  virtual void setSizeLabelText(const char* text) = 0;
  virtual void setCheckMark(int command, bool checked) = 0;
  // Starts (or restarts) the play timer with the given period; returns its
  // identifier, 0 when it could not be started.
  virtual uint32_t startPlayTimer(uint32_t periodMs) = 0;
  virtual void stopPlayTimer() = 0;
  // The file choosers: 0 cancelled, 1 one full path, 2 a multi-selection
  // (directory, zero, names each followed by a zero, one more zero).
  virtual int chooseOpenFiles(char* buffer, const char* title, const char* filter) = 0;
  // True when a name was chosen and copied into the 260-byte buffer.
  virtual bool chooseSaveFile(char* buffer, const char* title, const char* filter) = 0;
  // A warning box with Yes and No; true for Yes.
  virtual bool askYesNo(const char* caption, const char* question) = 0;
  // A warning box with Yes, No and Cancel.
  virtual Answer askYesNoCancel(const char* caption, const char* question) = 0;
  virtual void setCaption(const char* text) = 0;
  // Null empties the label.
  virtual void setHotspotLabel(const char* text) = 0;
  // The display time box: what it shows, and what the user typed into the
  // buffer of `capacity` bytes.
  virtual void setTimeText(const char* text) = 0;
  virtual void timeText(char* buffer, int capacity) = 0;
  // Runs the title and author dialog on the two texts (each of
  // anifile::kMaxInfoText + 1 bytes); true when the user confirmed it.
  virtual bool editCursorInfo(char* title, char* author) = 0;
  // Runs the colours dialog modally.
  virtual void runColoursDialog() = 0;
  // Makes the cursor file at `path` the pointer over the preview, animated
  // as the system animates it; null goes back to the usual pointer. True
  // when the cursor was loaded (the file may go at once).
  virtual bool setTestCursor(const char* path) = 0;
  // Releases the preview's back buffer and ends the dialog.
  virtual void closeEditor() = 0;

 protected:
  ~EditorView() = default;
};

// After the view has made its windows: the check marks of the four options.
void initEditor(EditorView& view);

// WM_COMMAND of the main dialog. Notification code 1 (the list's selection
// change and the refresh request) shows the selected frame; otherwise the
// low word names the command.
void editorCommand(EditorView& view, uint32_t wParam);

// One tick of the play timer: shows frame playIndex for its display time
// and advances it.
void playTick(EditorView& view);

// The command a key pressed in the dialog gives (Delete in the frame list,
// Ctrl+N, Ctrl+O, Ctrl+S), or 0 for a key the controls keep.
int keyCommand(uint32_t virtualKey, bool control, bool inFrameList);

// Files dropped on the dialog, in the order given: BMP and PNG files are added as Add
// adds them, others passed over.
void addDroppedFiles(EditorView& view, const char* const* paths, int count);

// Takes the cursor file at `path` apart into a folder beside it (see
// importFolderFor) and opens the build script made there as "Open build
// script..." opens one, after asking about unsaved work.
void importCursor(EditorView& view, const char* path);

// A click on the preview at (x, y) of its client area: on the shown frame it
// sets the hotspot there.
void previewClicked(EditorView& view, int x, int y);

// Kills the play timer if it runs; the shown frame stays.
void stopPlay(EditorView& view);

// Loads the preview of the frame whose path was just appended to the path
// list; false when the list is empty or the preview could not be loaded.
bool loadNewestPreview(EditorView& view, const char* path);

// Loads frame n's (1-based) preview again from its path in the path list.
void reloadPreview(EditorView& view, int n);

// "Size: W x H" for the shown frame, or an empty label when nothing is shown.
void updateSizeLabel(EditorView& view);
