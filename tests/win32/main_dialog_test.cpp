#include <gtest/gtest.h>

#include <windows.h>
//
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ani/cursor_reader.h"
#include "dialog_support.h"
#include "image/png_file.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "support/recorder.h"
#include "support/riff_reader.h"
#include "ui/compose.h"
#include "ui/document.h"
#include "ui/editor.h"
#include "ui/preview.h"
#include "ui/resources/resource_ids.h"
#include "ui/shell.h"
#include "ui/state.h"
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
      // Whatever the test left unsaved goes without a question.
      editorDocument.changed = false;
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

// Nothing overlaps and nothing leaves the dialog, whatever the display's
// scaling makes of the dialog units.
void expectNothingOverlaps(HWND dialog) {
  std::vector<HWND> shown;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) shown.push_back(child);
  }
  RECT client{};
  GetClientRect(dialog, &client);
  for (size_t i = 0; i < shown.size(); ++i) {
    const RECT a = childRect(shown[i]);
    EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= client.right && a.bottom <= client.bottom)
        << "control " << GetDlgCtrlID(shown[i]) << " leaves the dialog";
    for (size_t j = i + 1; j < shown.size(); ++j) {
      const RECT b = childRect(shown[j]);
      RECT both{};
      EXPECT_FALSE(IntersectRect(&both, &a, &b))
          << "controls " << GetDlgCtrlID(shown[i]) << " and " << GetDlgCtrlID(shown[j]);
    }
  }
}

// The main dialog as 200 % scaling lays it out: its template with the font
// at twice its size, so that every dialog unit is twice as many pixels.
std::vector<uint8_t> dialogAtTwiceTheScale() {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kDialogMain), MAKEINTRESOURCEA(5));
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  std::vector<uint8_t> bytes(data, data + SizeofResource(nullptr, found));
  // DLGTEMPLATEEX: 26 bytes of header, then the menu, the class and the
  // caption (each a zero word, 0xFFFF and an ordinal, or a string), then
  // the font's point size.
  size_t at = 26;
  for (int field = 0; field < 3; ++field) {
    auto word = [&] { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    if (word() == 0xFFFF) {
      at += 4;
      continue;
    }
    while (word() != 0) at += 2;
    at += 2;
  }
  EXPECT_EQ(bytes[at], 8);
  bytes[at] = 16;
  return bytes;
}

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

  expectNothingOverlaps(dialog_);

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
      {kCmdNew, "&New\tCtrl+N", false},
      {kCmdOpenScript, "&Open build script...\tCtrl+O", false},
      {kCmdSaveScript, "&Save build script...\tCtrl+S", false},
      {kCmdImport, "&Import cursor...", false},
      {kCmdSave, "Save &anim file", false},
      {kIdCancel, "E&xit", false},
      {kCmdPlay, "&Play", false},
      {kCmdStop, "&Stop", false},
      {kCmdTestCursor, "&Test cursor", false},
      {kCmdColours, "&Colors...", false},
      {kCmdReplace, "&Replace color(s)", false},
      {kCmdTransparent, "&Transparent color(s)", true},
      {kCmdMerge, "&Merge with 1st frame", false},
      {kCmdOptimize, "O&ptimize image size", true},
      {kCmdInfo, "Title and &author...", false},
  };
  for (const auto& item : items) {
    char text[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(item.id), text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, item.text);
    EXPECT_EQ((GetMenuState(menu, static_cast<UINT>(item.id), MF_BYCOMMAND) & MF_CHECKED) != 0,
              item.checked)
        << item.text;
  }
  const char* popups[] = {"&File", "&Actions", "&Options"};
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
  // New below clears the list without asking.
  editorDocument.changed = false;
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

