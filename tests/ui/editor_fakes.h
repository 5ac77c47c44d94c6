// Stand-ins for the editor's views: a list that behaves like a LISTBOX
// (unsorted, single selection) and views that record what the editor asks
// of the screen and answer the choosers from a script.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/colours.h"
#include "ui/editor.h"

class FakeList final : public ItemList {
 public:
  std::vector<std::string> items;
  int selected = -1;

  int count() override { return static_cast<int>(items.size()); }
  bool append(const char* text) override {
    items.emplace_back(text);
    return true;
  }
  bool insert(int index, const char* text) override {
    if (index == -1) index = count();
    if (index < 0 || index > count()) return false;
    items.insert(items.begin() + index, text);
    if (selected >= index) ++selected;
    return true;
  }
  void remove(int index) override {
    if (index < 0 || index >= count()) return;
    items.erase(items.begin() + index);
    if (index < selected) {
      --selected;
    } else if (index == selected) {
      selected = -1;
    }
  }
  bool text(int index, char* buffer, int capacity) override {
    if (index < 0 || index >= count()) return false;
    const std::string& s = items[static_cast<size_t>(index)];
    if (static_cast<int>(s.size()) >= capacity) return false;
    std::memcpy(buffer, s.c_str(), s.size() + 1);
    return true;
  }
  int selection() override { return selected; }
  void select(int index) override {
    if (index == -1) {
      selected = -1;
    } else if (index >= 0 && index < count()) {
      selected = index;
    }
  }
};

// What the open chooser hands back when asked.
struct OpenAnswer {
  int result = 0;
  std::string bytes;  // copied into the caller's block, zeros included

  static OpenAnswer cancel() { return {}; }
  static OpenAnswer single(const std::string& path) { return {1, path + '\0'}; }
  static OpenAnswer several(const std::string& directory, const std::vector<std::string>& names) {
    OpenAnswer a{2, directory + '\0'};
    for (const auto& n : names) a.bytes += n + '\0';
    a.bytes += '\0';
    return a;
  }
};

class FakeEditorView final : public EditorView {
 public:
  FakeList frames;
  FakeList paths;

  int refreshRequests = 0;
  int erasingInvalidations = 0;
  int plainInvalidations = 0;
  bool labelVisible = true;
  std::optional<std::string> labelText;  // nullopt: emptied with a null text
  std::map<int, bool> checkMarks;
  bool timerRunning = false;
  int timerStarts = 0;
  int timerStops = 0;
  std::vector<uint32_t> timerPeriods;
  std::string caption;
  std::optional<std::string> hotspotLabel;
  std::string timeBox;
  std::deque<Answer> threeWayAnswers;  // empty: Cancel
  int threeWayQuestions = 0;
  std::optional<std::pair<std::string, std::string>> infoAnswer;  // nullopt: Cancel
  int openCalls = 0;
  int saveCalls = 0;
  std::string lastTitle;
  std::string lastFilter;  // up to the closing double zero
  OpenAnswer openAnswer;
  std::optional<std::string> saveAnswer;
  std::vector<std::string> questions;
  bool answerYes = true;
  std::function<void()> coloursDialog;
  int coloursRuns = 0;
  int closes = 0;
  std::vector<std::string> testCursors;  // "" for the usual pointer

