#include <gtest/gtest.h>

#include <vector>

#include "editor_fakes.h"
#include "ui/resources/resource_ids.h"
#include "ui/state.h"

namespace {

constexpr uint32_t kMagenta = 0x00FF00FF;

// Stand-in window handles: the swatch arrays only store and compare them.
UiHandle fakeWindow(SwatchGroup group, int entry) {
  return reinterpret_cast<UiHandle>(
      static_cast<uintptr_t>((group == SwatchGroup::kTransparent ? 0x1000 : 0x2000) + entry));
}

class ColoursTest : public testing::Test {
 protected:
  void SetUp() override { resetAppState(); }
  void TearDown() override { resetAppState(); }

  // Fills the lists and opens the dialog the way the view does: 12 + 12
  // swatch windows first, then the dialog's own start.
  void open(std::vector<uint32_t> trans, std::vector<uint32_t> replace) {
    appState.transCount = static_cast<int32_t>(trans.size());
    for (size_t k = 0; k < trans.size(); ++k) appState.transColors[k] = trans[k];
    appState.replaceCount = static_cast<int32_t>(replace.size());
    for (size_t k = 0; k < replace.size(); ++k) appState.replaceColors[k] = replace[k];
    for (int k = 0; k < kSwatchCount; ++k) {
      appState.transSwatches[k].window = fakeWindow(SwatchGroup::kTransparent, k);
      appState.replaceSwatches[k].window = fakeWindow(SwatchGroup::kReplace, k);
    }
    view_ = FakeColoursView{};
    initColoursDialog(view_);
  }

  void click(SwatchGroup group, int entry) { clickSwatch(view_, group, fakeWindow(group, entry)); }

  std::vector<uint32_t> transList() const {
    return {appState.transColors, appState.transColors + appState.transCount};
  }
  std::vector<uint32_t> replaceList() const {
    return {appState.replaceColors, appState.replaceColors + appState.replaceCount};
  }

  // The selected mark stands on exactly the swatch the selection names.
  void expectMarks(const Swatch* swatches, int selected) {
    for (int k = 0; k < kMaxEntries; ++k) {
      ASSERT_EQ(swatches[k].selected, k == selected - 1 ? 1 : 0) << "swatch " << k;
    }
  }

  FakeColoursView view_;
};

std::vector<uint32_t> colours(int n, uint32_t base) {
  std::vector<uint32_t> v;
  for (int k = 0; k < n; ++k) v.push_back(base + static_cast<uint32_t>(k));
  return v;
}

TEST_F(ColoursTest, OpeningShowsOneSwatchPerEntryUpToTwelve) {
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
      {0, 0, 0, 0, 0, true, true},       {5, 6, 5, 6, 3, true, true},
      {12, 10, 12, 10, 5, false, true},  {11, 12, 11, 12, 6, true, false},
      {40, 30, 12, 12, 6, false, false}, {0, 5, 0, 4, 2, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.trans << " transparent, " << c.replace << " replace");
    appState.selectedTrans = 3;
    appState.transSwatches[2].selected = 1;
    appState.replaceSwatches[200].selected = 1;
    open(colours(c.trans, 0x10), colours(c.replace, 0x100));
    EXPECT_EQ(view_.shownCount(SwatchGroup::kTransparent), c.transShown);
    EXPECT_EQ(view_.shownCount(SwatchGroup::kReplace), c.replaceShown);
    int labels = 0;
    for (bool l : view_.labelShown) labels += l ? 1 : 0;
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(view_.enabled[kIdTransAdd], c.transAdd);
    EXPECT_EQ(view_.enabled[kIdReplaceAdd], c.replaceAdd);
    for (int id : {kIdTransDelete, kIdTransEdit, kIdReplaceDelete, kIdReplaceEdit}) {
      EXPECT_FALSE(view_.enabled[id]) << id;
    }
    EXPECT_EQ(appState.selectedTrans, 0);
    EXPECT_EQ(appState.selectedReplace, 0);
    expectMarks(appState.transSwatches, 0);
    expectMarks(appState.replaceSwatches, 0);
  }
}

