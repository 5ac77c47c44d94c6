#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_support.h"
#include "support/recorder.h"
#include "ui/colours.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"
#include "ui/win32/window_procs.h"

namespace {

class ColoursDialogTest : public testing::Test {
 protected:
  void SetUp() override { prepareEditorState(); }
  void TearDown() override {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    EXPECT_EQ(takeShownErrors(), std::vector<ShownError>{});
    resetAppState();
  }

  void open(int trans, int replace) {
    appState.transCount = trans;
    for (int k = 0; k < trans; ++k) appState.transColors[k] = 0x00100000u * (k + 1);
    appState.replaceCount = replace;
    for (int k = 0; k < replace; ++k) appState.replaceColors[k] = 0x00000100u * (k + 1);
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogColours),
                                 nullptr, coloursDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
  }

  // The dialog's children of a class, in creation order.
  std::vector<HWND> children(const char* className) const {
    std::vector<HWND> found;
    for (HWND w = GetWindow(dialog_, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      char name[32] = {};
      GetClassNameA(w, name, sizeof name);
      if (lstrcmpiA(name, className) == 0) found.push_back(w);
    }
    return found;
  }

  int visibleCount(const char* className) const {
    int n = 0;
    for (HWND w : children(className)) n += IsWindowVisible(w) ? 1 : 0;
    return n;
  }

  bool enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }

  void click(SwatchGroup group, int entry) {
    const Swatch* swatches =
        group == SwatchGroup::kTransparent ? appState.transSwatches : appState.replaceSwatches;
    SendMessageA(static_cast<HWND>(swatches[entry].window), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(3, 3));
  }

  HWND dialog_ = nullptr;
};

TEST_F(ColoursDialogTest, ShowsOneSwatchPerColourAndTheButtonsThatApply) {
  struct Case {
    int trans;
    int replace;
    int transShown;
    int replaceShown;
    int labels;
    bool transAdd;
    bool replaceAdd;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, true, true},
      {5, 6, 5, 6, 3, true, true},
      {12, 10, 12, 10, 5, false, true},
      {30, 12, 12, 12, 6, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.trans << " transparent, " << c.replace << " replace");
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    ASSERT_NO_FATAL_FAILURE(open(c.trans, c.replace));
    EXPECT_EQ(children("TransClass").size(), 12u);
    EXPECT_EQ(children("ReplClass").size(), 12u);
    EXPECT_EQ(visibleCount("TransClass"), c.transShown);
    EXPECT_EQ(visibleCount("ReplClass"), c.replaceShown);
    int labels = 0;
    for (int p = 0; p < 6; ++p) {
      HWND label = GetDlgItem(dialog_, kIdFirstPairLabel + p);
      EXPECT_EQ(windowText(label), "->");
      labels += IsWindowVisible(label) ? 1 : 0;
    }
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(enabled(kIdTransAdd), c.transAdd);
    EXPECT_EQ(enabled(kIdReplaceAdd), c.replaceAdd);
    for (int id : {kIdTransDelete, kIdTransEdit, kIdReplaceDelete, kIdReplaceEdit}) {
      EXPECT_FALSE(enabled(id)) << id;
    }
  }
}

TEST_F(ColoursDialogTest, SwatchesAndControlsStandAtTheirPlaces) {
  ASSERT_NO_FATAL_FAILURE(open(12, 12));
  EXPECT_EQ(windowText(dialog_), "");
  for (int j = 0; j < 12; ++j) {
    const RECT expected = dialogUnits(dialog_, 10 + 30 * (j % 6), 10 + 30 * (j / 6), 20, 20);
    const RECT actual = childRect(static_cast<HWND>(appState.transSwatches[j].window));
    EXPECT_EQ(actual.left, expected.left) << j;
    EXPECT_EQ(actual.top, expected.top) << j;
    EXPECT_EQ(actual.right, expected.right) << j;
    EXPECT_EQ(actual.bottom, expected.bottom) << j;
  }
  for (int k = 0; k < 12; ++k) {
    const int p = k / 2;
    const int left = (k % 2 == 0 ? 10 : 38) + 60 * (p % 3);
    const RECT expected = dialogUnits(dialog_, left, 110 + 30 * (p / 3), 20, 20);
    const RECT actual = childRect(static_cast<HWND>(appState.replaceSwatches[k].window));
    EXPECT_EQ(actual.left, expected.left) << k;
    EXPECT_EQ(actual.top, expected.top) << k;
  }
  struct Control {
    int id;
    const char* text;
    int left, top, width, height;
  };
  const Control controls[] = {
      {kIdTransAdd, "Add", 16, 76, 50, 14},          {kIdTransDelete, "Delete", 72, 76, 50, 14},
      {kIdTransEdit, "Edit", 128, 76, 50, 14},       {kIdReplaceAdd, "Add", 16, 172, 50, 14},
      {kIdReplaceDelete, "Delete", 72, 172, 50, 14}, {kIdReplaceEdit, "Edit", 128, 172, 50, 14},
      {kIdCancel, "Close", 70, 200, 55, 15},         {kIdFirstPairLabel + 4, "->", 92, 145, 8, 8},
  };
  for (const auto& c : controls) {
    HWND control = GetDlgItem(dialog_, c.id);
    EXPECT_EQ(windowText(control), c.text) << c.id;
    const RECT expected = dialogUnits(dialog_, c.left, c.top, c.width, c.height);
    const RECT actual = childRect(control);
    EXPECT_EQ(actual.left, expected.left) << c.id;
    EXPECT_EQ(actual.top, expected.top) << c.id;
    EXPECT_EQ(actual.right, expected.right) << c.id;
    EXPECT_EQ(actual.bottom, expected.bottom) << c.id;
  }
}

