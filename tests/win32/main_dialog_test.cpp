#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ui/state.h"
#include "dialog_support.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "support/recorder.h"
#include "ui/compose.h"
#include "ui/editor.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/shell.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/window_procs.h"

namespace {

class MainDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = prepareEditorState();
    takeShownErrors();
  }
  void TearDown() override {
    if (dialog_ != nullptr) {
      SendMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
      DestroyWindow(dialog_);
    }
    releaseAllPreviews();
    EXPECT_EQ(takeShownErrors(), std::vector<ShownError>{});
    resetAppState();
  }

  void openDialog() {
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogMain), nullptr,
                                 mainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
  }

  HWND frameList() const { return GetDlgItem(dialog_, kIdFrameList); }
  HWND pathList() const { return GetDlgItem(dialog_, kIdPathList); }

  // A 24-bit frame of one colour, with a transparent-coloured corner.
  std::string writeFrame(const std::string& name, int width, int height, uint32_t colour) {
    BmpLayout layout;
    layout.width = width;
    layout.height = height;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, colour);
    for (int y = 0; y < height / 3; ++y) {
      for (int x = 0; x < width / 3; ++x) pixels[static_cast<size_t>(y) * width + x] = 0x00FF00FF;
    }
    std::string path = dir_ + "\\" + name;
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, pixels)));
    widths_[name] = width;
    return path;
  }

  void addFrames(const std::vector<std::string>& names) {
    ScriptedChoosers::answerSeveral(dir_, names);
    sendCommand(dialog_, kIdAdd);
  }

  // Both list boxes, the table and frameCount hold these frames in order.
  void expectFrames(const std::vector<std::string>& names) {
    EXPECT_EQ(listItems(frameList()), names);
    std::vector<std::string> paths;
    for (const auto& n : names) paths.push_back(dir_ + "\\" + n);
    EXPECT_EQ(listItems(pathList()), paths);
    ASSERT_EQ(appState.frameCount, static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(appState.frameTable[i].width, widths_[names[i]]) << "record " << i;
    }
  }

  int selection() const { return static_cast<int>(SendMessageA(frameList(), LB_GETCURSEL, 0, 0)); }

  void select(int index) {
    SendMessageA(frameList(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kIdFrameList, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(frameList()));
  }

  void expectShowing(int position) {
    EXPECT_EQ(appState.shownFrame.image, appState.frameTable[position].previewImage);
    EXPECT_EQ(appState.shownFrame.width, appState.frameTable[position].width);
  }

  std::string dir_;
  std::map<std::string, int> widths_;
  HWND dialog_ = nullptr;
};

