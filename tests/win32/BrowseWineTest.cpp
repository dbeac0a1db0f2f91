// The shell's folder dialog through the stub's browse button, under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

const wchar_t kBrowseCaption[] = L"Select a folder to extract to";

HWND TreeOf(HWND dialog) { return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr); }

class BrowseButton : public ::testing::Test {
 protected:
  void SetUp() override {
    TSettingsRecord settings = DefaultSettings();
    settings.ExtractFolder.Set("C:\\Before");
    sfx_ = BuildSfx(dir_, settings);
    ASSERT_TRUE(stub_.Start(Quoted(sfx_.path)));
    HWND window = WaitForReadyForm(stub_);
    ASSERT_NE(window, nullptr);
    form_ = FormView(window);
  }
  HWND OpenBrowser() {
    form_.Click(kIdBrowseButton);
    return stub_.WaitForWindow(L"#32770", kBrowseCaption);
  }
  void CloseStub() {
    form_.Click(kIdCancelButton);
    EXPECT_EQ(stub_.WaitForExit(), 2u);
  }

  ScratchDir dir_;
  SfxFiles sfx_;
  TestProcess stub_;
  FormView form_{nullptr};
};

TEST_F(BrowseButton, ChoosingAFolderReplacesTheDestinationAndFocusesIt) {
  HWND dialog = OpenBrowser();
  ASSERT_NE(dialog, nullptr) << "the shell's folder dialog with message 17 as its caption";
  EXPECT_TRUE(IsWindowEnabled(form_.Window())) << "no owner: the main window stays enabled";
  HWND tree = TreeOf(dialog);
  ASSERT_NE(tree, nullptr);
  // The tree's root is the desktop.
  LPARAM root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, root);
  PressButton(dialog, IDOK);
  char desktop[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
  WaitUntil([&] { return form_.Text(kIdDestinationEdit) != L"C:\\Before"; }, 10000, 50);
  EXPECT_EQ(Narrow(form_.Text(kIdDestinationEdit)), desktop);
  EXPECT_EQ(form_.Focus(), form_.Item(kIdDestinationEdit));
  CloseStub();
}

// Cancel, and a choice that has no file-system path (the computer itself, the network),
// leave the destination as it was; a folder replaces it. Every item on the desktop is
// chosen once (their names live in the stub's process, out of this one's reach).
TEST_F(BrowseButton, CancelOrAChoiceWithoutAPathLeavesTheDestinationAlone) {
  HWND dialog = OpenBrowser();
  ASSERT_NE(dialog, nullptr);
  PressButton(dialog, IDCANCEL);
  WaitUntil([&] { return !IsWindow(dialog); }, 10000, 50);
  EXPECT_EQ(form_.Text(kIdDestinationEdit), L"C:\\Before");

  int kept = 0, replaced = 0;
  for (int index = 0;; ++index) {
    SCOPED_TRACE(index);
    dialog = OpenBrowser();
    ASSERT_NE(dialog, nullptr);
    HWND tree = TreeOf(dialog);
    LPARAM item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, item);
    item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, item);
    for (int i = 0; i < index && item; ++i) item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, item);
    if (!item) {
      PressButton(dialog, IDCANCEL);
      WaitUntil([&] { return !IsWindow(dialog); }, 10000, 50);
      break;
    }
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, item);
    PressButton(dialog, IDOK);
    WaitUntil([&] { return !IsWindow(dialog); }, 10000, 50);
    Sleep(200);
    const std::wstring field = form_.Text(kIdDestinationEdit);
    EXPECT_FALSE(field.empty()) << "the field was emptied";
    if (field == L"C:\\Before") {
      ++kept;
    } else {
      ++replaced;
      form_.SetEditText(L"C:\\Before");
    }
  }
  EXPECT_GT(kept, 0) << "no item without a path on the desktop";
  EXPECT_GT(replaced, 0) << "no folder on the desktop";
  CloseStub();
}

}  // namespace
}  // namespace szsfx::test
