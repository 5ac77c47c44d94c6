// The main dialog's view: makes the child windows, turns messages into the
// editor's commands and carries their results to the controls.
#include "ui/state.h"
#include "ui/editor.h"
#include "ui/resources/resource_ids.h"
#include "ui/win32/choosers.h"
#include "ui/win32/list_box.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/window_procs.h"

namespace {

constexpr DWORD kFrameListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                  WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS;
static_assert(kFrameListStyle == 0x50B10041);

HINSTANCE instance() { return static_cast<HINSTANCE>(appState.instance); }
HWND handle(UiHandle h) { return static_cast<HWND>(h); }

class MainDialogView final : public EditorView {
 public:
  explicit MainDialogView(HWND dialog)
      : dialog_(dialog), frames_(handle(appState.frameList)), paths_(handle(appState.pathList)) {}

  ItemList& frameList() override { return frames_; }
  ItemList& pathList() override { return paths_; }

  void requestRefresh() override { SendMessageA(dialog_, WM_COMMAND, kRefreshRequest, 0); }

  void invalidatePreview(bool erase) override {
    InvalidateRect(handle(appState.previewWindow), nullptr, erase ? TRUE : FALSE);
  }

  void showSizeLabel(bool visible) override {
    ShowWindow(GetDlgItem(dialog_, kIdSizeLabel), visible ? SW_SHOW : SW_HIDE);
  }

  void setSizeLabelText(const char* text) override {
    SendDlgItemMessageA(dialog_, kIdSizeLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }

  void setCheckMark(int command, bool checked) override {
    appState.mainMenu = GetMenu(dialog_);
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE | MIIM_CHECKMARKS;
    item.fState = checked ? MFS_CHECKED : 0;
    SetMenuItemInfoA(static_cast<HMENU>(appState.mainMenu), static_cast<UINT>(command), FALSE,
                     &item);
  }

  uint32_t startPlayTimer() override {
    return static_cast<uint32_t>(SetTimer(dialog_, kPlayTimerId, kPlayPeriodMs, nullptr));
  }

  void stopPlayTimer() override { KillTimer(dialog_, kPlayTimerId); }

  int chooseOpenFiles(char* buffer, const char* title, const char* filter) override {
    return chooserSeam().openFiles(buffer, title, filter, dialog_);
  }

  bool chooseSaveFile(char* buffer, const char* title, const char* filter) override {
    return chooserSeam().saveFile(buffer, title, filter, dialog_);
  }

  bool askYesNo(const char* caption, const char* question) override {
    return MessageBoxA(dialog_, question, caption, MB_YESNO | MB_ICONWARNING) == IDYES;
  }

  void runColoursDialog() override {
    DialogBoxParamA(instance(), MAKEINTRESOURCEA(kDialogColours), dialog_, coloursDialogProc, 0);
  }

  void closeEditor() override {
    releaseBackBuffer();
    EndDialog(dialog_, 1);
  }

 private:
  HWND dialog_;
  ListBox frames_;
  ListBox paths_;
};

void createChildren(HWND dialog) {
  RECT list = {4, 2, 130, 205};  // left, top, width, height
  MapDialogRect(dialog, &list);
  appState.frameList = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", kFrameListStyle, list.left,
                                       list.top, list.right, list.bottom, dialog,
                                       reinterpret_cast<HMENU>(kIdFrameList), instance(), nullptr);
  appState.pathList = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 0, 0, dialog,
                                      reinterpret_cast<HMENU>(kIdPathList), instance(), nullptr);
  // Centred on a 210-unit-wide strip that starts at x 180.
  RECT strip = {180, 16, 210, 0};
  MapDialogRect(dialog, &strip);
  appState.previewWindow = CreateWindowExA(
      0, "PrwClass", "", WS_CHILD | WS_VISIBLE, strip.left + strip.right / 2 - kPreviewSize / 2,
      strip.top, kPreviewSize, kPreviewSize, dialog, nullptr, instance(), nullptr);
}

}  // namespace

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SendMessageA(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadIconA(instance(), MAKEINTRESOURCEA(kIconApp))));
      createChildren(dialog);
      appState.mainMenu = GetMenu(dialog);
      MainDialogView view(dialog);
      initEditor(view);
      createBackBuffer();
      break;
    }
    case WM_COMMAND: {
      MainDialogView view(dialog);
      editorCommand(view, static_cast<uint32_t>(wParam));
      break;
    }
    case WM_TIMER:
      if ((wParam & 0xFF) == kPlayTimerId) {
        MainDialogView view(dialog);
        playTick(view);
      }
      break;
    default:
      break;
  }
  return FALSE;
}