TEST_F(MainDialogTest, InitDialogCreatesTheChildrenAtTheirPlaces) {
  appState.optTransparent = 1;
  appState.optOptimize = 1;
  ASSERT_NO_FATAL_FAILURE(openDialog());
  EXPECT_EQ(windowText(dialog_), "Kinetor for Velmar");
  EXPECT_NE(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(appState.backBufferDC, nullptr);

  struct Control {
    int id;
    const char* className;
    const char* text;
    int left, top, width, height;
  };
  const Control controls[] = {
      {kIdAdd, "Button", "Add", 16, 212, 50, 14},  {kIdDelete, "Button", "Delete", 76, 212, 50, 14},
      {kIdUp, "Button", "Up", 140, 76, 33, 14},    {kIdDown, "Button", "Down", 140, 116, 33, 14},
      {kIdSizeLabel, "Static", "", 200, 8, 96, 8}, {kIdFrameList, "ListBox", "", 4, 2, 130, 205},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.id);
    HWND control = GetDlgItem(dialog_, c.id);
    ASSERT_NE(control, nullptr);
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_EQ(lstrcmpiA(className, c.className), 0) << className;
    EXPECT_EQ(windowText(control), c.text);
    EXPECT_TRUE(IsWindowVisible(control));
    const RECT expected = dialogUnits(dialog_, c.left, c.top, c.width, c.height);
    const RECT actual = childRect(control);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    if (c.id == kIdFrameList) {
      // Without LBS_NOINTEGRALHEIGHT the list box trims itself to whole items.
      const auto item = static_cast<int>(SendMessageA(control, LB_GETITEMHEIGHT, 0, 0));
      EXPECT_LE(actual.bottom, expected.bottom);
      EXPECT_GT(actual.bottom, expected.bottom - item);
    } else {
      EXPECT_EQ(actual.bottom, expected.bottom);
    }
  }

  EXPECT_EQ(frameList(), appState.frameList);
  const LONG style = GetWindowLongA(frameList(), GWL_STYLE);
  // The list box itself shows and hides its scroll bars.
  EXPECT_EQ(style & ~(WS_VSCROLL | WS_HSCROLL), 0x50B10041 & ~(WS_VSCROLL | WS_HSCROLL));
  EXPECT_NE(GetWindowLongA(frameList(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(style & LBS_SORT, 0);

  EXPECT_EQ(pathList(), appState.pathList);
  EXPECT_FALSE(IsWindowVisible(pathList()));
  const RECT hidden = childRect(pathList());
  EXPECT_EQ(hidden.right - hidden.left, 0);
  EXPECT_EQ(hidden.bottom - hidden.top, 0);

  HWND preview = static_cast<HWND>(appState.previewWindow);
  char className[32] = {};
  GetClassNameA(preview, className, sizeof className);
  EXPECT_STREQ(className, "PrwClass");
  EXPECT_EQ(GetParent(preview), dialog_);
  RECT strip = {180, 16, 210, 0};
  MapDialogRect(dialog_, &strip);
  const RECT placed = childRect(preview);
  EXPECT_EQ(placed.left, strip.left + strip.right / 2 - 128);
  EXPECT_EQ(placed.top, strip.top);
  EXPECT_EQ(placed.right - placed.left, 256);
  EXPECT_EQ(placed.bottom - placed.top, 256);

  HMENU menu = GetMenu(dialog_);
  EXPECT_EQ(menu, appState.mainMenu);
  struct Item {
    int id;
    const char* text;
    bool checked;
  };
  const Item items[] = {
      {kCmdNew, "New", false},
      {kCmdSave, "Save anim file", false},
      {kIdCancel, "Exit", false},
      {kCmdPlay, "Play", false},
      {kCmdStop, "Stop", false},
      {kCmdColours, "Colors...", false},
      {kCmdReplace, "Replace color(s)", false},
      {kCmdTransparent, "Transparent color(s)", true},
      {kCmdMerge, "Merge with 1st frame", false},
      {kCmdOptimize, "Optimize image size", true},
  };
  for (const auto& item : items) {
    char text[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(item.id), text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, item.text);
    EXPECT_EQ((GetMenuState(menu, static_cast<UINT>(item.id), MF_BYCOMMAND) & MF_CHECKED) != 0,
              item.checked)
        << item.text;
  }
  const char* popups[] = {"File", "Actions", "Options"};
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  for (int k = 0; k < 3; ++k) {
    char text[32] = {};
    GetMenuStringA(menu, static_cast<UINT>(k), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, popups[k]);
  }
}

TEST_F(MainDialogTest, AddThroughTheChooserFillsBothListBoxes) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("a.bmp", 32, 20, 0x00FF0000);
  writeFrame("b.bmp", 33, 20, 0x0000FF00);
  writeFrame("c.bmp", 34, 20, 0x000000FF);
  addFrames({"a.bmp", "b.bmp", "c.bmp"});
  EXPECT_EQ(ScriptedChoosers::openCalls, 1);
  expectFrames({"a.bmp", "b.bmp", "c.bmp"});
  EXPECT_EQ(selection(), 0);
  expectShowing(0);
  HWND label = GetDlgItem(dialog_, kIdSizeLabel);
  EXPECT_TRUE(IsWindowVisible(label));
  EXPECT_EQ(windowText(label), "Size: 32 x 20");
  // The list holds back its drawing while frames are added, and draws them
  // once they are in.
  RECT client{};
  GetClientRect(frameList(), &client);
  pumpMessages(50);
  const std::vector<uint32_t> pixels = readClientPixels(frameList(), client.right, client.bottom);
  EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels[0]),
            static_cast<std::ptrdiff_t>(pixels.size()))
      << "the frame list shows no item";
  // A single file picked alone.
  ScriptedChoosers::openResult = 1;
  ScriptedChoosers::openBytes = writeFrame("d.bmp", 35, 20, 0) + '\0';
  sendCommand(dialog_, kIdAdd);
  expectFrames({"a.bmp", "b.bmp", "c.bmp", "d.bmp"});
  EXPECT_EQ(selection(), 0);
}

