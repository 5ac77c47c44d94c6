// Shared pieces of the dialog tests: scripted choosers, the real dialogs
// created modelessly from this program's resources, and readers of what the
// controls show.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/state.h"
#include "ui/win32/choosers.h"

// Answers of the choosers for the next calls.
struct ScriptedChoosers {
  static inline int openResult = 0;
  static inline std::string openBytes;
  static inline std::optional<std::string> saveAnswer;
  static inline std::deque<std::optional<uint32_t>> colours;
  static inline int openCalls = 0;
  static inline int saveCalls = 0;

  static void reset() {
    openResult = 0;
    openBytes.clear();
    saveAnswer.reset();
    colours.clear();
    openCalls = 0;
    saveCalls = 0;
  }
  static void answerSeveral(const std::string& directory, const std::vector<std::string>& names) {
    openResult = 2;
    openBytes = directory + '\0';
    for (const auto& n : names) openBytes += n + '\0';
    openBytes += '\0';
  }
  static int open(char* buffer, const char*, const char*, HWND) {
    ++openCalls;
    std::copy(openBytes.begin(), openBytes.end(), buffer);
    return openResult;
  }
  static bool save(char* buffer, const char*, const char*, HWND) {
    ++saveCalls;
    if (!saveAnswer) return false;
    std::fill(buffer, buffer + kPathCapacity, '\0');
    saveAnswer->copy(buffer, kPathCapacity - 1);
    return true;
  }
  static bool colour(HWND, uint32_t& c) {
    if (colours.empty() || !colours.front()) {
      if (!colours.empty()) colours.pop_front();
      return false;
    }
    c = *colours.front();
    colours.pop_front();
    return true;
  }
  static ChooserSeam seam() { return ChooserSeam{open, save, colour}; }
};

// Starts every test from the zero state with the window classes registered
// for this program and the settings written into a fresh directory.
std::string prepareEditorState();

// Items of a list box, in order.
std::vector<std::string> listItems(HWND list);

// The window's text.
std::string windowText(HWND window);

// A child's window rectangle in its parent's client coordinates.
RECT childRect(HWND child);

// A rectangle of dialog units (left, top, width, height) in pixels.
RECT dialogUnits(HWND dialog, int left, int top, int width, int height);

// Sends a button click or menu command the way the system does.
void sendCommand(HWND dialog, int id);

// Handles the messages waiting for this thread, for about `ms` milliseconds.
void pumpMessages(DWORD ms);

struct ModalResult {
  bool driven = false;              // `drive` ran on a dialog
  std::vector<std::string> others;  // captions of further dialogs, closed
  bool timedOut = false;            // `run` was still in a modal loop at the limit
  std::vector<std::string> stuck;   // captions of the dialogs open then
};

// Runs `drive` on the first modal dialog (class "#32770") of this thread that
// is not `except`, as soon as one shows up while `run` is inside its modal
// loop. Dialogs that show up after it are closed and reported. A modal loop
// that has not ended `limitSeconds` after the start is a failure of the test:
// the dialogs still open are closed by force and the failure names them. The
// limit is far more than any dialog of the tests needs on a busy machine, and
// far less than the test program's own.
ModalResult driveModal(HWND except, const std::function<void()>& run,
                       const std::function<void(HWND)>& drive, int limitSeconds = 60);

// The pixels of a window's client area, top row first, each 0x00RRGGBB.
std::vector<uint32_t> readClientPixels(HWND window, int width, int height);
