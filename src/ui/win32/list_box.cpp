#include "ui/win32/list_box.h"

namespace {
LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(window, message, wParam, lParam);
}
}  // namespace

int ListBox::count() {
  const LRESULT n = send(window_, LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

bool ListBox::append(const char* text) {
  return send(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)) >= 0;
}

bool ListBox::insert(int index, const char* text) {
  return send(window_, LB_INSERTSTRING, static_cast<WPARAM>(index),
              reinterpret_cast<LPARAM>(text)) >= 0;
}

void ListBox::remove(int index) { send(window_, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

bool ListBox::text(int index, char* buffer, int capacity) {
  // LB_GETTEXT takes no buffer size, so the length is checked first.
  const LRESULT length = send(window_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0 || length >= capacity) return false;
  return send(window_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)) >=
         0;
}

int ListBox::selection() { return static_cast<int>(send(window_, LB_GETCURSEL, 0, 0)); }

void ListBox::holdRedraw(bool held) {
  send(window_, WM_SETREDRAW, held ? FALSE : TRUE, 0);
  if (!held) RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void ListBox::select(int index) { send(window_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