TEST_F(MainDialogTest, DeleteUpAndDownKeepListBoxesTableAndSelectionInStep) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  for (int k = 0; k < 4; ++k) writeFrame("f" + std::to_string(k) + ".bmp", 10 + k, 6, 0x00123456);
  addFrames({"f0.bmp", "f1.bmp", "f2.bmp", "f3.bmp"});
  struct Step {
    const char* what;
    int select;  // -1: keep
    int command;
    std::vector<std::string> order;
    int selection;
  };
  const Step steps[] = {
      {"down the first", 0, kIdDown, {"f1.bmp", "f0.bmp", "f2.bmp", "f3.bmp"}, 1},
      {"down again", -1, kIdDown, {"f1.bmp", "f2.bmp", "f0.bmp", "f3.bmp"}, 2},
      {"down the last: nothing", 3, kIdDown, {"f1.bmp", "f2.bmp", "f0.bmp", "f3.bmp"}, 3},
      {"up the last", -1, kIdUp, {"f1.bmp", "f2.bmp", "f3.bmp", "f0.bmp"}, 2},
      {"up again", -1, kIdUp, {"f1.bmp", "f3.bmp", "f2.bmp", "f0.bmp"}, 1},
      {"up the first: nothing", 0, kIdUp, {"f1.bmp", "f3.bmp", "f2.bmp", "f0.bmp"}, 0},
      {"delete a middle one", 1, kIdDelete, {"f1.bmp", "f2.bmp", "f0.bmp"}, 1},
      {"delete the last", 2, kIdDelete, {"f1.bmp", "f2.bmp"}, 1},
      {"delete the first", 0, kIdDelete, {"f2.bmp"}, 0},
      {"delete the only", -1, kIdDelete, {}, -1},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.select >= 0) select(s.select);
    sendCommand(dialog_, s.command);
    expectFrames(s.order);
    EXPECT_EQ(selection(), s.selection);
    if (s.selection >= 0) {
      expectShowing(s.selection);
    } else {
      EXPECT_EQ(appState.shownFrame.image, nullptr);
      EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_, kIdSizeLabel)));
    }
  }
}

TEST_F(MainDialogTest, OptionItemsToggleTheirCheckMarksAndRewriteTheSettings) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  struct Case {
    int id;
    uint8_t AppState::*option;
    const char* section;
  };
  const Case cases[] = {
      {kCmdTransparent, &AppState::optTransparent, "[Trans]"},
      {kCmdReplace, &AppState::optReplace, "[Rpl]"},
      {kCmdMerge, &AppState::optMerge, "[Fix]"},
      {kCmdOptimize, &AppState::optOptimize, "[Resize]"},
  };
  const std::string settings = dir_ + "\\kinetor.ini";
  HMENU menu = GetMenu(dialog_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    for (uint8_t expected : {uint8_t{1}, uint8_t{0}}) {
      sendCommand(dialog_, c.id);
      EXPECT_EQ(appState.*c.option, expected);
      EXPECT_EQ((GetMenuState(menu, static_cast<UINT>(c.id), MF_BYCOMMAND) & MF_CHECKED) != 0,
                expected == 1);
      ASSERT_TRUE(fileExists(settings));
      EXPECT_EQ(readFileBytes(settings).find(c.section) != std::string::npos, expected == 1);
    }
  }
}

