// The colours dialog's view: the swatch windows and the dialog procedure.
#include "ui/colours.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"
#include "ui/win32/choosers.h"
#include "ui/win32/window_procs.h"

namespace {

HINSTANCE instance() { return static_cast<HINSTANCE>(appState.instance); }

Swatch* swatchesOf(SwatchGroup group) {
  return group == SwatchGroup::kTransparent ? appState.transSwatches : appState.replaceSwatches;
}

HWND swatchWindow(SwatchGroup group, int entry) {
  return static_cast<HWND>(swatchesOf(group)[entry].window);
}

class ColoursDialogView final : public ColoursView {
 public:
  explicit ColoursDialogView(HWND dialog) : dialog_(dialog) {}

  void showSwatch(SwatchGroup group, int entry, bool visible) override {
    HWND window = swatchWindow(group, entry);
    if (window != nullptr) ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
  }

  void repaintSwatch(SwatchGroup group, int entry) override {
    HWND window = swatchWindow(group, entry);
    if (window != nullptr) InvalidateRect(window, nullptr, FALSE);
  }

  void showPairLabel(int pair, bool visible) override {
    ShowWindow(GetDlgItem(dialog_, kIdFirstPairLabel + pair), visible ? SW_SHOW : SW_HIDE);
  }

  void enableButton(int id, bool enabled) override {
    EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
  }

  bool chooseColour(uint32_t& colour) override { return chooserSeam().colour(dialog_, colour); }

  void closeDialog() override { EndDialog(dialog_, 1); }

 private:
  HWND dialog_;
};

// A swatch of 20 x 20 dialog units at (left, top), hidden until shown.
HWND createSwatch(HWND dialog, const char* className, int left, int top) {
  RECT r = {left, top, 20, 20};  // left, top, width, height
  MapDialogRect(dialog, &r);
  return CreateWindowExA(0, className, nullptr, WS_CHILD, r.left, r.top, r.right, r.bottom, dialog,
                         nullptr, instance(), nullptr);
}

void createSwatches(HWND dialog) {
  for (int j = 0; j < kSwatchCount; ++j) {
    appState.transSwatches[j].window =
        createSwatch(dialog, "TransClass", 10 + 30 * (j % 6), 10 + 30 * (j / 6));
  }
  for (int p = 0; p < kPairCount; ++p) {
    const int top = 110 + 30 * (p / 3);
    appState.replaceSwatches[2 * p].window =
        createSwatch(dialog, "ReplClass", 10 + 60 * (p % 3), top);
    appState.replaceSwatches[2 * p + 1].window =
        createSwatch(dialog, "ReplClass", 38 + 60 * (p % 3), top);
  }
}

LRESULT swatchProc(SwatchGroup group, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      const int entry = swatchEntry(group, window);
      if (entry >= 0) {
        SetBkColor(hdc, swatchColour(group, entry));
        ExtTextOutA(hdc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &client, "", 0, nullptr);
      }
      DrawEdge(hdc, &client, swatchSelected(group, window) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      ColoursDialogView view(GetParent(window));
      clickSwatch(view, group, window);
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

INT_PTR CALLBACK coloursDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      createSwatches(dialog);
      ColoursDialogView view(dialog);
      initColoursDialog(view);
      break;
    }
    case WM_COMMAND: {
      ColoursDialogView view(dialog);
      coloursCommand(view, LOWORD(wParam));
      break;
    }
    default:
      break;
  }
  return FALSE;
}

LRESULT CALLBACK transSwatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return swatchProc(SwatchGroup::kTransparent, window, message, wParam, lParam);
}

LRESULT CALLBACK replaceSwatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return swatchProc(SwatchGroup::kReplace, window, message, wParam, lParam);
}
