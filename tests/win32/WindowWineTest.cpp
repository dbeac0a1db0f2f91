// The real stub's main window and extraction run under Wine, driven through its windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"
#include "ui/WinHandles.h"

namespace szsfx::test {
namespace {

namespace fs = std::filesystem;
const wchar_t kBoxClass[] = L"#32770";
const wchar_t kFixed[] = L"Brambleloader SFX";

class StubWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = DefaultSettings();
    target_ = dir_ / "target";
    settings_.ExtractFolder.Set(target_);
  }

  // Builds and starts a self-extractor.
  bool Start(const std::string& archive = "tree.7z", const std::wstring& arguments = L"") {
    sfx_ = BuildSfx(dir_, settings_, archive);
    before_ = WorkFolders();
    return stub_.Start(Quoted(sfx_.path) + L" " + arguments);
  }
  // Builds and starts a self-extractor; true once its window is ready.
  bool Launch(const std::string& archive = "tree.7z", const std::wstring& arguments = L"") {
    if (!Start(archive, arguments)) return false;
    HWND form = WaitForReadyForm(stub_);
    if (form) form_ = FormView(form);
    return form != nullptr;
  }
  // A message box of the stub: its caption and text; answered with `button`.
  std::pair<std::wstring, std::wstring> Answer(int button) {
    HWND box = stub_.WaitForWindow(kBoxClass);
    if (!box) return {L"<no box>", L""};
    auto seen = std::make_pair(WindowText(box), MessageBoxText(box));
    PressButton(box, button);
    return seen;
  }
  bool NoWorkFolderLeft() { return WorkFolders() == before_; }
  std::string Tree() { return EngineData("tree"); }

  ScratchDir dir_;
  TSettingsRecord settings_{};
  std::string target_;
  SfxFiles sfx_;
  std::set<std::string> before_;
  TestProcess stub_;
  FormView form_{nullptr};
};

TEST_F(StubWindow, ReadyWindowShowsTextsLayoutAndStates) {
  settings_.Title.Set("Layout & Title");
  settings_.OverwriteMode = 1;
  ASSERT_TRUE(Launch());
  EXPECT_EQ(WindowText(form_.Window()), L"Layout & Title");
  EXPECT_EQ(form_.ClientSize().cx, 392);
  EXPECT_EQ(form_.ClientSize().cy, 216);
  struct Expected {
    int id;
    const wchar_t* text;
    bool enabled, visible;
  };
  const std::wstring folder = Widen(target_);
  const Expected controls[] = {
      {kIdDestinationLabel, L"E&xtract To:", true, true},
      {kIdLinkLabel, L"Created with Brambleloader  --  https://brambleloader.example/sfx", true, true},
      {kIdFileListLabel, L"&Files to Extract:", true, true},
      {kIdDestinationEdit, folder.c_str(), true, true},
      {kIdBrowseButton, L"...", true, true},
      {kIdExtractButton, L"&Extract", true, true},
      {kIdCancelButton, L"&Cancel", true, true},
      {kIdAboutButton, L"&About", true, true},
      {kIdFileList, nullptr, true, true},
      {kIdBanner, L"", true, true},
      {kIdProgressBar, nullptr, true, false},
      {kIdOverwriteGroup, L"&Existing Files - Overwrite Mode", true, true},
      {kIdConfirmRadio, L"C&onfirm", true, true},
      {kIdSkipRadio, L"&Skip", true, true},
      {kIdOverwriteRadio, L"O&verwrite", true, true},
  };
  for (const Expected& c : controls) {
    SCOPED_TRACE(c.id);
    if (c.text) {
      EXPECT_EQ(form_.Text(c.id), c.text);
    }
    const RECT r = form_.Bounds(c.id), expected = Edges(PlaceOf(c.id));
    EXPECT_EQ(r.left, expected.left);
    EXPECT_EQ(r.top, expected.top);
    EXPECT_EQ(r.right, expected.right);
    EXPECT_EQ(r.bottom, expected.bottom);
    EXPECT_EQ(form_.Enabled(c.id), c.enabled);
    EXPECT_EQ(form_.Visible(c.id), c.visible);
  }
  EXPECT_FALSE(form_.Checked(kIdConfirmRadio));
  EXPECT_TRUE(form_.Checked(kIdSkipRadio));
  EXPECT_FALSE(form_.Checked(kIdOverwriteRadio));
  EXPECT_TRUE(form_.IsDefault(kIdExtractButton));
  EXPECT_FALSE(form_.IsDefault(kIdCancelButton));
  EXPECT_EQ(form_.Focus(), form_.Item(kIdDestinationEdit));
  EXPECT_EQ(form_.ListCount(), 13);
  EXPECT_EQ(form_.ListSelected(), 13);
  form_.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
  EXPECT_TRUE(NoWorkFolderLeft());
}