// An independent reader of the written file: the RIFF chunks and the frame
// count in the header.
struct AniSummary {
  bool wellFormed = false;
  uint32_t headerFrames = 0;
  int iconChunks = 0;
};

AniSummary readAni(const std::string& b) {
  AniSummary s;
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "ACON") != 0) return s;
  if (le32(b, 4) != b.size() - 8) return s;
  size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::string id = b.substr(at, 4);
    const uint32_t size = le32(b, at + 4);
    if (at + 8 + size > b.size()) return s;
    if (id == "anih" && size >= 8) s.headerFrames = le32(b, at + 12);
    if (id == "LIST" && size >= 4 && b.compare(at + 8, 4, "fram") == 0) {
      size_t in = at + 12;
      while (in + 8 <= at + 8 + size) {
        if (b.compare(in, 4, "icon") == 0) ++s.iconChunks;
        in += 8 + ((le32(b, in + 4) + 1) & ~1u);
      }
    }
    at += 8 + ((size + 1) & ~1u);
  }
  s.wellFormed = at == b.size();
  return s;
}

TEST_F(MainDialogTest, SaveThroughTheChooserWritesAFileThatParsesBack) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("a.bmp", 32, 32, 0x00FF0000);
  writeFrame("b.bmp", 32, 32, 0x0000FF00);
  writeFrame("c.bmp", 32, 32, 0x000000FF);
  addFrames({"a.bmp", "b.bmp", "c.bmp"});
  ScriptedChoosers::saveAnswer = dir_ + "\\busy";
  sendCommand(dialog_, kCmdSave);
  EXPECT_EQ(ScriptedChoosers::saveCalls, 1);
  const std::string path = dir_ + "\\busy.anim";
  const AniSummary ani = readAni(readFileBytes(path));
  EXPECT_TRUE(ani.wellFormed);
  EXPECT_EQ(ani.headerFrames, 3u);
  EXPECT_EQ(ani.iconChunks, 3);
  // The system's own cursor loader takes it.
  HANDLE cursor = LoadImageA(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
  EXPECT_NE(cursor, nullptr);
  if (cursor != nullptr) DestroyCursor(static_cast<HCURSOR>(cursor));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(appState.frameTable[i].path, nullptr);
}

TEST_F(MainDialogTest, SavingOverAFileTheChooserDidNotNameAsksFirst) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("a.bmp", 8, 8, 0x00FF0000);
  writeFrame("b.bmp", 8, 8, 0x0000FF00);
  addFrames({"a.bmp", "b.bmp"});
  const std::string busy = dir_ + "\\busy.anim";
  struct Case {
    const char* what;
    std::string typed;
    int answer;  // the button pressed in the question box; 0: no box expected
    bool written;
  };
  const Case cases[] = {
      {"appended name exists, No keeps it", dir_ + "\\busy", IDNO, false},
      {"appended name exists, Yes replaces it", dir_ + "\\busy", IDYES, true},
      {"the chooser itself asked about the full name", busy, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeFileBytes(busy, "old cursor"));
    ScriptedChoosers::saveAnswer = c.typed;
    std::string caption, text;
    const ModalResult modal = driveModal(
        dialog_, [&] { sendCommand(dialog_, kCmdSave); },
        [&](HWND box) {
          caption = windowText(box);
          text = windowText(GetDlgItem(box, 0xFFFF));  // the box's message
          SendMessageA(box, WM_COMMAND, c.answer, 0);
        });
    EXPECT_EQ(modal.driven, c.answer != 0);
    EXPECT_EQ(modal.others, std::vector<std::string>{});
    if (c.answer != 0) {
      EXPECT_EQ(caption, "Save Anim file");
      EXPECT_EQ(text, busy + " already exists. Do you want to replace it?");
    }
    const std::string bytes = readFileBytes(busy);
    EXPECT_EQ(bytes.substr(0, 4) == "RIFF", c.written) << bytes.substr(0, 12);
  }
}

