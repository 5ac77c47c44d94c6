// The main dialog's view: makes the child windows, turns messages into the
// editor's commands and carries their results to the controls.
#include <algorithm>
#include <string>
#include <vector>

#include "ani/ani_options.h"
#include "ui/editor.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"
#include "ui/win32/choosers.h"
#include "ui/win32/list_box.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/window_procs.h"

namespace {

constexpr DWORD kFrameListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                  WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS;
static_assert(kFrameListStyle == 0x50B10041);

// The dialog whose keys the hook below looks at; one editor runs at a time.
HWND g_keyDialog = nullptr;
HHOOK g_keyHook = nullptr;

// Called for every message of a dialog's modal loop before the dialog
// manager sees it, which would otherwise give the keys to the controls.
LRESULT CALLBACK editorKeyHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && msg != nullptr && msg->message == WM_KEYDOWN &&
      g_keyDialog != nullptr && (msg->hwnd == g_keyDialog || IsChild(g_keyDialog, msg->hwnd))) {
    const int command = keyCommand(static_cast<uint32_t>(msg->wParam), GetKeyState(VK_CONTROL) < 0,
                                   msg->hwnd == static_cast<HWND>(appState.frameList));
    if (command != 0) {
      SendMessageA(g_keyDialog, WM_COMMAND, static_cast<WPARAM>(command), 0);
      return 1;
    }
  }
  return CallNextHookEx(g_keyHook, code, wParam, lParam);
}

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

  uint32_t startPlayTimer(uint32_t periodMs) override {
    return static_cast<uint32_t>(SetTimer(dialog_, kPlayTimerId, periodMs, nullptr));
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

  Answer askYesNoCancel(const char* caption, const char* question) override {
    switch (MessageBoxA(dialog_, question, caption, MB_YESNOCANCEL | MB_ICONWARNING)) {
      case IDYES:
        return Answer::kYes;
      case IDNO:
        return Answer::kNo;
      default:
        return Answer::kCancel;
    }
  }

  void setCaption(const char* text) override { SetWindowTextA(dialog_, text); }

  void setHotspotLabel(const char* text) override {
    SetDlgItemTextA(dialog_, kIdHotspotLabel, text != nullptr ? text : "");
  }

  void setTimeText(const char* text) override { SetDlgItemTextA(dialog_, kIdTimeEdit, text); }

  void timeText(char* buffer, int capacity) override {
    GetDlgItemTextA(dialog_, kIdTimeEdit, buffer, capacity);
  }

  bool editCursorInfo(char* title, char* author) override {
    char* texts[2] = {title, author};
    return DialogBoxParamA(instance(), MAKEINTRESOURCEA(kDialogInfo), dialog_, infoDialogProc,
                           reinterpret_cast<LPARAM>(texts)) == 1;
  }

  void runColoursDialog() override {
    DialogBoxParamA(instance(), MAKEINTRESOURCEA(kDialogColours), dialog_, coloursDialogProc, 0);
  }

  bool setTestCursor(const char* path) override { return setPreviewCursor(path); }

  void closeEditor() override {
    releaseBackBuffer();
    EndDialog(dialog_, 1);
  }

 private:
  HWND dialog_;
  ListBox frames_;
  ListBox paths_;
};

// Dialog units: the display time's controls start at 212; the preview's
// strip ends three units above them.
constexpr LONG kPreviewStripBottom = 209;

void createChildren(HWND dialog) {
  RECT list = {4, 2, 130, 205};  // left, top, width, height
  MapDialogRect(dialog, &list);
  appState.frameList = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", kFrameListStyle, list.left,
                                       list.top, list.right, list.bottom, dialog,
                                       reinterpret_cast<HMENU>(kIdFrameList), instance(), nullptr);
  appState.pathList = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 0, 0, dialog,
                                      reinterpret_cast<HMENU>(kIdPathList), instance(), nullptr);
  // Centred on a 210-unit-wide strip that starts at x 180 and ends above the
  // display time's controls. Where the display scales the dialog up, the
  // strip grows and the preview enlarges by the largest whole factor that
  // still fits it.
  RECT strip = {180, 16, 210, kPreviewStripBottom - 16};
  MapDialogRect(dialog, &strip);
  const int32_t scale = std::max<int32_t>(1, std::min(strip.right, strip.bottom) / kPreviewSize);
  appState.previewScale = scale;
  const int side = kPreviewSize * scale;
  appState.previewWindow = CreateWindowExA(0, "PrwClass", "", WS_CHILD | WS_VISIBLE,
                                           strip.left + strip.right / 2 - side / 2, strip.top, side,
                                           side, dialog, nullptr, instance(), nullptr);
}

void dropFiles(HWND dialog, HDROP drop) {
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> names;
  for (UINT i = 0; i < count; ++i) {
    char name[kPathCapacity] = {};
    // A name too long for a path is cut; the editor passes it over.
    if (DragQueryFileA(drop, i, name, sizeof name) < sizeof name - 1) names.emplace_back(name);
  }
  DragFinish(drop);
  std::vector<const char*> paths;
  for (const auto& n : names) paths.push_back(n.c_str());
  MainDialogView view(dialog);
  addDroppedFiles(view, paths.data(), static_cast<int>(paths.size()));
}

}  // namespace

// The title and author dialog: lParam of its start points at the two texts,
// which OK copies back.
INT_PTR CALLBACK infoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  constexpr int kIds[2] = {kIdTitleEdit, kIdAuthorEdit};
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      auto** texts = reinterpret_cast<char**>(lParam);
      for (int k = 0; k < 2; ++k) {
        SendDlgItemMessageA(dialog, kIds[k], EM_LIMITTEXT, anifile::kMaxInfoText, 0);
        SetDlgItemTextA(dialog, kIds[k], texts[k]);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto** texts = reinterpret_cast<char**>(GetWindowLongPtrA(dialog, DWLP_USER));
        for (int k = 0; k < 2; ++k) {
          GetDlgItemTextA(dialog, kIds[k], texts[k], anifile::kMaxInfoText + 1);
        }
        EndDialog(dialog, 1);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SendMessageA(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadIconA(instance(), MAKEINTRESOURCEA(kIconApp))));
      createChildren(dialog);
      appState.mainMenu = GetMenu(dialog);
      MainDialogView view(dialog);
      initEditor(view);
      createBackBuffer();
      DragAcceptFiles(dialog, TRUE);
      g_keyDialog = dialog;
      if (g_keyHook == nullptr) {
        g_keyHook = SetWindowsHookExA(WH_MSGFILTER, editorKeyHook, nullptr, GetCurrentThreadId());
      }
      // Started with a cursor file: the editor opens with it imported.
      if (lParam != 0) importCursor(view, reinterpret_cast<const char*>(lParam));
      break;
    }
    case WM_DROPFILES:
      dropFiles(dialog, reinterpret_cast<HDROP>(wParam));
      break;
    case WM_DESTROY:
      setPreviewCursor(nullptr);
      if (g_keyDialog == dialog) {
        if (g_keyHook != nullptr) UnhookWindowsHookEx(g_keyHook);
        g_keyHook = nullptr;
        g_keyDialog = nullptr;
      }
      break;
    case WM_COMMAND: {
      MainDialogView view(dialog);
      editorCommand(view, static_cast<uint32_t>(wParam));
      break;
    }
    case kPreviewClickMessage: {
      MainDialogView view(dialog);
      previewClicked(view, static_cast<int16_t>(LOWORD(lParam)),
                     static_cast<int16_t>(HIWORD(lParam)));
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