TEST_F(StubWindow, AltLettersEscapeAndEnter) {
  settings_.Title.Set("Keys");
  ASSERT_TRUE(Launch());
  HWND edit = form_.Item(kIdDestinationEdit);
  PostMessageW(edit, WM_SYSCHAR, L'x', 0);  // the label's mark: shown, bound to nothing
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  Sleep(500);
  EXPECT_EQ(stub_.WaitForWindow(L"#32770", L"", 0), nullptr);
  EXPECT_TRUE(stub_.Running());
  EXPECT_EQ(form_.Focus(), edit);
  PostMessageW(edit, WM_SYSCHAR, L'a', 0);  // Alt+A: About
  const auto about = Answer(IDOK);
  EXPECT_EQ(about.first, L"Keys");
  EXPECT_EQ(about.second.rfind(L"This archive was created with the Brambleloader archiver.", 0), 0u);
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);  // Enter in the edit box: the default button, Extract
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(Tree(), target_, difference)) << difference;
}

TEST_F(StubWindow, TabMovesThroughTheControlsInCreationOrder) {
  settings_.OverwriteMode = 7;  // no radio button checked: each one takes the focus in turn
  ASSERT_TRUE(Launch());
  const int order[] = {kIdBrowseButton, kIdExtractButton, kIdCancelButton,   kIdAboutButton,    kIdFileList,
                       kIdConfirmRadio, kIdSkipRadio,     kIdOverwriteRadio, kIdDestinationEdit};
  std::vector<int> seen;
  for (size_t i = 0; i < std::size(order); ++i) {
    HWND before = form_.Focus();
    PostMessageW(before, WM_KEYDOWN, VK_TAB, 0);
    WaitUntil([&] { return form_.Focus() != before; }, 2000);
    seen.push_back(GetDlgCtrlID(form_.Focus()));
  }
  EXPECT_EQ(seen, std::vector<int>(std::begin(order), std::end(order)));
  form_.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
}

// Counts the pixels of one colour inside a control, as drawn on the screen.
int PixelsOf(HWND control, COLORREF colour) {
  RECT r;
  GetWindowRect(control, &r);
  const TWindowDc screen(nullptr);
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) count += GetPixel(screen.Get(), x, y) == colour;
  }
  return count;
}

TEST_F(StubWindow, LinkLabelTurnsRedUnderThePointer) {
  ASSERT_TRUE(Launch());
  HWND link = form_.Item(kIdLinkLabel);
  RECT r;
  GetWindowRect(link, &r);
  SetCursorPos(r.left + 2, r.top - 40);  // away from the label
  WaitUntil([&] { return PixelsOf(link, RGB(0, 0, 255)) > 50; }, 5000);
  EXPECT_GT(PixelsOf(link, RGB(0, 0, 255)), 50) << "blue while the pointer is outside";
  EXPECT_EQ(PixelsOf(link, RGB(255, 0, 0)), 0);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  WaitUntil([&] { return PixelsOf(link, RGB(255, 0, 0)) > 50; }, 5000);
  EXPECT_GT(PixelsOf(link, RGB(255, 0, 0)), 50) << "red while the pointer is over it";
  SetCursorPos(r.left + 2, r.top - 40);
  WaitUntil([&] { return PixelsOf(link, RGB(0, 0, 255)) > 50; }, 5000);
  EXPECT_GT(PixelsOf(link, RGB(0, 0, 255)), 50) << "blue again once it has left";
  form_.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
}

