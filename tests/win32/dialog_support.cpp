#include "dialog_support.h"

#include <cstring>

#include "support/process.h"
#include "ui/shell.h"

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

struct ModalSearch {
  HWND except;
  HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ModalSearch*>(param);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (window != search->except && std::strcmp(className, "#32770") == 0 &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct ModalDriver {
  HWND except = nullptr;
  std::function<void(HWND)> drive;
  bool driven = false;
  int ticks = 0;
};
ModalDriver* g_driver = nullptr;

VOID CALLBACK onDriverTick(HWND, UINT, UINT_PTR timer, DWORD) {
  if (g_driver == nullptr || g_driver->driven) return;
  ModalSearch search{g_driver->except, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    // Give up after a few seconds rather than wait forever.
    if (++g_driver->ticks > 200) KillTimer(nullptr, timer);
    return;
  }
  KillTimer(nullptr, timer);
  g_driver->driven = true;
  g_driver->drive(search.found);
}

}  // namespace

bool driveModal(HWND except, const std::function<void()>& run,
                const std::function<void(HWND)>& drive) {
  ModalDriver driver;
  driver.except = except;
  driver.drive = drive;
  g_driver = &driver;
  SetTimer(nullptr, 0, 25, onDriverTick);
  run();
  g_driver = nullptr;
  return driver.driven;
}

std::vector<uint32_t> readClientPixels(HWND window, int width, int height) {
  HDC windowDC = GetDC(window);
  HDC memory = CreateCompatibleDC(windowDC);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
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