TEST_F(ColoursTest, ClickingSelectsMovesAndDeselects) {
  open(colours(4, 0x10), {});
  click(SwatchGroup::kTransparent, 1);
  EXPECT_EQ(appState.selectedTrans, 2);
  expectMarks(appState.transSwatches, 2);
  EXPECT_TRUE(view_.enabled[kIdTransDelete]);
  EXPECT_TRUE(view_.enabled[kIdTransEdit]);
  EXPECT_TRUE(swatchSelected(SwatchGroup::kTransparent, fakeWindow(SwatchGroup::kTransparent, 1)));

  click(SwatchGroup::kTransparent, 3);
  EXPECT_EQ(appState.selectedTrans, 4);
  expectMarks(appState.transSwatches, 4);
  EXPECT_FALSE(swatchSelected(SwatchGroup::kTransparent, fakeWindow(SwatchGroup::kTransparent, 1)));

  click(SwatchGroup::kTransparent, 3);
  EXPECT_EQ(appState.selectedTrans, 0);
  expectMarks(appState.transSwatches, 0);
  EXPECT_FALSE(view_.enabled[kIdTransDelete]);
  EXPECT_FALSE(view_.enabled[kIdTransEdit]);

  // A swatch beyond the list shows nothing and takes no click; the other
  // group is not touched.
  click(SwatchGroup::kTransparent, 7);
  EXPECT_EQ(appState.selectedTrans, 0);
  EXPECT_EQ(appState.selectedReplace, 0);
  EXPECT_EQ(swatchEntry(SwatchGroup::kTransparent, fakeWindow(SwatchGroup::kTransparent, 7)), -1);
  EXPECT_EQ(swatchEntry(SwatchGroup::kTransparent, fakeWindow(SwatchGroup::kTransparent, 2)), 2);
  EXPECT_EQ(swatchColour(SwatchGroup::kTransparent, 2), 0x12u);
}