TEST_F(StubWindow, OverwriteModeGroupAndListSettings) {
  struct Case {
    uint8_t overwrite, hideGroup;
    int32_t hideList;
    int checked;  // 0 none
  };
  for (const Case& c : {Case{0, 2, 0, kIdOverwriteRadio}, Case{2, 1, 1, kIdConfirmRadio}, Case{7, 0, 2, 0}}) {
    SCOPED_TRACE(c.overwrite);
    settings_.OverwriteMode = c.overwrite;
    settings_.HideOverwriteGroup = c.hideGroup;
    settings_.HideFileList = c.hideList;
    TestProcess stub;
    SfxFiles sfx = BuildSfx(dir_, settings_);
    ASSERT_TRUE(stub.Start(Quoted(sfx.path)));
    HWND window = WaitForReadyForm(stub);
    ASSERT_NE(window, nullptr);
    FormView form(window);
    for (int id : {kIdConfirmRadio, kIdSkipRadio, kIdOverwriteRadio})
      EXPECT_EQ(form.Checked(id), id == c.checked) << id;
    EXPECT_EQ(form.Visible(kIdOverwriteGroup), c.hideGroup != 1);
    EXPECT_EQ(form.Visible(kIdFileList), c.hideList == 0);
    EXPECT_EQ(form.Visible(kIdFileListLabel), c.hideList == 0);
    EXPECT_EQ(form.ListSelected(), 13) << "a hidden list is still filled and selected";
    form.Click(kIdCancelButton);
    EXPECT_EQ(stub.WaitForExit(), 2u);
  }
}

TEST_F(StubWindow, ExtractExtractsTheWholeArchiveAndCloses) {
  ASSERT_TRUE(Launch());
  form_.Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(Tree(), target_, difference)) << difference;
  EXPECT_TRUE(NoWorkFolderLeft());
}

TEST_F(StubWindow, OnlyTheSelectedLinesAreExtracted) {
  ASSERT_TRUE(Launch());
  HWND list = form_.Item(kIdFileList);
  SendMessageW(list, LB_SETSEL, FALSE, -1);
  for (int i = 0; i < form_.ListCount(); ++i) {
    const std::wstring line = form_.ListLine(i);
    if (line == L"readme.txt" || line == L"docs\\sub\\b.txt") SendMessageW(list, LB_SETSEL, TRUE, i);
  }
  ASSERT_EQ(form_.ListSelected(), 2);
  form_.Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_TRUE(fs::exists(target_ + "\\readme.txt"));
  EXPECT_TRUE(fs::exists(target_ + "\\docs\\sub\\b.txt"));
  EXPECT_FALSE(fs::exists(target_ + "\\docs\\a.txt"));
  EXPECT_FALSE(fs::exists(target_ + "\\zero.txt"));
}

