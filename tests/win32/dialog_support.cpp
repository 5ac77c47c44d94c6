#include "dialog_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/process.h"
#include "ui/shell.h"
#include "ui/win32/preview_window.h"

// The editor benchmark drives the dialogs too, without GoogleTest.
#if __has_include(<gtest/gtest.h>)
#include <gtest/gtest.h>
#define KINETOR_MODAL_FAILURE(text) ADD_FAILURE() << (text)
#else
#define KINETOR_MODAL_FAILURE(text) std::fprintf(stderr, "%s\n", (text).c_str())
#endif

std::string prepareEditorState() {
  resetAppState();
  appState.instance = GetModuleHandleA(nullptr);
  // Registering again fails harmlessly once the classes exist.
  registerWindowClasses();
  ScriptedChoosers::reset();
  setChooserSeam(ScriptedChoosers::seam());
  std::string dir = makeTempDir();
  std::string programDir = dir + "\\";
  std::memcpy(appState.programDir, programDir.c_str(), programDir.size() + 1);
  return dir;
}

std::vector<std::string> listItems(HWND list) {
  std::vector<std::string> items;
  const LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    items.push_back(text);
  }
  return items;
}

std::string windowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

RECT childRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT dialogUnits(HWND dialog, int left, int top, int width, int height) {
  RECT r = {left, top, width, height};
  MapDialogRect(dialog, &r);
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

void sendCommand(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void pumpMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

namespace {

// Once over the limit, how long a dialog gets for each harder way of closing
// it: a Cancel click, then EndDialog, then the end of every message loop.
constexpr ULONGLONG kClosingStepMs = 5'000;

struct ModalDriver {
  HWND except = nullptr;
  std::function<void(HWND)> drive;
  std::vector<HWND> seen;
  ModalResult result;
  ULONGLONG deadline = 0;
  int closingStep = 0;
};
ModalDriver* g_driver = nullptr;

BOOL CALLBACK collectDialogs(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(param);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) found->push_back(window);
  return TRUE;
}

// Past the limit: notes what is still open and closes it, each step harder
// than the one before, so that the test goes on to report the failure.
void closeStuckDialogs(const std::vector<HWND>& dialogs) {
  ModalDriver& d = *g_driver;
  const ULONGLONG now = GetTickCount64();
  if (now < d.deadline + static_cast<ULONGLONG>(d.closingStep) * kClosingStepMs) return;
  if (d.closingStep == 0) {
    d.result.timedOut = true;
    for (HWND w : dialogs) {
      if (w != d.except) d.result.stuck.push_back(windowText(w));
    }
  }
  for (HWND w : dialogs) {
    if (w == d.except) continue;
    if (d.closingStep == 0) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    if (d.closingStep == 1) EndDialog(w, IDCANCEL);
  }
  if (d.closingStep == 2) PostQuitMessage(0);
  if (d.closingStep < 3) ++d.closingStep;
}

VOID CALLBACK onDriverTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver == nullptr) return;
  std::vector<HWND> dialogs;
  EnumThreadWindows(GetCurrentThreadId(), collectDialogs, reinterpret_cast<LPARAM>(&dialogs));
  if (GetTickCount64() >= g_driver->deadline) {
    closeStuckDialogs(dialogs);
    return;
  }
  for (HWND w : dialogs) {
    if (w == g_driver->except ||
        std::find(g_driver->seen.begin(), g_driver->seen.end(), w) != g_driver->seen.end()) {
      continue;
    }
    g_driver->seen.push_back(w);
    if (!g_driver->result.driven) {
      g_driver->result.driven = true;
      g_driver->drive(w);
    } else {
      // Anything else that pops up (a message box of the system dialog) is
      // noted and closed, so that no test can hang on it.
      g_driver->result.others.push_back(windowText(w));
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    }
    return;
  }
}

}  // namespace

ModalResult driveModal(HWND except, const std::function<void()>& run,
                       const std::function<void(HWND)>& drive, int limitSeconds) {
  ModalDriver driver;
  driver.except = except;
  driver.drive = drive;
  driver.deadline = GetTickCount64() + static_cast<ULONGLONG>(limitSeconds) * 1000;
  g_driver = &driver;
  const UINT_PTR timer = SetTimer(nullptr, 0, 25, onDriverTick);
  run();
  KillTimer(nullptr, timer);
  g_driver = nullptr;
  if (driver.result.timedOut) {
    std::string why = "a modal dialog was still open after " + std::to_string(limitSeconds) +
                      " s and was closed by force (" + (driver.result.driven ? "" : "never ") +
                      "driven; open then:";
    for (const auto& caption : driver.result.stuck) why += " \"" + caption + "\"";
    if (driver.result.stuck.empty()) why += " none of class #32770";
    KINETOR_MODAL_FAILURE(why + ")");
  }
  return driver.result;
}

std::vector<uint32_t> readClientPixels(HWND window, int width, int height) {
  HDC windowDC = GetDC(window);
  HDC memory = CreateCompatibleDC(windowDC);
  void* bits = nullptr;
  HBITMAP bitmap = createTopDownDib(windowDC, width, height, &bits);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, windowDC, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                               static_cast<const uint32_t*>(bits) + width * height);
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, windowDC);
  return pixels;
}