TEST_F(MainDialogTest, SaveIntoAMissingFolderShowsTheBuildsMessage) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("a.bmp", 8, 8, 0x00FF0000);
  addFrames({"a.bmp"});
  ScriptedChoosers::saveAnswer = dir_ + "\\missing\\out.anim";
  sendCommand(dialog_, kCmdSave);
  EXPECT_EQ(takeShownErrors(),
            (std::vector<ShownError>{{"Can't write file", dir_ + "\\missing\\out.anim"}}));
  EXPECT_EQ(listItems(frameList()), std::vector<std::string>{"a.bmp"});
}

TEST_F(MainDialogTest, PreviewWindowShowsTheComposedSurface) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("big.bmp", 40, 30, 0x00FF0000);
  writeFrame("tall.bmp", 20, 60, 0x000000FF);
  writeFrame("huge.bmp", 300, 300, 0x0000FF00);
  addFrames({"big.bmp", "tall.bmp", "huge.bmp"});
  appState.transColors[0] = 0x00FF00FF;
  appState.transCount = 1;
  struct Case {
    const char* what;
    int toggle;  // a menu command sent first, or 0
    int select;
  };
  const Case cases[] = {
      {"first frame", 0, 0},
      {"transparent corner", kCmdTransparent, 0},
      {"second frame over the first", kCmdMerge, 1},
      {"cut off at the edges", 0, 2},
      {"nothing shown", kCmdNew, -1},
  };
  HWND preview = static_cast<HWND>(appState.previewWindow);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.toggle != 0) sendCommand(dialog_, c.toggle);
    if (c.select >= 0) select(c.select);
    UpdateWindow(preview);
    std::vector<uint32_t> expected(kPreviewSize * kPreviewSize);
    composePreview(expected.data(), systemPreviewColours());
    const std::vector<uint32_t> shown = readClientPixels(preview, kPreviewSize, kPreviewSize);
    int wrong = 0;
    for (size_t p = 0; p < shown.size(); ++p) wrong += shown[p] != expected[p] ? 1 : 0;
    EXPECT_EQ(wrong, 0);
    // Something besides the face colour is on the screen exactly when a frame
    // is shown, so the comparison above is not between two empty squares.
    const uint32_t face = systemPreviewColours().face;
    const bool drawn = std::count(shown.begin(), shown.end(), face) < kPreviewSize * kPreviewSize;
    EXPECT_EQ(drawn, c.select >= 0);
  }
}