TEST_F(MainDialogTest, PlayTimerStepsThroughTheFrames) {
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

TEST_F(MainDialogTest, ExitEndsTheDialogAndReleasesTheBackBufferAndOkDoesNot) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  sendCommand(dialog_, kCmdPlay);
  SendMessageA(dialog_, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(IsWindowVisible(dialog_));
  EXPECT_NE(appState.backBufferDC, nullptr);
  SendMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(appState.backBufferDC, nullptr);
  EXPECT_EQ(appState.playTimer, 0u);
  EXPECT_FALSE(IsWindowVisible(dialog_));
  DestroyWindow(dialog_);
  dialog_ = nullptr;
}

// The question a command asked before the work went, and the dialog's state
// after the given button answered it.
struct Asked {
  bool asked = false;
  std::string text;
};

Asked answerQuestion(HWND dialog, const std::function<void()>& action, int button) {
  Asked a;
  const ModalResult modal = driveModal(dialog, action, [&](HWND box) {
    a.text = windowText(GetDlgItem(box, 0xFFFF));
    SendMessageA(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
  });
  EXPECT_EQ(modal.others, std::vector<std::string>{});
  a.asked = modal.driven;
  return a;
}

// Drops the files on the window as Explorer does: a DROPFILES block with the
// names, each closed by a zero, and one zero more.
void dropFiles(HWND window, const std::vector<std::string>& paths) {
  std::string names;
  for (const auto& p : paths) names += p + '\0';
  names += '\0';
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
  ASSERT_NE(block, nullptr);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(block);
  // The receiver releases the block with DragFinish.
  SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// The real program started as Explorer's "Open with" starts it, with the
// cursor's quoted path: the caption and the frame count of its editor, read
// once it shows, then it is asked to end. The exit code is -1 when it did
// not run, -2 when it did not end.
struct ProgramRun {
  std::string caption;
  int frames = -1;
  int exitCode = -1;
};

struct EditorSearch {
  DWORD processId;
  HWND editor;
};

BOOL CALLBACK findEditor(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<EditorSearch*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (GetDlgItem(window, kIdFrameList) == nullptr) return TRUE;
  search->editor = window;
  return FALSE;
}

ProgramRun openWithProgram(const std::string& path) {
  ProgramRun run;
  std::string exe = KINETOR_EXE;
  if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;  // the drive that maps "/" under Wine
  std::string line = "\"" + exe + "\" \"" + path + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return run;
  }
  EditorSearch search{pi.dwProcessId, nullptr};
  // Generous: a busy machine starts Wine programs slowly.
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (search.editor == nullptr && GetTickCount64() < deadline &&
         WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT) {
    EnumWindows(findEditor, reinterpret_cast<LPARAM>(&search));
  }
  if (search.editor != nullptr) {
    run.caption = windowText(search.editor);
    run.frames =
        static_cast<int>(SendMessageA(GetDlgItem(search.editor, kIdFrameList), LB_GETCOUNT, 0, 0));
    PostMessageA(search.editor, WM_COMMAND, IDCANCEL, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    run.exitCode = static_cast<int>(code);
  } else {
    TerminateProcess(pi.hProcess, 3);
    WaitForSingleObject(pi.hProcess, INFINITE);
    run.exitCode = -2;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return run;
}

TEST_F(MainDialogTest, TheEditorKeepsWorkAndMakesWholeCursors) {
  const std::string unsaved =
      "The frames or the cursor's settings have changed. Save them as a build script?";
  HWND preview = nullptr;
  auto start = [&] {
    ASSERT_NO_FATAL_FAILURE(openDialog());
    preview = static_cast<HWND>(appState.previewWindow);
    writeFrame("a.bmp", 32, 32, 0x00FF0000);
    writeFrame("b.bmp", 32, 32, 0x0000FF00);
    writeFrame("c.bmp", 32, 32, 0x000000FF);
    addFrames({"a.bmp", "b.bmp", "c.bmp"});
  };
  auto setTime = [&](int position, const char* ms, int command) {
    select(position);
    SetDlgItemTextA(dialog_, kIdTimeEdit, ms);
    sendCommand(dialog_, command);
  };
  auto saveCursor = [&](const std::string& name) {
    ScriptedChoosers::saveAnswer = dir_ + "\\" + name;
    sendCommand(dialog_, kCmdSave);
    return readFileBytes(dir_ + "\\" + name);
  };
  struct Scenario {
    const char* what;
    std::function<void()> run;
  };
  auto openScript = [&](const std::string& path) {
    ScriptedChoosers::openResult = 1;
    ScriptedChoosers::openBytes = path + '\0';
    sendCommand(dialog_, kCmdOpenScript);
  };
  auto importCursor = [&](const std::string& name) {
    ScriptedChoosers::openResult = 1;
    ScriptedChoosers::openBytes = dir_ + "\\" + name + '\0';
    sendCommand(dialog_, kCmdImport);
  };
  const Scenario scenarios[] = {
      {"a PNG frame with alpha is drawn over a checkerboard, partial alpha blended",
       [&] {
         ASSERT_NO_FATAL_FAILURE(openDialog());
         preview = static_cast<HWND>(appState.previewWindow);
         // Left half clear; on the right red at alpha 128 above opaque blue.
         std::vector<uint8_t> rgba;
         for (int y = 0; y < 16; ++y) {
           for (int x = 0; x < 16; ++x) {
             const uint8_t alpha = x < 8 ? 0 : (y < 8 ? 128 : 255);
             const uint8_t pixel[4] = {static_cast<uint8_t>(y < 8 ? 255 : 0), 0,
                                       static_cast<uint8_t>(y < 8 ? 0 : 255), alpha};
             rgba.insert(rgba.end(), pixel, pixel + 4);
           }
         }
         ASSERT_TRUE(writePngFile((dir_ + "\\soft.png").c_str(), rgba, 16, 16, 4));
         widths_["soft.png"] = 16;
         addFrames({"soft.png"});
         expectFrames({"soft.png"});
         UpdateWindow(preview);
         const std::vector<uint32_t> shown = readClientPixels(preview, kPreviewSize, kPreviewSize);
         auto at = [&](int x, int y) {
           return shown[static_cast<size_t>(y + kFrameOffset) * kPreviewSize + x + kFrameOffset];
         };
         EXPECT_EQ(at(0, 0), kCheckerLight);
         EXPECT_EQ(at(3, 9), kCheckerDark);
         EXPECT_EQ(at(12, 12), 0x0000FFu);
         // Over a dark square: 128 parts of red, 127 of the square.
         auto mix = [](uint32_t front, uint32_t back) {
           return (front * 128 + back * 127 + 127) / 255;
         };
         const uint32_t grey = kCheckerDark & 0xFF;
         EXPECT_EQ(at(12, 3), mix(255, grey) << 16 | mix(0, grey) << 8 | mix(0, grey));
         // Outside the frame the face colour stays.
         EXPECT_EQ(at(100, 100), systemPreviewColours().face);
       }},
      {"a cursor with its own order of steps or equal rates per step: Import then Save gives "
       "the same bytes",
       [&] {
         start();
         const std::string steps =
             "[Rate]\r\n5\r\n5\r\n5\r\n5\r\n[Sequence]\r\n1\r\n2\r\n3\r\n2\r\n";
         const std::string perFrame = "[Rate]\r\n5\r\n5\r\n5\r\n";
         for (const std::string& timing : {steps, perFrame}) {
           const std::string frames = "[BMP]\r\na.bmp\r\nb.bmp\r\nc.bmp\r\n";
           ASSERT_TRUE(writeFileBytes(dir_ + "\\steps.txt", frames + timing));
           editorDocument.changed = false;
           openScript(dir_ + "\\steps.txt");
           const std::string note = timing == steps ? " (4 steps in the script's own order)" : "";
           EXPECT_EQ(windowText(dialog_), "steps.txt" + note + " - Kinetor for Velmar");
           const std::string first = saveCursor("steps.anim");
           ParsedAni ani;
           std::string defects;
           EXPECT_TRUE(parseAni(first, ani, defects)) << defects;
           EXPECT_EQ(ani.rates, std::vector<uint32_t>(timing == steps ? 4 : 3, 5));
           EXPECT_EQ(ani.sequence, timing == steps ? (std::vector<uint32_t>{0, 1, 2, 1})
                                                   : std::vector<uint32_t>{});
           importCursor("steps.anim");
           EXPECT_EQ(windowText(dialog_), "build.txt" + note + " - Kinetor for Velmar");
           EXPECT_EQ(saveCursor("again.anim"), first);
           std::remove((dir_ + "\\again.anim").c_str());
         }
         // A change to the list: the order of steps goes with its note.
         ASSERT_TRUE(
             writeFileBytes(dir_ + "\\steps.txt", "[BMP]\r\na.bmp\r\nb.bmp\r\nc.bmp\r\n" + steps));
         openScript(dir_ + "\\steps.txt");
         sendCommand(dialog_, kIdDelete);
         EXPECT_EQ(windowText(dialog_), "steps.txt* - Kinetor for Velmar");
       }},
      {"at 200 % nothing overlaps and the preview shows frames at twice their size",
       [&] {
         const std::vector<uint8_t> doubled = dialogAtTwiceTheScale();
         dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                              reinterpret_cast<LPCDLGTEMPLATEA>(doubled.data()),
                                              nullptr, mainDialogProc, 0);
         ASSERT_NE(dialog_, nullptr);
         SetWindowPos(dialog_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
         preview = static_cast<HWND>(appState.previewWindow);
         EXPECT_EQ(appState.previewScale, 2);
         const RECT placed = childRect(preview);
         EXPECT_EQ(placed.right - placed.left, 2 * kPreviewSize);
         EXPECT_EQ(placed.bottom - placed.top, 2 * kPreviewSize);
         expectNothingOverlaps(dialog_);
         writeFrame("a.bmp", 32, 32, 0x00FF0000);
         addFrames({"a.bmp"});
         UpdateWindow(preview);
         const std::vector<uint32_t> shown = readClientPixels(preview, 80, 80);
         // Each pixel of the frame is a 2 x 2 square: the magenta corner
         // ends and the frame's colour starts at pixel 10 of the frame.
         for (int y : {2 * (kFrameOffset + 9), 2 * (kFrameOffset + 9) + 1}) {
           for (int x : {2 * (kFrameOffset + 10) - 1, 2 * (kFrameOffset + 10)}) {
             const uint32_t expected = x < 2 * (kFrameOffset + 10) ? 0xFF00FFu : 0xFF0000u;
             EXPECT_EQ(shown[static_cast<size_t>(y) * 80 + x], expected) << x << ", " << y;
           }
         }
         // A click lands on the frame's pixel under the pointer.
         SendMessageA(preview, WM_LBUTTONDOWN, 0,
                      MAKELPARAM(2 * (kFrameOffset + 7) + 1, 2 * (kFrameOffset + 9) + 1));
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdHotspotLabel)), "Hotspot: 7, 9");
       }},
      {"Enter, Escape, the close box and New ask before unsaved frames go",
       [&] {
         start();
         EXPECT_EQ(windowText(dialog_), "Untitled* - Kinetor for Velmar");
         EXPECT_FALSE(answerQuestion(
                          dialog_, [&] { sendCommand(dialog_, IDOK); }, IDCANCEL)
                          .asked);
         const Asked escape = answerQuestion(
             dialog_, [&] { sendCommand(dialog_, IDCANCEL); }, IDCANCEL);
         EXPECT_TRUE(escape.asked);
         EXPECT_EQ(escape.text, unsaved);
         // The close box: the dialog posts itself IDCANCEL, handled here.
         auto closeBox = [&] {
           SendMessageA(dialog_, WM_CLOSE, 0, 0);
           pumpMessages(100);
         };
         EXPECT_TRUE(answerQuestion(dialog_, closeBox, IDCANCEL).asked);
         EXPECT_TRUE(IsWindowVisible(dialog_));
         EXPECT_EQ(listItems(frameList()).size(), 3u);
         EXPECT_TRUE(answerQuestion(
                         dialog_, [&] { sendCommand(dialog_, kCmdNew); }, IDNO)
                         .asked);
         EXPECT_EQ(listItems(frameList()).size(), 0u);
         EXPECT_EQ(windowText(dialog_), "Kinetor for Velmar");
         // Nothing left to lose: Escape ends at once.
         EXPECT_FALSE(answerQuestion(
                          dialog_, [&] { sendCommand(dialog_, IDCANCEL); }, IDCANCEL)
                          .asked);
         EXPECT_FALSE(IsWindowVisible(dialog_));
       }},
      {"Yes saves a build script through the chooser, then the dialog ends",
       [&] {
         start();
         ScriptedChoosers::saveAnswer = dir_ + "\\kept";
         EXPECT_TRUE(answerQuestion(
                         dialog_, [&] { sendCommand(dialog_, IDCANCEL); }, IDYES)
                         .asked);
         EXPECT_EQ(
             readFileBytes(dir_ + "\\kept.txt"),
             "[Result]\r\nkept.anim\r\n[BMP]\r\na.bmp\r\nb.bmp\r\nc.bmp\r\n[TransColors]\r\n");
         EXPECT_FALSE(IsWindowVisible(dialog_));
       }},
      {"hotspot and timing reach the file; the saved script opens to the same cursor",
       [&] {
         start();
         // A click on the frame's pixel (7, 9): the frame is drawn at (2, 2).
         SendMessageA(preview, WM_LBUTTONDOWN, 0, MAKELPARAM(9, 11));
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdHotspotLabel)), "Hotspot: 7, 9");
         UpdateWindow(preview);
         const std::vector<uint32_t> shown = readClientPixels(preview, kPreviewSize, kPreviewSize);
         // The cross inverts the magenta corner under the hotspot.
         EXPECT_EQ(shown[11 * kPreviewSize + 9], 0x0000FF00u);
         setTime(0, "250", kIdTimeSetAll);
         setTime(1, "50", kIdTimeSet);
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdTimeEdit)), "50");
         select(2);
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdTimeEdit)), "250");
         const ModalResult info = driveModal(
             dialog_, [&] { sendCommand(dialog_, kCmdInfo); },
             [&](HWND box) {
               SetDlgItemTextA(box, kIdTitleEdit, "Busy dots");
               SetDlgItemTextA(box, kIdAuthorEdit, "Ann Example");
               sendCommand(box, IDOK);
             });
         EXPECT_TRUE(info.driven);
         const std::string first = saveCursor("first.anim");
         EXPECT_EQ(windowText(dialog_), "Kinetor for Velmar");
         ParsedAni ani;
         std::string defects;
         EXPECT_TRUE(parseAni(first, ani, defects)) << defects;
         ASSERT_EQ(ani.icons.size(), 3u);
         for (const auto& icon : ani.icons) {
           EXPECT_EQ(icon.hotspotX, 7);
           EXPECT_EQ(icon.hotspotY, 9);
         }
         EXPECT_EQ(ani.rates, (std::vector<uint32_t>{15, 3, 15}));
         EXPECT_EQ(ani.title, "Busy dots");
         EXPECT_EQ(ani.author, "Ann Example");

         ScriptedChoosers::saveAnswer = dir_ + "\\work.txt";
         sendCommand(dialog_, kCmdSaveScript);
         EXPECT_EQ(windowText(dialog_), "work.txt - Kinetor for Velmar");
         EXPECT_FALSE(answerQuestion(
                          dialog_, [&] { sendCommand(dialog_, kCmdNew); }, IDNO)
                          .asked);
         ScriptedChoosers::openResult = 1;
         ScriptedChoosers::openBytes = dir_ + "\\work.txt" + '\0';
         sendCommand(dialog_, kCmdOpenScript);
         expectFrames({"a.bmp", "b.bmp", "c.bmp"});
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdHotspotLabel)), "Hotspot: 7, 9");
         EXPECT_EQ(saveCursor("second.anim"), first);
         // Sizes, options and colours travel with the script too, whatever
         // the settings are when it is opened again.
         auto checked = [&](int command) {
           return (GetMenuState(GetMenu(dialog_), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
         };
         for (int command : {kCmdSize32, kCmdSize64, kCmdSize48, kCmdSize48, kCmdOptimize}) {
           sendCommand(dialog_, command);
         }
         appState.transColors[0] = 0x00FF00FF;
         appState.transCount = 1;
         sendCommand(dialog_, kCmdTransparent);
         const std::string third = saveCursor("third.anim");
         // Read back: one 32-bit square picture per size, largest first.
         cursor::Cursor read;
         std::string why;
         std::vector<std::string> notes;
         ASSERT_TRUE(readCursor(reinterpret_cast<const uint8_t*>(third.data()), third.size(), read,
                                why, notes))
             << why;
         ASSERT_EQ(read.frames.size(), 3u);
         for (const cursor::Frame& frame : read.frames) {
           std::vector<int32_t> sides;
           for (const cursor::Image& image : frame.images) {
             sides.push_back(image.width);
             EXPECT_EQ(image.height, image.width);
             EXPECT_EQ(image.depth, 32);
           }
           EXPECT_EQ(sides, (std::vector<int32_t>{64, 32}));
         }
         ScriptedChoosers::saveAnswer = dir_ + "\\work.txt";
         sendCommand(dialog_, kCmdSaveScript);
         sendCommand(dialog_, kCmdOptimize);
         sendCommand(dialog_, kCmdTransparent);
         appState.transCount = 0;
         editorDocument.changed = false;
         sendCommand(dialog_, kCmdNew);
         openScript(dir_ + "\\work.txt");
         EXPECT_TRUE(checked(kCmdSize32) && checked(kCmdSize64));
         EXPECT_FALSE(checked(kCmdSize48));
         EXPECT_TRUE(checked(kCmdOptimize));
         EXPECT_TRUE(checked(kCmdTransparent));
         EXPECT_EQ(saveCursor("fourth.anim"), third);
         EXPECT_NE(third, first);
         sendCommand(dialog_, IDCANCEL);
         EXPECT_FALSE(IsWindowVisible(dialog_));
       }},
      {"the Delete key in the list deletes; dropped BMP files are added in order",
       [&] {
         start();
         select(1);
         // What the dialog's modal loop hands its message filter.
         MSG key = {frameList(), WM_KEYDOWN, VK_DELETE, 0, 0, {}};
         EXPECT_TRUE(CallMsgFilterA(&key, MSGF_DIALOGBOX));
         expectFrames({"a.bmp", "c.bmp"});
         MSG inTimeBox = {GetDlgItem(dialog_, kIdTimeEdit), WM_KEYDOWN, VK_DELETE, 0, 0, {}};
         EXPECT_FALSE(CallMsgFilterA(&inTimeBox, MSGF_DIALOGBOX));
         expectFrames({"a.bmp", "c.bmp"});
         const std::string d = writeFrame("d.bmp", 20, 20, 0x00123456);
         ASSERT_TRUE(writeFileBytes(dir_ + "\\notes.txt", "not a frame"));
         dropFiles(dialog_, {d, dir_ + "\\notes.txt", dir_ + "\\b.bmp"});
         expectFrames({"a.bmp", "c.bmp", "d.bmp", "b.bmp"});
       }},
      {"Import then Save gives the same bytes, with the script's own settings; a frame that "
       "cannot be read is marked",
       [&] {
         appState.optTransparent = 1;
         appState.transColors[0] = 0x00FF00FF;
         appState.transCount = 1;
         start();
         SendMessageA(preview, WM_LBUTTONDOWN, 0, MAKELPARAM(9, 11));
         setTime(1, "50", kIdTimeSet);
         const std::string first = saveCursor("orig.anim");
         ASSERT_FALSE(first.empty());
         // Settings of another work, which the import replaces.
         appState.optTransparent = 0;
         appState.transCount = 0;
         ScriptedChoosers::openResult = 1;
         ScriptedChoosers::openBytes = dir_ + "\\orig.anim" + '\0';
         sendCommand(dialog_, kCmdImport);
         EXPECT_EQ(listItems(frameList()),
                   (std::vector<std::string>{"frame01.bmp", "frame02.bmp", "frame03.bmp"}));
         EXPECT_EQ(listItems(pathList()).front(), dir_ + "\\orig\\frame01.bmp");
         EXPECT_EQ(windowText(dialog_), "build.txt - Kinetor for Velmar");
         EXPECT_EQ(windowText(GetDlgItem(dialog_, kIdHotspotLabel)), "Hotspot: 7, 9");
         EXPECT_EQ(appState.optTransparent, 1);
         EXPECT_EQ(saveCursor("again.anim"), first);
         // Imported again: a folder of its own beside the first.
         sendCommand(dialog_, kCmdImport);
         EXPECT_EQ(listItems(pathList()).front(), dir_ + "\\orig (2)\\frame01.bmp");
         ASSERT_TRUE(writeFileBytes(dir_ + "\\junk.bmp", "not a picture"));
         addFrames({"junk.bmp", "gone.bmp"});
         EXPECT_EQ(listItems(frameList()),
                   (std::vector<std::string>{"frame01.bmp", "frame02.bmp", "frame03.bmp",
                                             "junk.bmp (not a BMP or PNG)",
                                             "gone.bmp (file not found)"}));
       }},
      {"a cursor file given to the program opens in the editor",
       [&] {
         start();
         const std::string cursor = dir_ + "\\given.anim";
         saveCursor("given.anim");
         DestroyWindow(dialog_);
         dialog_ = nullptr;
         releaseAllPreviews();
         std::vector<std::string> frames;
         const ModalResult modal = driveModal(
             nullptr, [&] { runMainDialog(cursor.c_str()); },
             [&](HWND editor) {
               frames = listItems(GetDlgItem(editor, kIdFrameList));
               editorDocument.changed = false;
               sendCommand(editor, IDCANCEL);
             });
         EXPECT_TRUE(modal.driven);
         EXPECT_EQ(modal.others, std::vector<std::string>{});
         EXPECT_EQ(frames, (std::vector<std::string>{"frame01.bmp", "frame02.bmp", "frame03.bmp"}));
         // The same through the real program, as Explorer's "Open with"
         // starts it: the editor shows the cursor imported, and Exit ends it
         // without a question, since nothing changed since the import.
         const ProgramRun run = openWithProgram(cursor);
         EXPECT_EQ(run.caption, "build.txt - Kinetor for Velmar");
         EXPECT_EQ(run.frames, 3);
         EXPECT_EQ(run.exitCode, 1);
       }},
      {"Test cursor: the work is the pointer over the preview, the usual one elsewhere",
       [&] {
         start();
         HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
         auto pointerOver = [&](HWND window) {
           SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
           return GetCursor();
         };
         sendCommand(dialog_, kCmdTestCursor);
         HCURSOR work = previewCursor();
         ASSERT_NE(work, nullptr);
         EXPECT_NE(work, arrow);
         EXPECT_NE(GetMenuState(GetMenu(dialog_), kCmdTestCursor, MF_BYCOMMAND) & MF_CHECKED, 0u);
         EXPECT_EQ(pointerOver(preview), work);
         EXPECT_EQ(pointerOver(frameList()), arrow);
         EXPECT_EQ(pointerOver(preview), work);
         // Built into a temporary file that is gone once loaded.
         char temp[MAX_PATH] = {};
         GetTempPathA(sizeof temp, temp);
         EXPECT_FALSE(fileExists(std::string(temp) + "kinetor-test-" +
                                 std::to_string(GetCurrentProcessId()) + ".anim"));
         sendCommand(dialog_, kCmdTestCursor);
         EXPECT_EQ(previewCursor(), nullptr);
         EXPECT_EQ(pointerOver(preview), arrow);
         EXPECT_EQ(GetMenuState(GetMenu(dialog_), kCmdTestCursor, MF_BYCOMMAND) & MF_CHECKED, 0u);
       }},
  };
  for (const auto& s : scenarios) {
    SCOPED_TRACE(s.what);
    ScriptedChoosers::reset();
    s.run();
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    dialog_ = nullptr;
    releaseAllPreviews();
  }
}

