// Stand-ins until the editor's view exists.
#include "ui/win32/window_procs.h"

INT_PTR CALLBACK mainDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
INT_PTR CALLBACK coloursDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT CALLBACK previewWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}
LRESULT CALLBACK transSwatchProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}
LRESULT CALLBACK replaceSwatchProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}