TEST_F(MainDialogTest, TheSunkenEdgeMatchesTheSystemsOwn) {
  const PreviewColours colours = systemPreviewColours();
  struct Case {
    int right, bottom;
  };
  const Case cases[] = {{36, 36}, {36, 52}, {5, 5}, {260, 100}, {304, 304}};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = createTopDownDib(screen, kPreviewSize, kPreviewSize, &bits);
  HGDIOBJ old = SelectObject(memory, bitmap);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.right << " x " << c.bottom);
    RECT all = {0, 0, kPreviewSize, kPreviewSize};
    FillRect(memory, &all, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = {0, 0, c.right, c.bottom};
    DrawEdge(memory, &edge, EDGE_SUNKEN, BF_RECT);
    GdiFlush();
    std::vector<uint32_t> mine(kPreviewSize * kPreviewSize, colours.face);
    drawSunkenEdge(mine.data(), c.right, c.bottom, colours);
    const auto* system = static_cast<const uint32_t*>(bits);
    for (int p = 0; p < kPreviewSize * kPreviewSize; ++p) {
      ASSERT_EQ(system[p] & 0x00FFFFFF, mine[p])
          << "at (" << p % kPreviewSize << ", " << p / kPreviewSize << ")";
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST_F(MainDialogTest, PlayTimerStepsThroughTheFramesEveryHundredMilliseconds) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  for (int k = 0; k < 3; ++k) writeFrame("p" + std::to_string(k) + ".bmp", 10 + k, 4, 0x00FF0000);
  addFrames({"p0.bmp", "p1.bmp", "p2.bmp"});
  select(1);
  sendCommand(dialog_, kCmdPlay);
  EXPECT_NE(appState.playTimer, 0u);
  EXPECT_EQ(appState.playIndex, 1);
  // Ticks sent by hand show 1, 2, 3, 1.
  const int expected[] = {0, 1, 2, 0};
  for (int position : expected) {
    SendMessageA(dialog_, WM_TIMER, kPlayTimerId, 0);
    expectShowing(position);
  }
  EXPECT_EQ(selection(), 1);
  // And the real timer ticks too.
  const int before = appState.playIndex;
  pumpMessages(450);
  EXPECT_NE(appState.playIndex, before);
  sendCommand(dialog_, kCmdStop);
  EXPECT_EQ(appState.playTimer, 0u);
  expectShowing(1);
  const int stopped = appState.playIndex;
  pumpMessages(300);
  EXPECT_EQ(appState.playIndex, stopped);
}

TEST_F(MainDialogTest, ColorsRunsTheColoursDialogModallyThenSavesAndReloads) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  writeFrame("m.bmp", 12, 12, 0x00FF0000);
  addFrames({"m.bmp"});
  sendCommand(dialog_, kCmdTransparent);
  EXPECT_EQ(appState.shownFrame.mask[0], 0);
  ScriptedChoosers::colours.push_back(0x00FF00FFu);
  int swatches = -1;
  const ModalResult modal = driveModal(
      dialog_, [&] { sendCommand(dialog_, kCmdColours); },
      [&](HWND colours) {
        sendCommand(colours, kIdTransAdd);
        swatches = IsWindowVisible(static_cast<HWND>(appState.transSwatches[0].window)) ? 1 : 0;
        sendCommand(colours, kIdCancel);
      });
  EXPECT_TRUE(modal.driven);
  EXPECT_EQ(modal.others, std::vector<std::string>{});
  EXPECT_EQ(swatches, 1);
  EXPECT_EQ(appState.transCount, 1);
  EXPECT_EQ(readFileBytes(dir_ + "\\kinetor.ini"), "[Trans]\r\n[TransColors]\r\nFF00FF\r\n");
  // The preview was loaded again with the new colour: the magenta corner of
  // the frame is now transparent, and the shown frame holds the new mask.
  expectShowing(0);
  EXPECT_EQ(appState.shownFrame.mask[0], 1);
}

TEST_F(MainDialogTest, OkAndExitEndTheDialogAndReleaseTheBackBuffer) {
  for (int id : {kIdOk, kIdCancel}) {
    ASSERT_NO_FATAL_FAILURE(openDialog());
    sendCommand(dialog_, kCmdPlay);
    SendMessageA(dialog_, WM_COMMAND, static_cast<WPARAM>(id), 0);
    EXPECT_EQ(appState.backBufferDC, nullptr);
    EXPECT_EQ(appState.playTimer, 0u);
    EXPECT_FALSE(IsWindowVisible(dialog_));
    DestroyWindow(dialog_);
    dialog_ = nullptr;
  }
}

TEST_F(MainDialogTest, TheModalEditorEndsWithExit) {
  const ModalResult modal = driveModal(
      nullptr, [] { runMainDialog(); },
      [](HWND editor) {
        EXPECT_EQ(windowText(editor), "Kinetor for Velmar");
        PostMessageA(editor, WM_COMMAND, kIdCancel, 0);
      });
  EXPECT_TRUE(modal.driven);
  EXPECT_EQ(appState.backBufferDC, nullptr);
}

}  // namespace