int g_framesAfterKey = -1;

// Runs after the key posted before it: the loop hands out timers only when
// no posted message waits.
VOID CALLBACK afterKey(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_framesAfterKey = appState.frameCount;
  editorDocument.changed = false;
  PostMessageA(static_cast<HWND>(GetParent(static_cast<HWND>(appState.frameList))), WM_COMMAND,
               kIdCancel, 0);
}

TEST_F(MainDialogTest, TheModalEditorTakesTheDeleteKeyFromItsLoopAndEndsWithExit) {
  writeFrame("k.bmp", 8, 8, 0x00FF0000);
  g_framesAfterKey = -1;
  const ModalResult modal = driveModal(
      nullptr, [] { runMainDialog(); },
      [&](HWND editor) {
        EXPECT_EQ(windowText(editor), "Kinetor for Velmar");
        ScriptedChoosers::answerSeveral(dir_, {"k.bmp"});
        sendCommand(editor, kIdAdd);
        EXPECT_EQ(appState.frameCount, 1);
        PostMessageA(static_cast<HWND>(appState.frameList), WM_KEYDOWN, VK_DELETE, 0);
        SetTimer(nullptr, 0, 10, afterKey);
      });
  EXPECT_TRUE(modal.driven);
  EXPECT_EQ(modal.others, std::vector<std::string>{});
  EXPECT_EQ(g_framesAfterKey, 0);
  EXPECT_EQ(appState.backBufferDC, nullptr);
}

}  // namespace
