#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor_fakes.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "support/recorder.h"
#include "ui/document.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"

namespace {

constexpr uint32_t kRed = 0x00FF0000;  // pixel order 0x00RRGGBB

class EditorTest : public testing::Test {
 protected:
  void SetUp() override {
    resetAppState();
    resetDocument();
    dir_ = makeTempDir();
    std::string programDir = dir_ + "/";
    ASSERT_LT(programDir.size(), sizeof appState.programDir);
    std::memcpy(appState.programDir, programDir.c_str(), programDir.size() + 1);
    takeShownErrors();
  }
  void TearDown() override {
    releaseAllPreviews();
    EXPECT_EQ(takeShownErrors(), std::vector<ShownError>{});
    resetAppState();
  }

  // A 24-bit frame file of one colour; its width tells the frames apart.
  std::string writeFrame(const std::string& name, int width, int height, uint32_t colour = kRed) {
    BmpLayout layout;
    layout.width = width;
    layout.height = height;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, colour);
    std::string path = dir_ + "/" + name;
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, pixels)));
    widths_[name] = width;
    return path;
  }

  // Adds the named frames (written before) in one multi-selection.
  void addFrames(const std::vector<std::string>& names) {
    view_.openAnswer = OpenAnswer::several(dir_ + "/", names);
    view_.command(kIdAdd);
  }

  // Writes frames n0, n1, ... of widths 10, 11, ... and adds them.
  std::vector<std::string> addNumberedFrames(int count) {
    std::vector<std::string> names;
    for (int k = 0; k < count; ++k) {
      names.push_back("n" + std::to_string(k) + ".bmp");
      writeFrame(names.back(), 10 + k, 5);
    }
    addFrames(names);
    return names;
  }

  // Lists, table and frameCount describe the same frames in this order.
  void expectFrames(const std::vector<std::string>& names) {
    EXPECT_EQ(view_.frames.items, names);
    ASSERT_EQ(appState.frameCount, static_cast<int>(names.size()));
    ASSERT_EQ(view_.paths.items.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(view_.paths.items[i], dir_ + "/" + names[i]);
      EXPECT_EQ(appState.frameTable[i].width, widths_[names[i]]) << "record " << i;
      EXPECT_NE(appState.frameTable[i].previewImage, nullptr) << "record " << i;
    }
    for (int i = appState.frameCount; i < kMaxEntries; ++i) {
      const FrameRecord& r = appState.frameTable[i];
      ASSERT_TRUE(r.previewImage == nullptr && r.previewMask == nullptr && r.width == 0 &&
                  r.height == 0)
          << "record " << i << " outside the list holds a preview";
    }
  }

  void expectShowing(int position) {
    const FrameRecord& r = appState.frameTable[position];
    EXPECT_EQ(appState.shownFrame.image, r.previewImage);
    EXPECT_EQ(appState.shownFrame.mask, r.previewMask);
    EXPECT_EQ(appState.shownFrame.width, r.width);
    EXPECT_EQ(appState.shownFrame.height, r.height);
  }

  void selectAndShow(int index) {
    view_.frames.select(index);
    view_.command(0x10000 | kIdFrameList);  // LBN_SELCHANGE
  }

  std::string dir_;
  std::map<std::string, int> widths_;
  FakeEditorView view_;
};