TEST_F(ColoursDialogTest, ClickAddDeleteAndEditWorkThroughTheRealControls) {
  ASSERT_NO_FATAL_FAILURE(open(2, 4));
  click(SwatchGroup::kTransparent, 1);
  EXPECT_EQ(appState.selectedTrans, 2);
  EXPECT_TRUE(enabled(kIdTransDelete));
  EXPECT_TRUE(enabled(kIdTransEdit));
  EXPECT_FALSE(enabled(kIdReplaceDelete));

  ScriptedChoosers::colours.push_back(0x00ABCDEFu);
  sendCommand(dialog_, kIdTransEdit);
  EXPECT_EQ(appState.transColors[1], 0x00ABCDEFu);

  sendCommand(dialog_, kIdTransDelete);
  EXPECT_EQ(appState.transCount, 1);
  EXPECT_EQ(appState.selectedTrans, 1);
  EXPECT_EQ(visibleCount("TransClass"), 1);

  // The second swatch of the second pair deletes that whole pair.
  click(SwatchGroup::kReplace, 3);
  sendCommand(dialog_, kIdReplaceDelete);
  EXPECT_EQ(appState.replaceCount, 2);
  EXPECT_EQ(appState.selectedReplace, 1);
  EXPECT_EQ(visibleCount("ReplClass"), 2);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_, kIdFirstPairLabel + 1)));

  ScriptedChoosers::colours.push_back(0x00123456u);
  sendCommand(dialog_, kIdReplaceAdd);
  EXPECT_EQ(appState.replaceCount, 4);
  EXPECT_EQ(appState.replaceColors[2], 0x00123456u);
  EXPECT_EQ(appState.replaceColors[3], 0x00FF00FFu);
  EXPECT_EQ(visibleCount("ReplClass"), 4);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_, kIdFirstPairLabel + 1)));

  // Clicking the selected swatch deselects it.
  click(SwatchGroup::kTransparent, 0);
  EXPECT_EQ(appState.selectedTrans, 0);
  EXPECT_FALSE(enabled(kIdTransDelete));
}

TEST_F(ColoursDialogTest, SwatchesPaintTheirColourInsideARaisedOrSunkenEdge) {
  ASSERT_NO_FATAL_FAILURE(open(2, 0));
  appState.transColors[0] = 0x000000FF;  // red as COLORREF
  click(SwatchGroup::kTransparent, 1);
  HWND plain = static_cast<HWND>(appState.transSwatches[0].window);
  HWND selected = static_cast<HWND>(appState.transSwatches[1].window);
  for (HWND w : {plain, selected}) {
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
  }
  RECT client;
  GetClientRect(plain, &client);
  const int width = client.right;
  const int height = client.bottom;
  const std::vector<uint32_t> a = readClientPixels(plain, width, height);
  const std::vector<uint32_t> b = readClientPixels(selected, width, height);
  const auto at = [&](const std::vector<uint32_t>& px, int x, int y) { return px[y * width + x]; };
  EXPECT_EQ(at(a, width / 2, height / 2), 0x00FF0000u);  // 0x00RRGGBB as read back
  auto dib = [](COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); };
  // Raised: light top-left; sunken: shadow top-left.
  EXPECT_EQ(at(a, 0, 0), dib(GetSysColor(COLOR_3DLIGHT)));
  EXPECT_EQ(at(b, 0, 0), dib(GetSysColor(COLOR_BTNSHADOW)));
}

}  // namespace