TEST_F(StubWindow, ProgressAndItemStatusDuringALargeRunThenCancel) {
  // An existing second part makes the run stop at the overwrite question: a fixed point
  // in the middle of the run, whatever the machine's speed.
  fs::create_directories(target_);
  WriteFile(target_ + "\\part2.bin", Bytes{'o', 'l', 'd'});
  settings_.OverwriteMode = 2;
  ASSERT_TRUE(Launch("cancel.7z"));
  form_.Click(kIdExtractButton);
  HWND question = stub_.WaitForWindow(L"#32770");
  ASSERT_NE(question, nullptr);
  const std::wstring status = L"Currently extracting:  " + Widen(target_) + L"\\part2.bin";
  WaitUntil([&] { return form_.Text(kIdFileListLabel) == status; }, 5000);
  EXPECT_EQ(form_.Text(kIdFileListLabel), status);
  EXPECT_GT(form_.ProgressPosition(), 0);
  EXPECT_TRUE(form_.Visible(kIdProgressBar));
  EXPECT_FALSE(form_.Visible(kIdLinkLabel));
  EXPECT_FALSE(form_.Enabled(kIdExtractButton));
  EXPECT_FALSE(form_.Enabled(kIdDestinationEdit));
  EXPECT_FALSE(form_.Enabled(kIdOverwriteGroup));
  EXPECT_TRUE(form_.IsDefault(kIdCancelButton));
  form_.Click(kIdCancelButton);  // Cancel, handled while the question is open
  Sleep(300);
  PressButton(question, IDNO);
  EXPECT_EQ(stub_.WaitForExit(), 2u) << "a cancelled run";
  EXPECT_TRUE(NoWorkFolderLeft()) << "the clean-up still runs after a cancel";
  EXPECT_EQ(ReadFile(target_ + "\\part2.bin"), (Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(fs::exists(target_ + "\\part4.bin")) << "nothing is opened after the cancel";
}

TEST_F(StubWindow, CloseBoxDuringARunActsAsCancel) {
  ASSERT_TRUE(Launch("cancel.7z"));
  form_.Click(kIdExtractButton);
  PostMessageW(form_.Window(), WM_CLOSE, 0, 0);  // handled inside the run, which has begun
  EXPECT_EQ(stub_.WaitForExit(), 2u);
  EXPECT_FALSE(fs::exists(target_ + "\\part4.bin") && fs::file_size(target_ + "\\part4.bin") == 8000000u);
  EXPECT_TRUE(NoWorkFolderLeft());
}

TEST_F(StubWindow, EmptyAndUnusableDestinationsKeepTheWindowReady) {
  settings_.Title.Set("Dest Title");
  ASSERT_TRUE(Launch());
  form_.SetEditText(L"");
  form_.Click(kIdExtractButton);
  EXPECT_EQ(Answer(IDOK), std::make_pair(std::wstring(L"Dest Title"), std::wstring(L"Error in directory ..")));
  WriteFile(dir_ / "plain-file", Bytes{1, 2, 3});
  form_.SetEditText(Widen(dir_ / "plain-file") + L"\\sub");
  form_.Click(kIdExtractButton);
  EXPECT_EQ(Answer(IDOK).second,
            L"The destination folder cannot be created or written to. Please choose another folder.");
  Sleep(200);
  EXPECT_TRUE(form_.Enabled(kIdExtractButton));
  EXPECT_TRUE(form_.Visible(kIdLinkLabel));

  // A missing folder with missing parents is created; a file with the probe's name stays.
  const std::string deep = dir_ / "a\\b\\c";
  fs::create_directories(dir_ / "a");
  WriteFile(dir_ / "a\\_BL$TEMP$.$$$", Bytes{'k', 'e', 'e', 'p'});
  form_.SetEditText(Widen(deep));
  form_.Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(Tree(), deep, difference)) << difference;
  EXPECT_EQ(ReadFile(dir_ / "a\\_BL$TEMP$.$$$"), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST_F(StubWindow, ProbeLeavesAnExistingProbeNameAlone) {
  fs::create_directories(target_);
  WriteFile(target_ + "\\_BL$TEMP$.$$$", Bytes{'o', 'l', 'd'});
  ASSERT_TRUE(Launch());
  form_.Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(ReadFile(target_ + "\\_BL$TEMP$.$$$"), (Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(fs::exists(target_ + "\\_BL$TEMP$.$$$$"));
}

class Overwrite : public StubWindow {
 protected:
  void PlantOldFile() {
    fs::create_directories(target_);
    WriteFile(target_ + "\\readme.txt", Bytes{'o', 'l', 'd'});
  }
  Bytes Readme() { return ReadFile(target_ + "\\readme.txt"); }
  Bytes NewReadme() { return ReadFile(Tree() + "\\readme.txt"); }
};

TEST_F(Overwrite, SkipKeepsAndOverwriteReplaces) {
  PlantOldFile();
  settings_.OverwriteMode = 1;
  ASSERT_TRUE(Start("tree.7z", L"-a"));
  EXPECT_EQ(stub_.WaitForExit(), 0u) << "a skipped file is a success";
  EXPECT_EQ(Readme(), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(ReadFile(target_ + "\\docs\\a.txt"), ReadFile(Tree() + "\\docs\\a.txt"));

  TestProcess second;
  settings_.OverwriteMode = 0;
  SfxFiles sfx = BuildSfx(dir_, settings_);
  ASSERT_TRUE(second.Start(Quoted(sfx.path) + L" -a"));
  EXPECT_EQ(second.WaitForExit(), 0u);
  EXPECT_EQ(Readme(), NewReadme());
}

TEST_F(Overwrite, OverwriteReplacesAReadOnlyFileAndKeepsNoTemporaryFile) {
  PlantOldFile();
  SetFileAttributesA((target_ + "\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Start("tree.7z", L"-s"));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(Readme(), NewReadme());
  std::string difference;
  EXPECT_TRUE(SameTree(Tree(), target_, difference)) << difference;
}

TEST_F(Overwrite, ConfirmAsksAndNoKeepsYesReplaces) {
  PlantOldFile();
  WriteFile(target_ + "\\zero.txt", Bytes{'z'});
  settings_.OverwriteMode = 2;
  ASSERT_TRUE(Launch());
  form_.Click(kIdExtractButton);
  std::map<std::wstring, std::wstring> asked;
  for (int i = 0; i < 2; ++i) {
    HWND box = stub_.WaitForWindow(kBoxClass);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(box), kFixed);
    const std::wstring text = MessageBoxText(box);
    const bool readme = text.find(L"readme.txt") != std::wstring::npos;
    EXPECT_EQ(text, Widen(target_) + (readme ? L"\\readme.txt" : L"\\zero.txt") + L"\r...already exists, overwrite?");
    PressButton(box, readme ? IDNO : IDYES);
    Sleep(300);
  }
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(Readme(), (Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(ReadFile(target_ + "\\zero.txt").empty()) << "Yes replaced it";
}

TEST_F(Overwrite, CancelInTheQuestionEndsTheRunAndCleansUp) {
  PlantOldFile();
  settings_.OverwriteMode = 2;
  settings_.ShowDoneMessage = 1;
  ASSERT_TRUE(Launch());
  form_.Click(kIdExtractButton);
  HWND box = stub_.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  PressButton(box, IDCANCEL);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
  EXPECT_EQ(stub_.WaitForWindow(kBoxClass, L"", 0), nullptr) << "no outcome message";
  EXPECT_EQ(Readme(), (Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(NoWorkFolderLeft()) << "the copy of the archive and the library are removed";
}

TEST_F(StubWindow, DamagedArchiveShowsMessage37AndEnds) {
  // A self-extractor cut short, as by an interrupted download (the builder itself refuses
  // an incomplete archive): a third of the archive is missing from its end.
  sfx_ = BuildSfx(dir_, settings_);
  Bytes whole = ReadFile(sfx_.path);
  whole.resize(whole.size() - ReadFile(EngineData("tree.7z")).size() / 3);
  WriteFile(sfx_.path, whole);
  before_ = WorkFolders();
  ASSERT_TRUE(stub_.Start(Quoted(sfx_.path)));
  EXPECT_EQ(Answer(IDOK), std::make_pair(std::wstring(kFixed), std::wstring(L"Error reading archive.")));
  EXPECT_EQ(stub_.WaitForExit(), 1u);
  EXPECT_TRUE(NoWorkFolderLeft()) << "the copy of the archive does not stay in the temp path";
}

TEST_F(StubWindow, FailedItemsGiveMessage41AndNoDoneMessage) {
  settings_.ShowDoneMessage = 1;
  settings_.Title.Set("Fail Title");
  ASSERT_TRUE(Start("hostile.7z", L"-a"));
  EXPECT_EQ(Answer(IDOK),
            std::make_pair(std::wstring(L"Fail Title"), std::wstring(L"The selected file(s) couldn't get extracted.")));
  EXPECT_EQ(stub_.WaitForExit(), 1u);
  EXPECT_TRUE(fs::exists(target_ + "\\good.txt"));
}

TEST_F(StubWindow, DoneMessageAfterSuccessOnly) {
  settings_.ShowDoneMessage = 1;
  ASSERT_TRUE(Launch());
  form_.Click(kIdExtractButton);
  EXPECT_EQ(Answer(IDOK), std::make_pair(std::wstring(kFixed), std::wstring(L"Successfully completed the operation.")));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
}

TEST_F(StubWindow, SilentOptionExtractsIntoAFolderWithSpacesAndOverwrites) {
  const std::string spaced = dir_ / "folder with spaces";
  fs::create_directories(spaced);
  WriteFile(spaced + "\\readme.txt", Bytes{'o', 'l', 'd'});
  settings_.OverwriteMode = 2;
  sfx_ = BuildSfx(dir_, settings_);
  ASSERT_TRUE(stub_.Start(Quoted(sfx_.path) + L" -s -d " + Quoted(spaced)));
  EXPECT_EQ(stub_.WaitForExit(), 0u) << "no question, no box";
  std::string difference;
  EXPECT_TRUE(SameTree(Tree(), spaced, difference)) << difference;
}

// A silent run never waits for a person: whatever happens, it ends with its exit code,
// with no message box and no window left, and the folder it was given is the folder used.
TEST_F(StubWindow, SilentRunsEndWithTheirExitCodeAndShowNothing) {
  WriteFile(dir_ / "plain-file", Bytes{1, 2, 3});
  const fs::path before = fs::current_path();
  fs::current_path(dir_.path());  // the stub inherits it: "ab" is made in the scratch folder
  const fs::path current = fs::current_path();
  std::string longFolder = dir_ / "long";
  while (longFolder.size() < 300) longFolder += "\\folder-of-a-long-destination";
  struct Case {
    const char* what;
    const char* archive;
    std::wstring arguments;
    bool cutShort;  // the self-extractor loses the end of its archive
    DWORD code;
    std::string extractedInto;  // the tree's files are there afterwards
  };
  const Case cases[] = {
      {"success, done message set", "tree.7z", L"", false, 0, target_},
      {"unusable destination", "tree.7z", L"-d " + Quoted(dir_ / "plain-file\\sub"), false, 1, ""},
      {"damaged archive", "tree.7z", L"", true, 1, ""},
      {"failed item", "hostile.7z", L"", false, 1, ""},
      {"confirm mode after -s", "tree.7z", L"-q", false, 0, target_},
      {"short relative folder", "tree.7z", L"-d ab", false, 0, (current / "ab").string()},
      {"folder beyond 255 characters", "tree.7z", L"-d " + Quoted(longFolder), false, 0, longFolder},
  };
  settings_.ShowDoneMessage = 1;
  settings_.OverwriteMode = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveWideTree(Widen(target_));
    fs::create_directories(target_);
    WriteFile(target_ + "\\readme.txt", Bytes{'o', 'l', 'd'});  // confirm mode would ask
    sfx_ = BuildSfx(dir_, settings_, c.archive);
    if (c.cutShort) {
      Bytes whole = ReadFile(sfx_.path);
      whole.resize(whole.size() - 200);
      WriteFile(sfx_.path, whole);
    }
    before_ = WorkFolders();
    ASSERT_TRUE(stub_.Start(Quoted(sfx_.path) + L" -s " + c.arguments));
    bool boxShown = false;
    WaitUntil(
        [&] {
          boxShown = boxShown || stub_.WaitForWindow(kBoxClass, L"", 0) != nullptr;
          return !stub_.Running();
        },
        60000);
    EXPECT_FALSE(boxShown);
    EXPECT_EQ(stub_.WaitForExit(), c.code);
    EXPECT_TRUE(NoWorkFolderLeft());
    if (c.extractedInto.empty()) continue;
    EXPECT_EQ(ReadWideTree(Widen(c.extractedInto)), ReadWideTree(Widen(Tree())));
  }
  fs::current_path(before);
  RemoveWideTree(Widen(dir_.path()));
}

TEST_F(StubWindow, AutoOptionWithConfirmModeAsks) {
  fs::create_directories(target_);
  WriteFile(target_ + "\\readme.txt", Bytes{'o', 'l', 'd'});
  settings_.OverwriteMode = 2;
  sfx_ = BuildSfx(dir_, settings_);
  ASSERT_TRUE(stub_.Start(Quoted(sfx_.path) + L" -a"));
  auto seen = Answer(IDYES);
  EXPECT_EQ(seen.first, kFixed);
  EXPECT_NE(seen.second.find(L"already exists, overwrite?"), std::wstring::npos);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(ReadFile(target_ + "\\readme.txt"), ReadFile(Tree() + "\\readme.txt"));
}

}  // namespace
}  // namespace szsfx::test
