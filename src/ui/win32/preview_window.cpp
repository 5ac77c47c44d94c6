#include "ui/win32/preview_window.h"

#include <windowsx.h>

#include "base/colour.h"
#include "ui/editor.h"
#include "ui/state.h"
#include "ui/win32/window_procs.h"

namespace {

// The pixels of the back buffer's bitmap: a top-down 32-bit DIB section, so
// the composed surface is written straight into it.
uint32_t* g_backBufferBits = nullptr;

HDC backBufferDC() { return static_cast<HDC>(appState.backBufferDC); }

int previewScale() { return appState.previewScale > 1 ? appState.previewScale : 1; }

uint32_t toDibOrder(COLORREF c) { return swapRedBlue(c) & 0xFFFFFFu; }

}  // namespace

PreviewColours systemPreviewColours() {
  return PreviewColours{
      toDibOrder(GetSysColor(COLOR_BTNFACE)), toDibOrder(GetSysColor(COLOR_BTNSHADOW)),
      toDibOrder(GetSysColor(COLOR_3DDKSHADOW)), toDibOrder(GetSysColor(COLOR_BTNHIGHLIGHT)),
      toDibOrder(GetSysColor(COLOR_3DLIGHT))};
}

HBITMAP createTopDownDib(HDC dc, int width, int height, void** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  *bits = nullptr;
  return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

void createBackBuffer() {
  releaseBackBuffer();
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = createTopDownDib(screen, kPreviewSize, kPreviewSize, &bits);
  ReleaseDC(nullptr, screen);
  if (dc == nullptr || bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    return;
  }
  appState.backBufferDC = dc;
  appState.backBufferOldBitmap = SelectObject(dc, bitmap);
  g_backBufferBits = static_cast<uint32_t*>(bits);
}

void releaseBackBuffer() {
  if (appState.backBufferDC == nullptr) return;
  HGDIOBJ bitmap = SelectObject(backBufferDC(), static_cast<HGDIOBJ>(appState.backBufferOldBitmap));
  DeleteObject(bitmap);
  DeleteDC(backBufferDC());
  appState.backBufferDC = nullptr;
  appState.backBufferOldBitmap = nullptr;
  g_backBufferBits = nullptr;
}

namespace {

// The work built as a cursor, shown while the pointer is over the preview.
HCURSOR g_testCursor = nullptr;

}  // namespace

bool setPreviewCursor(const char* path) {
  HCURSOR loaded = nullptr;
  if (path != nullptr) {
    // The system animates an animated cursor by itself, at its own rates.
    loaded = static_cast<HCURSOR>(
        LoadImageA(nullptr, path, IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (loaded == nullptr) return false;
  }
  HCURSOR old = g_testCursor;
  g_testCursor = loaded;
  // The pointer already over the preview changes now, not at its next move.
  POINT at;
  HWND preview = static_cast<HWND>(appState.previewWindow);
  if (preview != nullptr && GetCursorPos(&at) && WindowFromPoint(at) == preview) {
    SendMessageA(preview, WM_SETCURSOR, reinterpret_cast<WPARAM>(preview),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
  if (old != nullptr) {
    if (GetCursor() == old) SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    DestroyCursor(old);
  }
  return true;
}

HCURSOR previewCursor() { return g_testCursor; }

LRESULT CALLBACK previewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (g_testCursor != nullptr && LOWORD(lParam) == HTCLIENT) {
        SetCursor(g_testCursor);
        return TRUE;
      }
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(window, &ps);
      if (g_backBufferBits != nullptr) {
        // Finish any drawing GDI still holds before the pixels are written.
        GdiFlush();
        composePreview(g_backBufferBits, systemPreviewColours());
        const int side = kPreviewSize * previewScale();
        if (side == kPreviewSize) {
          BitBlt(hdc, 0, 0, kPreviewSize, kPreviewSize, backBufferDC(), 0, 0, SRCCOPY);
        } else {
          // Whole pixels, each repeated: no smoothing.
          SetStretchBltMode(hdc, COLORONCOLOR);
          StretchBlt(hdc, 0, 0, side, side, backBufferDC(), 0, 0, kPreviewSize, kPreviewSize,
                     SRCCOPY);
        }
      } else {
        RECT client;
        GetClientRect(window, &client);
        FillRect(hdc, &client, GetSysColorBrush(COLOR_BTNFACE));
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      // The dialog decides what a click means, on the composed picture.
      SendMessageA(
          GetParent(window), kPreviewClickMessage, 0,
          MAKELPARAM(GET_X_LPARAM(lParam) / previewScale(), GET_Y_LPARAM(lParam) / previewScale()));
      return 0;
    case WM_ERASEBKGND:
      // The paint covers the whole window from the back buffer.
      return 1;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
