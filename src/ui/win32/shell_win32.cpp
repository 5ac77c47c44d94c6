// windows.h must come before the common-controls header.
#include <windows.h>
//
#include <commctrl.h>

#include "ui/resources/resource_ids.h"
#include "ui/shell.h"
#include "ui/state.h"
#include "ui/win32/window_procs.h"

bool editorAvailable() { return true; }

void initCommonControls() { InitCommonControls(); }

void registerWindowClasses() {
  // One record for all three: each registration changes only what differs,
  // so the later classes inherit the rest from the earlier ones.
  static WNDCLASSA wc;
  wc.style = 0;
  wc.lpfnWndProc = previewWindowProc;
  wc.hInstance = static_cast<HINSTANCE>(appState.instance);
  wc.hIcon = nullptr;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = "PrwClass";
  if (RegisterClassA(&wc) == 0) return;

  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = transSwatchProc;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = "TransClass";
  if (RegisterClassA(&wc) == 0) return;

  wc.lpfnWndProc = replaceSwatchProc;
  wc.lpszClassName = "ReplClass";
  RegisterClassA(&wc);
}

void runMainDialog(const char* cursorPath) {
  DialogBoxParamA(static_cast<HINSTANCE>(appState.instance), MAKEINTRESOURCEA(kDialogMain), nullptr,
                  mainDialogProc, reinterpret_cast<LPARAM>(cursorPath));
}