TEST_F(ColoursTest, DeletingATransparentColourMovesTheRestAndTheSelection) {
  struct Case {
    const char* what;
    int count;
    int selected;  // 1-based
    std::vector<uint32_t> left;
    int newSelection;
    bool buttonsOn;
  };
  const Case cases[] = {
      {"the last", 3, 3, {0x10, 0x11}, 2, true},
      {"the first", 3, 1, {0x11, 0x12}, 1, true},
      {"a middle one", 3, 2, {0x10, 0x12}, 2, true},
      {"the only", 1, 1, {}, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    open(colours(c.count, 0x10), {});
    click(SwatchGroup::kTransparent, c.selected - 1);
    coloursCommand(view_, kIdTransDelete);
    EXPECT_EQ(transList(), c.left);
    EXPECT_EQ(appState.selectedTrans, c.newSelection);
    expectMarks(appState.transSwatches, c.newSelection);
    EXPECT_EQ(view_.shownCount(SwatchGroup::kTransparent), static_cast<int>(c.left.size()));
    EXPECT_FALSE(view_.transShown[c.count - 1]);
    EXPECT_EQ(view_.enabled[kIdTransDelete], c.buttonsOn);
    EXPECT_EQ(view_.enabled[kIdTransEdit], c.buttonsOn);
    EXPECT_TRUE(view_.enabled[kIdTransAdd]);
  }
}

TEST_F(ColoursTest, TransparentAddIsDisabledAtTwelveAndEnabledAgainByADelete) {
  open(colours(10, 0x10), {});
  for (uint32_t picked : {0xA0u, 0xA1u}) {
    view_.colourAnswers.push_back(picked);
    EXPECT_TRUE(view_.enabled[kIdTransAdd]);
    coloursCommand(view_, kIdTransAdd);
  }
  EXPECT_EQ(appState.transCount, 12);
  EXPECT_EQ(appState.transColors[11], 0xA1u);
  EXPECT_FALSE(view_.enabled[kIdTransAdd]);
  EXPECT_EQ(view_.shownCount(SwatchGroup::kTransparent), 12);
  EXPECT_EQ(view_.chooserStarts, (std::vector<uint32_t>{kMagenta, kMagenta}));

  // A command that arrives while the button is disabled adds nothing.
  view_.colourAnswers.push_back(0xA2u);
  coloursCommand(view_, kIdTransAdd);
  EXPECT_EQ(appState.transCount, 12);
  EXPECT_EQ(view_.chooserStarts.size(), 2u);

  click(SwatchGroup::kTransparent, 4);
  coloursCommand(view_, kIdTransDelete);
  EXPECT_EQ(appState.transCount, 11);
  EXPECT_TRUE(view_.enabled[kIdTransAdd]);
}

TEST_F(ColoursTest, AddWithoutASelectionEnablesDeleteAndEditThatThenDoNothing) {
  open({}, {});
  view_.colourAnswers.push_back(0x123456u);
  coloursCommand(view_, kIdTransAdd);
  EXPECT_EQ(transList(), std::vector<uint32_t>{0x123456u});
  EXPECT_TRUE(view_.transShown[0]);
  EXPECT_TRUE(view_.enabled[kIdTransDelete]);
  EXPECT_TRUE(view_.enabled[kIdTransEdit]);
  coloursCommand(view_, kIdTransDelete);
  coloursCommand(view_, kIdTransEdit);
  EXPECT_EQ(transList(), std::vector<uint32_t>{0x123456u});
  EXPECT_EQ(view_.chooserStarts.size(), 1u);
}

TEST_F(ColoursTest, ACancelledChooserChangesNothing) {
  open({0x10}, {0x20, 0x21});
  for (int id : {kIdTransAdd, kIdReplaceAdd}) {
    view_.colourAnswers.push_back(std::nullopt);
    coloursCommand(view_, id);
  }
  click(SwatchGroup::kTransparent, 0);
  click(SwatchGroup::kReplace, 1);
  for (int id : {kIdTransEdit, kIdReplaceEdit}) {
    view_.colourAnswers.push_back(std::nullopt);
    coloursCommand(view_, id);
  }
  EXPECT_EQ(transList(), std::vector<uint32_t>{0x10});
  EXPECT_EQ(replaceList(), (std::vector<uint32_t>{0x20, 0x21}));
  EXPECT_EQ(view_.shownCount(SwatchGroup::kTransparent), 1);
  EXPECT_EQ(view_.shownCount(SwatchGroup::kReplace), 2);
}

TEST_F(ColoursTest, EditChangesTheSelectedEntryOfEitherGroup) {
  open({0x10, 0x11}, {0x20, 0x21, 0x22, 0x23});
  click(SwatchGroup::kTransparent, 1);
  view_.colourAnswers.push_back(0xAAu);
  coloursCommand(view_, kIdTransEdit);
  EXPECT_EQ(transList(), (std::vector<uint32_t>{0x10, 0xAA}));
  // Either entry of a pair can be edited.
  click(SwatchGroup::kReplace, 3);
  view_.colourAnswers.push_back(0xBBu);
  coloursCommand(view_, kIdReplaceEdit);
  click(SwatchGroup::kReplace, 0);
  view_.colourAnswers.push_back(0xCCu);
  coloursCommand(view_, kIdReplaceEdit);
  EXPECT_EQ(replaceList(), (std::vector<uint32_t>{0xCC, 0x21, 0x22, 0xBB}));
  EXPECT_EQ(view_.chooserStarts, (std::vector<uint32_t>{0x11, 0x23, 0x20}));
}

TEST_F(ColoursTest, AddingAPairShowsThePickedColourAndMagentaWithTheArrow) {
  open({}, colours(10, 0x20));
  EXPECT_FALSE(view_.labelShown[5]);
  view_.colourAnswers.push_back(0x00ABCDEFu);
  coloursCommand(view_, kIdReplaceAdd);
  EXPECT_EQ(appState.replaceCount, 12);
  EXPECT_EQ(appState.replaceColors[10], 0x00ABCDEFu);
  EXPECT_EQ(appState.replaceColors[11], kMagenta);
  EXPECT_TRUE(view_.replaceShown[10]);
  EXPECT_TRUE(view_.replaceShown[11]);
  EXPECT_TRUE(view_.labelShown[5]);
  // The sixth pair disables Add; deleting a pair enables it again.
  EXPECT_FALSE(view_.enabled[kIdReplaceAdd]);
  view_.colourAnswers.push_back(0x1u);
  coloursCommand(view_, kIdReplaceAdd);
  EXPECT_EQ(appState.replaceCount, 12);
  click(SwatchGroup::kReplace, 0);
  coloursCommand(view_, kIdReplaceDelete);
  EXPECT_EQ(appState.replaceCount, 10);
  EXPECT_TRUE(view_.enabled[kIdReplaceAdd]);
  EXPECT_FALSE(view_.labelShown[5]);
  EXPECT_TRUE(view_.labelShown[4]);
}

TEST_F(ColoursTest, DeletingAReplacePairRemovesBothEntriesWhicheverSwatchIsSelected) {
  // Pairs (A, a), (B, b), (C, c).
  const std::vector<uint32_t> pairs = {0xA0, 0xA1, 0xB0, 0xB1, 0xC0, 0xC1};
  struct Case {
    const char* what;
    int selected;  // 1-based swatch number
    std::vector<uint32_t> left;
    int newSelection;
  };
  const Case cases[] = {
      {"first pair by its first swatch", 1, {0xB0, 0xB1, 0xC0, 0xC1}, 1},
      {"first pair by its second swatch", 2, {0xB0, 0xB1, 0xC0, 0xC1}, 2},
      {"middle pair by its second swatch", 4, {0xA0, 0xA1, 0xC0, 0xC1}, 4},
      {"last pair by its first swatch", 5, {0xA0, 0xA1, 0xB0, 0xB1}, 3},
      {"last pair by its second swatch", 6, {0xA0, 0xA1, 0xB0, 0xB1}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    open({}, pairs);
    click(SwatchGroup::kReplace, c.selected - 1);
    coloursCommand(view_, kIdReplaceDelete);
    EXPECT_EQ(replaceList(), c.left);
    EXPECT_EQ(appState.selectedReplace, c.newSelection);
    expectMarks(appState.replaceSwatches, c.newSelection);
    EXPECT_EQ(view_.shownCount(SwatchGroup::kReplace), 4);
    EXPECT_FALSE(view_.replaceShown[4]);
    EXPECT_FALSE(view_.replaceShown[5]);
    EXPECT_FALSE(view_.labelShown[2]);
    EXPECT_TRUE(view_.enabled[kIdReplaceDelete]);
  }
}

TEST_F(ColoursTest, DeletingTheOnlyPairLeavesNoSelection) {
  for (int selected : {0, 1}) {
    open({}, {0xA0, 0xA1});
    click(SwatchGroup::kReplace, selected);
    coloursCommand(view_, kIdReplaceDelete);
    EXPECT_EQ(appState.replaceCount, 0);
    EXPECT_EQ(appState.selectedReplace, 0);
    expectMarks(appState.replaceSwatches, 0);
    EXPECT_FALSE(view_.enabled[kIdReplaceDelete]);
    EXPECT_FALSE(view_.enabled[kIdReplaceEdit]);
    EXPECT_EQ(view_.shownCount(SwatchGroup::kReplace), 0);
    EXPECT_FALSE(view_.labelShown[0]);
  }
}

TEST_F(ColoursTest, DeletingBeyondTheShownSwatchesOfALongListStaysInside) {
  // A hand-edited settings file may hold more colours than the dialog shows.
  open(colours(20, 0x10), {});
  click(SwatchGroup::kTransparent, 11);
  coloursCommand(view_, kIdTransDelete);
  EXPECT_EQ(appState.transCount, 19);
  EXPECT_EQ(appState.transColors[11], 0x10u + 12);
  EXPECT_EQ(appState.transColors[19], 0u);
  EXPECT_EQ(appState.selectedTrans, 12);
  EXPECT_FALSE(view_.enabled[kIdTransAdd]);
  EXPECT_EQ(view_.shownCount(SwatchGroup::kTransparent), 12);
}

TEST_F(ColoursTest, CloseAndOkEndTheDialog) {
  open({}, {});
  coloursCommand(view_, kIdCancel);
  coloursCommand(view_, kIdOk);
  EXPECT_EQ(view_.closes, 2);
}

}  // namespace
