// The editor's speed as a user meets it, on the real main dialog: adding the
// fixture's 255 frames through the Add command (the open chooser answers at
// once with all of them), painting the preview, and one playback tick with
// the repaint it causes. Run under Wine on the win64 build:
//
//   wine build/win64/bench/kinetor_editor_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fixture.h"
#include "ui/document.h"
#include "ui/editor.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"
#include "ui/win32/window_procs.h"
#include "win32/dialog_support.h"

namespace {

double now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Median milliseconds of `rounds` runs of `step`.
template <typename Step>
double medianMs(int rounds, Step step) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = now();
    step();
    times.push_back((now() - start) * 1e3);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  const std::string dir = prepareEditorState();
  const fixture::Frames frames = fixture::writeFrames(dir);
  std::vector<std::string> names;
  for (const std::string& p : frames.paths) names.push_back(p.substr(p.find_last_of("\\/") + 1));
  ScriptedChoosers::answerSeveral(dir, names);

  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogMain),
                                   nullptr, mainDialogProc, 0);
  if (dialog == nullptr) {
    std::fprintf(stderr, "the main dialog could not be created\n");
    return 1;
  }
  ShowWindow(dialog, SW_SHOW);
  pumpMessages(100);
  HWND preview = static_cast<HWND>(appState.previewWindow);

  const double start = now();
  sendCommand(dialog, kIdAdd);
  const double addMs = (now() - start) * 1e3;
  const int added = appState.frameCount;

  // The preview loading on its own, for comparison: the same files again,
  // each replacing the preview it already has.
  const double loadStart = now();
  for (int n = 1; n <= added; ++n) loadPreview(n, frames.paths[n - 1].c_str());
  const double loadMs = (now() - loadStart) * 1e3;

  const double paintMs = medianMs(101, [&] {
    InvalidateRect(preview, nullptr, FALSE);
    UpdateWindow(preview);
  });
  const double tickMs = medianMs(101, [&] {
    SendMessageA(dialog, WM_TIMER, kPlayTimerId, 0);
    UpdateWindow(preview);
  });

  std::printf("add %d frames of %d x %d (24-bit): %.1f ms (goal < 300)\n", added, fixture::kSide,
              fixture::kSide, addMs);
  std::printf("loading the same previews again, without the dialog: %.1f ms\n", loadMs);
  std::printf(
      "one preview paint: %.3f ms, one playback tick with its repaint: %.3f ms "
      "(medians of 101; goal < 1 each)\n",
      paintMs, tickMs);
  // The frames were never meant to be kept: close without the question.
  editorDocument.changed = false;
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  DestroyWindow(dialog);
  releaseAllPreviews();
  return added == fixture::kFrames ? 0 : 1;
}