  ItemList& frameList() override { return frames; }
  ItemList& pathList() override { return paths; }
  void requestRefresh() override {
    ++refreshRequests;
    editorCommand(*this, kRefreshRequest);
  }
  void invalidatePreview(bool erase) override {
    ++(erase ? erasingInvalidations : plainInvalidations);
  }
  void showSizeLabel(bool visible) override { labelVisible = visible; }
  void setSizeLabelText(const char* text) override {
    labelText = text ? std::optional<std::string>(text) : std::nullopt;
  }
  void setCheckMark(int command, bool checked) override { checkMarks[command] = checked; }
  uint32_t startPlayTimer(uint32_t periodMs) override {
    timerRunning = true;
    ++timerStarts;
    timerPeriods.push_back(periodMs);
    return kPlayTimerId;
  }
  void stopPlayTimer() override {
    timerRunning = false;
    ++timerStops;
  }
  int chooseOpenFiles(char* buffer, const char* title, const char* filter) override {
    ++openCalls;
    remember(title, filter);
    std::memcpy(buffer, openAnswer.bytes.data(),
                std::min<size_t>(openAnswer.bytes.size(), kOpenBufferSize));
    return openAnswer.result;
  }
  bool chooseSaveFile(char* buffer, const char* title, const char* filter) override {
    ++saveCalls;
    remember(title, filter);
    if (!saveAnswer) return false;
    std::memset(buffer, 0, 260);
    std::memcpy(buffer, saveAnswer->c_str(), std::min<size_t>(saveAnswer->size(), 259));
    return true;
  }
  bool askYesNo(const char*, const char* question) override {
    questions.push_back(question);
    return answerYes;
  }
  Answer askYesNoCancel(const char*, const char*) override {
    ++threeWayQuestions;
    if (threeWayAnswers.empty()) return Answer::kCancel;
    const Answer a = threeWayAnswers.front();
    threeWayAnswers.pop_front();
    return a;
  }
  void setCaption(const char* text) override { caption = text; }
  void setHotspotLabel(const char* text) override {
    hotspotLabel = text ? std::optional<std::string>(text) : std::nullopt;
  }
  void setTimeText(const char* text) override { timeBox = text; }
  void timeText(char* buffer, int capacity) override {
    std::snprintf(buffer, static_cast<size_t>(capacity), "%s", timeBox.c_str());
  }
  bool editCursorInfo(char* title, char* author) override {
    if (!infoAnswer) return false;
    std::snprintf(title, 256, "%s", infoAnswer->first.c_str());
    std::snprintf(author, 256, "%s", infoAnswer->second.c_str());
    return true;
  }
  void runColoursDialog() override {
    ++coloursRuns;
    if (coloursDialog) coloursDialog();
  }
  void closeEditor() override { ++closes; }
  bool setTestCursor(const char* path) override {
    testCursors.emplace_back(path != nullptr ? path : "");
    return true;
  }

  void command(uint32_t wParam) { editorCommand(*this, wParam); }

 private:
  void remember(const char* title, const char* filter) {
    lastTitle = title;
    lastFilter.clear();
    for (const char* p = filter; *p != '\0'; p += std::strlen(p) + 1) {
      lastFilter += p;
      lastFilter += '|';
    }
  }
};

class FakeColoursView final : public ColoursView {
 public:
  std::array<bool, kSwatchCount> transShown{};
  std::array<bool, kSwatchCount> replaceShown{};
  std::array<bool, kPairCount> labelShown{};
  std::map<int, bool> enabled;
  int repaints = 0;
  // Answers of the colour chooser in order; an empty entry is a cancel.
  std::deque<std::optional<uint32_t>> colourAnswers;
  std::vector<uint32_t> chooserStarts;  // the colour each chooser opened with
  int closes = 0;

  void showSwatch(SwatchGroup group, int entry, bool visible) override {
    ASSERT_GE(entry, 0);
    ASSERT_LT(entry, kSwatchCount);
    (group == SwatchGroup::kTransparent ? transShown : replaceShown)[entry] = visible;
  }
  void repaintSwatch(SwatchGroup, int entry) override {
    ASSERT_GE(entry, 0);
    ASSERT_LT(entry, kSwatchCount);
    ++repaints;
  }
  void showPairLabel(int pair, bool visible) override {
    ASSERT_GE(pair, 0);
    ASSERT_LT(pair, kPairCount);
    labelShown[pair] = visible;
  }
  void enableButton(int id, bool on) override { enabled[id] = on; }
  bool chooseColour(uint32_t& colour) override {
    chooserStarts.push_back(colour);
    if (colourAnswers.empty()) return false;
    std::optional<uint32_t> answer = colourAnswers.front();
    colourAnswers.pop_front();
    if (!answer) return false;
    colour = *answer;
    return true;
  }
  void closeDialog() override { ++closes; }

  int shownCount(SwatchGroup group) const {
    const auto& shown = group == SwatchGroup::kTransparent ? transShown : replaceShown;
    int n = 0;
    for (bool s : shown) n += s ? 1 : 0;
    return n;
  }
};