TEST_F(EditorTest, AddToAnEmptyListSelectsAndShowsTheFirstFrame) {
  struct Case {
    const char* what;
    bool single;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"one file", true, {"a.bmp"}},
      {"three files", false, {"a.bmp", "b.bmp", "c.bmp"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    int width = 32;
    for (const auto& n : c.names) writeFrame(n, width++, 20);
    if (c.single) {
      view_.openAnswer = OpenAnswer::single(dir_ + "/" + c.names[0]);
      view_.command(kIdAdd);
    } else {
      addFrames(c.names);
    }
    EXPECT_EQ(view_.openCalls, 1);
    EXPECT_EQ(view_.lastTitle, "111");
    EXPECT_EQ(view_.lastFilter, "Bitmap or PNG|*.bmp;*.png|");
    expectFrames(c.names);
    EXPECT_EQ(view_.frames.selected, 0);
    expectShowing(0);
    EXPECT_TRUE(view_.labelVisible);
    EXPECT_EQ(view_.labelText, "Size: 32 x 20");
  }
}

TEST_F(EditorTest, AddToANonEmptyListKeepsTheSelectionAndTheShownFrame) {
  addNumberedFrames(3);
  selectAndShow(1);
  writeFrame("d.bmp", 40, 4);
  writeFrame("e.bmp", 41, 4);
  addFrames({"d.bmp", "e.bmp"});
  expectFrames({"n0.bmp", "n1.bmp", "n2.bmp", "d.bmp", "e.bmp"});
  EXPECT_EQ(view_.frames.selected, 1);
  expectShowing(1);
  EXPECT_EQ(view_.labelText, "Size: 11 x 5");
}

TEST_F(EditorTest, MultiSelectionPathsGetExactlyOneBackslash) {
  struct Case {
    const char* directory;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\", "C:\\a.bmp"},
      {"C:\\frames", "C:\\frames\\a.bmp"},
      {"C:\\frames\\", "C:\\frames\\a.bmp"},
      {"\\\\server\\share", "\\\\server\\share\\a.bmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.directory);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    view_.openAnswer = OpenAnswer::several(c.directory, {"a.bmp"});
    view_.command(kIdAdd);
    // The file does not exist: the frame is added all the same, without a
    // preview, and marked.
    ASSERT_EQ(appState.frameCount, 1);
    EXPECT_EQ(view_.paths.items, std::vector<std::string>{c.expected});
    EXPECT_EQ(view_.frames.items, std::vector<std::string>{"a.bmp (file not found)"});
    EXPECT_EQ(appState.frameTable[0].previewImage, nullptr);
    EXPECT_EQ(appState.shownFrame.image, nullptr);
    EXPECT_EQ(view_.labelText, std::nullopt);
  }
}

TEST_F(EditorTest, ASingleChosenFileIsNamedByTheTextBehindItsLastSeparator) {
  struct Case {
    const char* path;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\a.bmp", "a.bmp"},
      {"C:\\dir\\sub\\frame 1.bmp", "frame 1.bmp"},
      {"plain.bmp", "plain.bmp"},
  };
  for (const auto& c : cases) {
    view_ = FakeEditorView{};
    releaseAllPreviews();
    view_.openAnswer = OpenAnswer::single(c.path);
    view_.command(kIdAdd);
    // None of them exists.
    EXPECT_EQ(view_.frames.items,
              std::vector<std::string>{std::string(c.name) + " (file not found)"})
        << c.path;
    EXPECT_EQ(view_.paths.items, std::vector<std::string>{c.path}) << c.path;
  }
}

TEST_F(EditorTest, CancelledAddChangesNothing) {
  addNumberedFrames(2);
  const int refreshes = view_.refreshRequests;
  view_.openAnswer = OpenAnswer::cancel();
  view_.command(kIdAdd);
  expectFrames({"n0.bmp", "n1.bmp"});
  EXPECT_EQ(view_.refreshRequests, refreshes);
  EXPECT_EQ(view_.frames.selected, 0);
}

TEST_F(EditorTest, AddStopsAtTheTableLimitWithOneMessage) {
  struct Case {
    int before;
    int chosen;
  };
  const Case cases[] = {{253, 5}, {255, 1}, {0, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << " + " << c.chosen);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    std::vector<std::string> names;
    for (int k = 0; k < c.before; ++k) names.push_back("old" + std::to_string(k) + ".bmp");
    if (!names.empty()) {
      view_.openAnswer = OpenAnswer::several("C:\\x", names);
      view_.command(kIdAdd);
    }
    names.clear();
    for (int k = 0; k < c.chosen; ++k) names.push_back("new" + std::to_string(k) + ".bmp");
    view_.openAnswer = OpenAnswer::several("C:\\x", names);
    view_.command(kIdAdd);
    EXPECT_EQ(appState.frameCount, 255);
    EXPECT_EQ(view_.frames.count(), 255);
    EXPECT_EQ(view_.paths.count(), 255);
    const std::string last =
        c.before == 255 ? "old254.bmp" : "new" + std::to_string(254 - c.before) + ".bmp";
    EXPECT_EQ(view_.frames.items.back(), last + " (file not found)");
    EXPECT_EQ(view_.paths.items.back(), "C:\\x\\" + last);
    EXPECT_EQ(
        takeShownErrors(),
        (std::vector<ShownError>{{"Too many frames", "An animation holds at most 255 frames."}}));
  }
}

TEST_F(EditorTest, PathsThatWouldNotFitArePassedOver) {
  const std::string longDir = "C:\\" + std::string(250, 'd');
  view_.openAnswer = OpenAnswer::several(longDir, {"a.bmp", std::string(10, 'n') + ".bmp"});
  view_.command(kIdAdd);
  // 254 + 1 + 5 characters fit 259; 254 + 1 + 14 do not.
  EXPECT_EQ(view_.frames.items, std::vector<std::string>{"a.bmp (file not found)"});
  EXPECT_EQ(view_.paths.items, std::vector<std::string>{longDir + "\\a.bmp"});

  view_.openAnswer = OpenAnswer::single("C:\\" + std::string(300, 'p') + ".bmp");
  view_.command(kIdAdd);
  EXPECT_EQ(appState.frameCount, 1);
  EXPECT_EQ(view_.paths.count(), 1);
}

TEST_F(EditorTest, DeleteKeepsListsAndTableInStepAndShowsTheNewSelection) {
  struct Case {
    const char* what;
    int frames;
    int selected;
    std::vector<std::string> left;
    int newSelection;
  };
  const Case cases[] = {
      {"the last", 3, 2, {"n0.bmp", "n1.bmp"}, 1},
      {"a middle one", 3, 1, {"n0.bmp", "n2.bmp"}, 1},
      {"the first", 3, 0, {"n1.bmp", "n2.bmp"}, 0},
      {"the only", 1, 0, {}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    addNumberedFrames(c.frames);
    selectAndShow(c.selected);
    view_.command(kIdDelete);
    expectFrames(c.left);
    EXPECT_EQ(view_.frames.selected, c.newSelection);
    if (c.newSelection >= 0) {
      expectShowing(c.newSelection);
      EXPECT_TRUE(view_.labelVisible);
      EXPECT_EQ(view_.labelText,
                "Size: " + std::to_string(widths_[c.left[c.newSelection]]) + " x 5");
    } else {
      EXPECT_EQ(appState.shownFrame.image, nullptr);
      EXPECT_EQ(appState.shownFrame.width, 0);
      EXPECT_FALSE(view_.labelVisible);
    }
  }
}

TEST_F(EditorTest, DeleteWithoutFramesDoesNothing) {
  view_.command(kIdDelete);
  EXPECT_EQ(appState.frameCount, 0);
  EXPECT_EQ(view_.refreshRequests, 0);
}

TEST_F(EditorTest, UpAndDownMoveTheSelectedFrameAndKeepItShown) {
  struct Case {
    const char* what;
    int command;
    int selected;
    std::vector<std::string> order;
    int newSelection;
  };
  const Case cases[] = {
      {"up on the first", kIdUp, 0, {"n0.bmp", "n1.bmp", "n2.bmp"}, 0},
      {"down on the last", kIdDown, 2, {"n0.bmp", "n1.bmp", "n2.bmp"}, 2},
      {"up in the middle", kIdUp, 1, {"n1.bmp", "n0.bmp", "n2.bmp"}, 0},
      {"up on the last", kIdUp, 2, {"n0.bmp", "n2.bmp", "n1.bmp"}, 1},
      {"down in the middle", kIdDown, 1, {"n0.bmp", "n2.bmp", "n1.bmp"}, 2},
      {"down on the first", kIdDown, 0, {"n1.bmp", "n0.bmp", "n2.bmp"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    addNumberedFrames(3);
    selectAndShow(c.selected);
    const ShownFrame before = appState.shownFrame;
    const std::optional<std::string> label = view_.labelText;
    view_.command(static_cast<uint32_t>(c.command));
    expectFrames(c.order);
    EXPECT_EQ(view_.frames.selected, c.newSelection);
    // The shown frame is the moved one; its preview moved with its record.
    EXPECT_EQ(appState.shownFrame.image, before.image);
    expectShowing(c.newSelection);
    EXPECT_EQ(view_.labelText, label);
  }
}

TEST_F(EditorTest, NewEmptiesEverythingButLeavesTheLabelVisible) {
  addNumberedFrames(3);
  view_.threeWayAnswers = {Answer::kNo};
  view_.command(kCmdNew);
  expectFrames({});
  EXPECT_EQ(view_.frames.selected, -1);
  EXPECT_EQ(appState.shownFrame.image, nullptr);
  EXPECT_EQ(appState.shownFrame.height, 0);
  EXPECT_EQ(view_.labelText, std::nullopt);
  EXPECT_TRUE(view_.labelVisible);
  // A new list starts over: the next Add selects and shows its first frame.
  addNumberedFrames(1);
  EXPECT_EQ(view_.frames.selected, 0);
  expectShowing(0);
}

TEST_F(EditorTest, PlayShowsTheFramesInOrderAndWraps) {
  addNumberedFrames(3);
  selectAndShow(1);
  view_.command(kCmdPlay);
  EXPECT_TRUE(view_.timerRunning);
  EXPECT_EQ(appState.playTimer, kPlayTimerId);
  const int expected[] = {0, 1, 2, 0, 1};
  for (int position : expected) {
    playTick(view_);
    expectShowing(position);
  }
  // The ticks touch neither the selection nor the label.
  EXPECT_EQ(view_.frames.selected, 1);
  EXPECT_EQ(view_.labelText, "Size: 11 x 5");

  // Play while playing starts again from the first frame.
  view_.command(kCmdPlay);
  playTick(view_);
  expectShowing(0);

  view_.command(kCmdStop);
  EXPECT_FALSE(view_.timerRunning);
  EXPECT_EQ(appState.playTimer, 0u);
  expectShowing(1);
}

TEST_F(EditorTest, PlayShowsEachStepForTheTimeTheFileGivesIt) {
  addNumberedFrames(3);
  selectAndShow(1);
  view_.timeBox = " 50 ";
  view_.command(kIdTimeSet);
  EXPECT_EQ(view_.timeBox, "50");
  view_.timeBox = "0";
  view_.command(kIdTimeSet);
  EXPECT_EQ(takeShownErrors().size(), 1u);
  EXPECT_EQ(view_.timeBox, "50");
  view_.command(kCmdPlay);
  for (int tick = 0; tick < 4; ++tick) playTick(view_);
  // 10 jiffies by default, 3 for the frame set to 50 ms.
  EXPECT_EQ(view_.timerPeriods, (std::vector<uint32_t>{167, 167, 50, 167, 167}));
}

TEST_F(EditorTest, OpenedScriptsResolveTheirFramesAndRefuseWhatTheListCannotShow) {
  writeFrame("a.bmp", 10, 5);
  writeFrame("b.bmp", 11, 5);
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> frames;  // empty: refused
    std::vector<uint32_t> rates;
    std::string note;  // shown in the caption
  };
  const Case cases[] = {
      {"relative and absolute frames, rates in ms",
       "[Result]\r\nout.anim\r\n[BMP]\r\na.bmp\r\n" + dir_ + "/b.bmp\r\n[Rate]\r\n100ms\r\n",
       {"a.bmp", "b.bmp"},
       {6, 6},
       ""},
      {"one rate per frame",
       "[BMP]\r\nb.bmp\r\na.bmp\r\n[Rate]\r\n2\r\n7\r\n",
       {"b.bmp", "a.bmp"},
       {2, 7},
       ""},
      {"no frames", "[Result]\r\nout.anim\r\n", {}, {}, ""},
      // Kept as read; each frame shows the rate of its first step.
      {"a sequence",
       "[BMP]\r\na.bmp\r\nb.bmp\r\n[Rate]\r\n4\r\n5\r\n6\r\n[Sequence]\r\n2\r\n1\r\n2\r\n",
       {"a.bmp", "b.bmp"},
       {5, 4},
       " (3 steps in the script's own order)"},
      {"a bad line", "[BMP]\r\na.bmp\r\n[Hotspot]\r\nx\r\n", {}, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    resetDocument();
    const std::string script = dir_ + "/s.txt";
    ASSERT_TRUE(writeFileBytes(script, c.text));
    view_.openAnswer = OpenAnswer::single(script);
    view_.command(kCmdOpenScript);
    EXPECT_EQ(takeShownErrors().size(), c.frames.empty() ? 1u : 0u);
    EXPECT_EQ(view_.frames.items, c.frames);
    for (size_t i = 0; i < c.rates.size(); ++i) {
      EXPECT_EQ(appState.frameTable[i].rate, c.rates[i]);
    }
    if (!c.frames.empty()) {
      EXPECT_EQ(view_.paths.items[0], dir_ + "/" + c.frames[0]);
      EXPECT_EQ(view_.caption, "s.txt" + c.note + " - Kinetor for Velmar");
      // Play shows the file's steps, each for its own time.
      view_.command(kCmdPlay);
      std::vector<int32_t> shownWidths;
      for (int tick = 0; tick < 4; ++tick) {
        playTick(view_);
        shownWidths.push_back(appState.shownFrame.width);
      }
      // a.bmp is 10 pixels wide, b.bmp 11.
      auto width = [](const std::string& name) { return name == "a.bmp" ? 10 : 11; };
      if (c.note.empty()) {
        const int32_t first = width(c.frames[0]), second = width(c.frames[1]);
        EXPECT_EQ(shownWidths, (std::vector<int32_t>{first, second, first, second}));
      } else {
        EXPECT_EQ(shownWidths, (std::vector<int32_t>{11, 10, 11, 11}));
        EXPECT_EQ(view_.timerPeriods, (std::vector<uint32_t>{67, 67, 83, 100, 67}));
      }
      view_.command(kCmdStop);
    }
  }
}

// A static cursor shows no steps and holds no texts: its saved script leaves
// out the timing and texts an animation would keep, so that the batch takes it.
TEST_F(EditorTest, SavedScriptOfAStaticCursorKeepsOnlyWhatItCanHold) {
  writeFrame("a.bmp", 10, 5);
  const std::string script = dir_ + "/still.txt";
  ASSERT_TRUE(writeFileBytes(script,
                             "[Result]\r\nstill.cur\r\n[BMP]\r\na.bmp\r\n[Hotspot]\r\n"
                             "2,3\r\n[Title]\r\nStill\r\n[Sizes]\r\n32\r\n"));
  view_.openAnswer = OpenAnswer::single(script);
  view_.command(kCmdOpenScript);
  selectAndShow(0);
  view_.timeBox = "50";
  view_.command(kIdTimeSet);
  view_.saveAnswer = script;
  view_.command(kCmdSaveScript);
  EXPECT_TRUE(takeShownErrors().empty());
  EXPECT_EQ(readFileBytes(script),
            "[Result]\r\nstill.cur\r\n[BMP]\r\na.bmp\r\n[Hotspot]\r\n2,3\r\n"
            "[Sizes]\r\n32\r\n[TransColors]\r\n");
}

TEST_F(EditorTest, PlayWithNoFramesShowsNothingOnEveryTick) {
  view_.command(kCmdPlay);
  for (int tick = 0; tick < 3; ++tick) {
    playTick(view_);
    EXPECT_EQ(appState.shownFrame.image, nullptr);
    EXPECT_EQ(appState.shownFrame.width, 0);
    EXPECT_EQ(appState.playIndex, 1);
  }
  EXPECT_GE(view_.erasingInvalidations, 3);
}

TEST_F(EditorTest, EveryCommandButPlayAndTheSwitchesStopsPlay) {
  struct Case {
    const char* what;
    uint32_t command;
    bool stops;
  };
  const Case cases[] = {
      {"Add", kIdAdd, true},     {"Delete", kIdDelete, true},  {"Up", kIdUp, true},
      {"Down", kIdDown, true},   {"Stop", kCmdStop, true},     {"Colors...", kCmdColours, true},
      {"New", kCmdNew, true},    {"Save", kCmdSave, true},     {"Exit", kIdCancel, true},
      {"Play", kCmdPlay, false}, {"selection", 0x10315, true}, {"unknown id", 999, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    addNumberedFrames(3);
    selectAndShow(1);
    view_.command(kCmdPlay);
    view_.command(c.command);
    EXPECT_EQ(view_.timerRunning, !c.stops);
    EXPECT_EQ(appState.playTimer == 0, c.stops);
  }
}

TEST_F(EditorTest, ExitAsksBeforeUnsavedWorkGoesAndOkNeverEnds) {
  struct Case {
    const char* what;
    bool changed;
    uint32_t command;
    std::vector<Answer> answers;
    std::optional<std::string> scriptName;  // what the save chooser answers
    int questions;
    int closes;
    bool scriptWritten;
  };
  const Case cases[] = {
      {"Enter", true, kIdOk, {}, {}, 0, 0, false},
      {"nothing changed", false, kIdCancel, {}, {}, 0, 1, false},
      {"No discards", true, kIdCancel, {Answer::kNo}, {}, 1, 1, false},
      {"Cancel stays", true, kIdCancel, {Answer::kCancel}, {}, 1, 0, false},
      {"Yes, chooser cancelled", true, kIdCancel, {Answer::kYes}, {}, 1, 0, false},
      {"Yes saves, then ends", true, kIdCancel, {Answer::kYes}, "work", 1, 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    view_ = FakeEditorView{};
    releaseAllPreviews();
    resetDocument();
    if (c.changed) addNumberedFrames(2);
    view_.threeWayAnswers.assign(c.answers.begin(), c.answers.end());
    const std::string script = dir_ + "/work.txt";
    if (c.scriptName) view_.saveAnswer = dir_ + "/" + *c.scriptName;
    std::remove(script.c_str());
    view_.command(c.command);
    EXPECT_EQ(view_.threeWayQuestions, c.questions);
    EXPECT_EQ(view_.closes, c.closes);
    EXPECT_EQ(fileExists(script), c.scriptWritten);
    if (c.scriptWritten) {
      EXPECT_EQ(readFileBytes(script),
                "[Result]\r\nwork.anim\r\n[BMP]\r\nn0.bmp\r\nn1.bmp\r\n[TransColors]\r\n");
      EXPECT_EQ(view_.caption, "work.txt - Kinetor for Velmar");
    }
  }
}

TEST_F(EditorTest, OptionSwitchesFlipTheirCheckMarkAndRewriteTheSettings) {
  struct Case {
    int command;
    uint8_t AppState::*option;
    const char* section;
  };
  const Case cases[] = {
      {kCmdTransparent, &AppState::optTransparent, "[Trans]"},
      {kCmdReplace, &AppState::optReplace, "[Rpl]"},
      {kCmdMerge, &AppState::optMerge, "[Fix]"},
      {kCmdOptimize, &AppState::optOptimize, "[Resize]"},
  };
  addNumberedFrames(2);
  const std::string settings = dir_ + "/kinetor.ini";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    for (uint8_t expected : {uint8_t{1}, uint8_t{0}}) {
      view_.command(kCmdPlay);
      view_.command(static_cast<uint32_t>(c.command));
      EXPECT_EQ(appState.*c.option, expected);
      EXPECT_EQ(view_.checkMarks[c.command], expected == 1);
      const std::string text = readFileBytes(settings);
      EXPECT_EQ(text.find(c.section) != std::string::npos, expected == 1) << text;
      // The refresh request stops play, since a frame is selected.
      EXPECT_FALSE(view_.timerRunning);
      expectShowing(0);
    }
  }
}

TEST_F(EditorTest, InitSetsTheCheckMarksFromTheSwitches) {
  appState.optTransparent = 1;
  appState.optMerge = 1;
  initEditor(view_);
  EXPECT_EQ(view_.checkMarks, (std::map<int, bool>{{kCmdTransparent, true},
                                                   {kCmdReplace, false},
                                                   {kCmdMerge, true},
                                                   {kCmdOptimize, false},
                                                   {kCmdSize32, false},
                                                   {kCmdSize48, false},
                                                   {kCmdSize64, false},
                                                   {kCmdSize96, false},
                                                   {kCmdSize128, false}}));
}

TEST_F(EditorTest, TogglingTransparencyRebuildsTheMasksOfAllFrames) {
  writeFrame("red.bmp", 8, 8, kRed);
  writeFrame("blue.bmp", 9, 9, 0x000000FF);
  addFrames({"red.bmp", "blue.bmp"});
  appState.transColors[0] = 0x000000FF;  // COLORREF red
  appState.transCount = 1;

  view_.command(kCmdTransparent);
  expectFrames({"red.bmp", "blue.bmp"});
  expectShowing(0);
  const FrameRecord& red = appState.frameTable[0];
  for (int p = 0; p < 64; ++p) {
    ASSERT_EQ(red.previewMask[p], 1) << p;
    ASSERT_EQ(red.previewImage[p], 0u) << p;
  }
  EXPECT_EQ(appState.frameTable[1].previewMask[0], 0);
  EXPECT_EQ(appState.frameTable[1].previewImage[0], 0x000000FFu);

  view_.command(kCmdTransparent);
  expectShowing(0);
  EXPECT_EQ(appState.frameTable[0].previewMask[0], 0);
  EXPECT_EQ(appState.frameTable[0].previewImage[0], kRed);
}

TEST_F(EditorTest, TogglingReplaceOrOptimizeLeavesThePreviewAlone) {
  addNumberedFrames(2);
  const uint32_t* image = appState.frameTable[0].previewImage;
  for (uint32_t command : {uint32_t{kCmdReplace}, uint32_t{kCmdOptimize}}) {
    view_.command(command);
    EXPECT_EQ(appState.frameTable[0].previewImage, image);
    expectShowing(0);
  }
}

TEST_F(EditorTest, ClosingTheColoursDialogSavesAndReloadsThePreviews) {
  writeFrame("red.bmp", 8, 8, kRed);
  addFrames({"red.bmp"});
  appState.optTransparent = 1;
  view_.coloursDialog = [] {
    appState.transColors[0] = 0x000000FF;
    appState.transCount = 1;
  };
  view_.command(kCmdColours);
  EXPECT_EQ(view_.coloursRuns, 1);
  EXPECT_EQ(readFileBytes(dir_ + "/kinetor.ini"), "[Trans]\r\n[TransColors]\r\nFF\r\n");
  expectShowing(0);
  EXPECT_EQ(appState.shownFrame.mask[0], 1);
  EXPECT_EQ(appState.shownFrame.image[0], 0u);
}

TEST_F(EditorTest, SizeLabelTellsTheShownFrameOrEmpties) {
  writeFrame("big.bmp", 32, 32);
  view_.openAnswer = OpenAnswer::several(dir_ + "/", {"big.bmp", "missing.bmp"});
  view_.command(kIdAdd);
  EXPECT_EQ(view_.labelText, "Size: 32 x 32");
  selectAndShow(1);
  EXPECT_EQ(view_.labelText, std::nullopt);
  EXPECT_EQ(appState.shownFrame.image, nullptr);
}

TEST_F(EditorTest, SaveWithoutFramesOpensNoChooser) {
  view_.saveAnswer = dir_ + "/out";
  view_.command(kCmdSave);
  EXPECT_EQ(view_.saveCalls, 0);
}

TEST_F(EditorTest, SaveNamesTheOutputByTheAnimRules) {
  struct Case {
    const char* chosen;
    const char* written;  // null: nothing is written
  };
  const Case cases[] = {
      {"out.anim", "out.anim"}, {"OUT2.ANIM", "OUT2.ANIM"}, {"out3.bmp", "out3.bmp.anim"},
      {"out4", "out4.anim"},    {"x.Anim", "x.Anim"},
  };
  writeFrame("a.bmp", 8, 8);
  writeFrame("b.bmp", 8, 8, 0x0000FF00);
  addFrames({"a.bmp", "b.bmp"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen);
    view_.saveAnswer = dir_ + "/" + c.chosen;
    view_.command(kCmdSave);
    EXPECT_EQ(view_.lastTitle, "Save Anim file");
    EXPECT_EQ(view_.lastFilter, "Animanion-file|*.anim|");
    const std::string bytes = readFileBytes(dir_ + "/" + c.written);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "ACON");
    // The build's per-frame blocks, paths included, are released again.
    for (int i = 0; i < appState.frameCount; ++i) {
      EXPECT_EQ(appState.frameTable[i].path, nullptr);
      EXPECT_EQ(appState.frameTable[i].fileData, nullptr);
    }
  }
}

TEST_F(EditorTest, SaveRefusesNamesTooShortSilentlyAndTooLongWithAMessage) {
  addNumberedFrames(1);
  for (const char* shortName : {"", "a", "abc"}) {
    view_.saveAnswer = shortName;
    view_.command(kCmdSave);
  }
  EXPECT_EQ(takeShownErrors(), std::vector<ShownError>{});
  const std::string longName = dir_ + "/" + std::string(255 - dir_.size(), 'n');
  ASSERT_EQ(longName.size(), 256u);
  view_.saveAnswer = longName;
  view_.command(kCmdSave);
  EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't write file", longName}}));
  EXPECT_FALSE(fileExists(longName + ".anim"));
}

TEST_F(EditorTest, CancelledSaveWritesNothing) {
  addNumberedFrames(1);
  view_.saveAnswer.reset();
  view_.command(kCmdSave);
  EXPECT_EQ(view_.saveCalls, 1);
  EXPECT_EQ(appState.frameTable[0].path, nullptr);
}

TEST_F(EditorTest, AnyNotificationCodeOneIsTheRefreshRequest) {
  addNumberedFrames(3);
  for (uint32_t wParam : {uint32_t{0x10000}, uint32_t{0x10315}, uint32_t{0x10064}}) {
    view_.frames.select(2);
    appState.shownFrame = ShownFrame{};
    view_.command(wParam);
    expectShowing(2);
  }
}

}  // namespace
