#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_support.h"
#include "support/process.h"
#include "support/recorder.h"
#include "ui/editor.h"
#include "ui/state.h"
#include "ui/win32/choosers.h"

namespace {

// The file name field of the system's file dialogs: a combo box in the
// Explorer-style dialog of Windows, an edit control in older templates.
void typeFileName(HWND dialog, const std::string& text) {
  for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */}) {
    if (GetDlgItem(dialog, id) != nullptr) SetDlgItemTextA(dialog, id, text.c_str());
  }
}

// Answers a system file dialog: cancels it when `typed` is empty, otherwise
// enters the name and confirms. Returns the dialog's title.
std::string answerFileDialog(HWND dialog, const std::string& typed) {
  const std::string title = windowText(dialog);
  if (typed.empty()) {
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  } else {
    typeFileName(dialog, typed);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  }
  return title;
}

class RealChoosersTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = prepareEditorState();
    writeFileBytes(dir_ + "\\a.bmp", "BM");
    writeFileBytes(dir_ + "\\b.bmp", "BM");
    writeFileBytes(dir_ + "\\noext", "BM");
  }
  void TearDown() override {
    EXPECT_EQ(takeShownErrors(), std::vector<ShownError>{});
    resetAppState();
  }

  std::string dir_;
};

TEST_F(RealChoosersTest, OpenHandsBackOneFullPathOrTheMultiSelectionForm) {
  struct Case {
    const char* what;
    std::string typed;  // empty: cancel
    int result;
    std::string bytes;  // the buffer's start
  };
  const Case cases[] = {
      {"one file", dir_ + "\\a.bmp", 1, dir_ + "\\a.bmp" + '\0'},
      {"two files", "\"a.bmp\" \"b.bmp\"", 2, dir_ + '\0' + "a.bmp" + '\0' + "b.bmp" + '\0' + '\0'},
      // One file without an extension is still one file, not a selection.
      {"one file without extension", dir_ + "\\noext", 1, dir_ + "\\noext" + '\0'},
      {"cancelled", "", 0, std::string(1, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A name given in the buffer makes the chooser start in its folder.
    std::vector<char> buffer(kOpenBufferSize + 2, '\0');
    const std::string start = dir_ + "\\a.bmp";
    std::copy(start.begin(), start.end(), buffer.begin());
    std::string title;
    int result = -1;
    const ModalResult modal = driveModal(
        nullptr, [&] { result = chooseOpenFiles(buffer.data(), kOpenTitle, kOpenFilter, nullptr); },
        [&](HWND dialog) { title = answerFileDialog(dialog, c.typed); });
    ASSERT_TRUE(modal.driven);
    EXPECT_EQ(modal.others, std::vector<std::string>{});
    EXPECT_EQ(title, "111");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(std::string(buffer.data(), c.bytes.size()), c.bytes);
  }
}

TEST_F(RealChoosersTest, SaveTakesANewNameAndLeavesTheBufferAloneWhenCancelled) {
  struct Case {
    const char* what;
    std::string typed;  // empty: cancel
    bool chosen;
    std::string buffer;
  };
  const Case cases[] = {
      {"a new file", dir_ + "\\new.anim", true, dir_ + "\\new.anim"},
      {"no extension added", dir_ + "\\plain", true, dir_ + "\\plain"},
      {"cancelled", "", false, "keep me"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    char buffer[kPathCapacity] = "keep me";
    std::string title;
    bool chosen = !c.chosen;
    const ModalResult modal = driveModal(
        nullptr, [&] { chosen = chooseSaveFile(buffer, kSaveTitle, kSaveFilter, nullptr); },
        [&](HWND dialog) { title = answerFileDialog(dialog, c.typed); });
    ASSERT_TRUE(modal.driven);
    EXPECT_EQ(modal.others, std::vector<std::string>{});
    EXPECT_EQ(title, "Save Anim file");
    EXPECT_EQ(chosen, c.chosen);
    EXPECT_EQ(std::string(buffer), c.buffer);
  }
}

TEST_F(RealChoosersTest, ColourChooserConfirmsOrCancels) {
  for (bool confirm : {true, false}) {
    uint32_t colour = 0x00123456;
    bool chosen = !confirm;
    const ModalResult modal = driveModal(
        nullptr, [&] { chosen = chooseColour(nullptr, colour); },
        [&](HWND dialog) { SendMessageA(dialog, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0); });
    ASSERT_TRUE(modal.driven);
    EXPECT_EQ(chosen, confirm);
    // The chooser starts at the given colour, so confirming keeps it.
    EXPECT_EQ(colour, 0x00123456u);
  }
}

}  // namespace
