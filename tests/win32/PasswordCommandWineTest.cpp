// The password window and the after-extraction command of the real stub under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"
#include "ui/PasswordWindow.h"

namespace szsfx::test {
namespace {

namespace fs = std::filesystem;

class Secured : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = DefaultSettings();
    target_ = dir_ / "target";
    settings_.ExtractFolder.Set(target_);
  }
  bool Start(const std::string& archive, const std::wstring& arguments = L"") {
    sfx_ = BuildSfx(dir_, settings_, archive);
    stub_ = std::make_unique<TestProcess>();  // a new process for every start
    return stub_->Start(Quoted(sfx_.path) + L" " + arguments);
  }
  // Starts the encrypted archive's self-extractor, presses Extract in its ready window and
  // waits for the password window; `form` is the main window. nullptr when either is missing.
  HWND OpenPasswordWindow(HWND& form) {
    form = Start("aes.7z") ? WaitForReadyForm(*stub_) : nullptr;
    if (!form) return nullptr;
    FormView(form).Click(kIdExtractButton);
    return stub_->WaitForWindow(kPasswordWindowClass);
  }
  // Waits for the password window; types `text` into it and presses `button`.
  std::wstring AnswerPassword(const std::wstring& text, int button, std::wstring* shownText = nullptr) {
    HWND window = stub_->WaitForWindow(kPasswordWindowClass);
    if (!window) return L"<no password window>";
    HWND owner = GetWindow(window, GW_OWNER);
    owners_.push_back(owner ? WindowClass(owner) + (IsWindowVisible(owner) ? L", shown" : L", hidden") : L"none");
    HWND edit = GetDlgItem(window, kIdPasswordEdit);
    if (shownText) *shownText = WindowText(edit);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    std::wstring caption = WindowText(window);
    if (button == IDCLOSE) {
      PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
      PostMessageW(GetDlgItem(window, button == IDOK ? kIdPasswordOkButton : kIdPasswordCancelButton), BM_CLICK, 0, 0);
    }
    WaitUntil([&] { return !IsWindowVisible(window); });
    return caption;
  }
  // Answers every message box with OK, and each password window with the next of
  // `passwords` (kCancel: the Cancel button; once they are used up, `passwordButton` with an
  // empty box), until the stub ends (at most a minute); returns the box texts.
  std::vector<std::wstring> BoxesUntilExit(DWORD& code, int passwordButton = IDCANCEL,
                                           std::vector<std::wstring> passwords = {}) {
    std::vector<std::wstring> texts;
    size_t next = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < Scaled(60000);) {
      if (HWND box = stub_->WaitForWindow(L"#32770", L"", 200)) {
        texts.push_back(MessageBoxText(box));
        PressButton(box, IDOK);
        WaitUntil([&] { return !IsWindow(box); }, 2000);
      } else if (stub_->WaitForWindow(kPasswordWindowClass, L"", 200)) {
        const bool given = next < passwords.size() && passwords[next] != kCancel;
        AnswerPassword(given ? passwords[next] : L"", next < passwords.size() && given ? IDOK : passwordButton);
        ++next;
      } else if (!stub_->Running()) {
        break;
      }
    }
    code = stub_->WaitForExit(1000);
    return texts;
  }
  static constexpr const wchar_t* kCancel = L"<cancel>";
  std::string Marker() {
    std::ifstream in(target_ + "\\tools\\marker.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::vector<std::wstring> owners_;  // of each password window answered: its class, shown or hidden
  ScratchDir dir_;
  TSettingsRecord settings_{};
  std::string target_;
  SfxFiles sfx_;
  std::unique_ptr<TestProcess> stub_;
};

TEST_F(Secured, OnePasswordWindowForAnEncryptedArchive) {
  HWND form = nullptr;
  HWND password = OpenPasswordWindow(form);
  ASSERT_NE(password, nullptr);
  EXPECT_FALSE(IsWindowEnabled(form)) << "the main window waits while the password window is shown";
  EXPECT_EQ(WindowText(GetDlgItem(password, kIdPasswordPrompt)), L"");
  EXPECT_EQ(WindowText(GetDlgItem(password, kIdPasswordOkButton)), L"&OK");
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(password, kIdPasswordEdit), GWL_STYLE) & ES_PASSWORD)
      << "the password shows as bullets";
  const std::wstring caption = AnswerPassword(L"Secret", IDOK);
  EXPECT_EQ(caption.rfind(L"Please enter the password for " + Widen(target_) + L"\\", 0), 0u) << Narrow(caption);
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  EXPECT_EQ(stub_->WaitForWindow(kPasswordWindowClass, L"", 0), nullptr);
  std::string difference;
  EXPECT_TRUE(SameTree(EngineData("tree"), target_, difference)) << difference;
}

// The password window has no dialog navigation: Tab and Enter leave the focus and the
// window as they are; Alt+O presses OK.
TEST_F(Secured, AltLetterPressesAPasswordButtonWhileTabAndEnterHaveNoBinding) {
  HWND form = nullptr;
  HWND password = OpenPasswordWindow(form);
  ASSERT_NE(password, nullptr);
  HWND edit = GetDlgItem(password, kIdPasswordEdit);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Secret"));
  WaitUntil([&] { return FormView(password).Focus() == edit; }, 2000);
  PostMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  Sleep(500);
  EXPECT_TRUE(IsWindowVisible(password));
  EXPECT_EQ(FormView(password).Focus(), edit) << "Tab moved the focus";
  PostMessageW(edit, WM_SYSCHAR, L'o', 0);  // Alt+O: OK
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(EngineData("tree"), target_, difference)) << difference;
}

TEST_F(Secured, CancelCloseBoxAndEmptyOkEndAsCancelledWithoutSuccessMessage) {
  settings_.ShowDoneMessage = 1;
  for (int button : {IDCANCEL, IDCLOSE, IDOK}) {
    SCOPED_TRACE(button);
    RemoveTree(target_);  // no existing file may ask its own question first
    ASSERT_TRUE(Start("aes.7z", L"-a"));
    EXPECT_NE(AnswerPassword(L"", button), L"<no password window>");
    DWORD code = 0;
    EXPECT_EQ(BoxesUntilExit(code, button), std::vector<std::wstring>{});
    EXPECT_EQ(code, 2u);
  }
}

// A wrong password is told ("Incorrect Password") and asked again, three times in all;
// the items it failed are extracted with the next one, and none of them ever stays as a
// file with undecodable bytes: what is on disk afterwards is exactly right.
TEST_F(Secured, AWrongPasswordIsAskedAgain) {
  const std::wstring wrong = L"Incorrect Password", failed = L"The selected file(s) couldn't get extracted.";
  struct Case {
    const char* archive;
    std::wstring arguments;
    std::vector<std::wstring> passwords, boxes;
    DWORD code;
  };
  const Case cases[] = {
      {"aes.7z", L"-a", {L"wrong", L"Secret"}, {wrong}, 0},
      {"aes.7z", L"-a", {L"wrong", L"wrong2", L"wrong3"}, {wrong, wrong, failed}, 1},
      {"aes.7z", L"-a", {L"wrong", kCancel}, {wrong}, 2},
      {"aes_headers.7z", L"-a", {L"wrong", L"Secret"}, {wrong}, 0},
      {"aes_headers.7z", L"-a", {L"wrong", L"wrong2", L"wrong3"}, {wrong, wrong, L"Error reading archive."}, 1},
      // A silent run makes its windows only for the password question: the same window,
      // owned by the hidden main window; no other box but the wrong password's.
      {"aes.7z", L"-s", {L"wrong", L"Secret"}, {wrong}, 0},
      {"aes.7z", L"-s", {kCancel}, {}, 2},
      {"aes_headers.7z", L"-s", {L"wrong", L"Secret"}, {wrong}, 0},
      {"aes_headers.7z", L"-s", {L"wrong", L"wrong2", L"wrong3"}, {wrong, wrong}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + " " + Narrow(c.arguments) + " " + std::to_string(c.passwords.size()) +
                 " passwords");
    RemoveWideTree(Widen(target_));  // read-only files too: no existing file may ask its own question
    ASSERT_TRUE(Start(c.archive, c.arguments));
    DWORD code = 0;
    owners_.clear();
    EXPECT_EQ(BoxesUntilExit(code, IDCANCEL, c.passwords), c.boxes);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(owners_, std::vector<std::wstring>(c.passwords.size(), std::wstring(kMainWindowClass) + L", hidden"));
    const std::string tree = EngineData("tree");
    std::string difference;
    if (c.code == 0) {
      EXPECT_TRUE(SameTree(tree, target_, difference)) << difference;
    }
    if (!fs::exists(target_)) continue;
    for (const auto& e : fs::recursive_directory_iterator(target_)) {
      if (!e.is_regular_file()) continue;
      const std::string name = fs::relative(e.path(), target_).string();
      EXPECT_EQ(name.find("~szsfx"), std::string::npos) << name;
      EXPECT_EQ(ReadFile(e.path().string()), ReadFile((fs::path(tree) / name).string())) << name;
    }
  }
}

// The library asks once per open or extract, so a Cancel while encrypted headers are
// opened ends the preparation: cancelled, with no error shown.
TEST_F(Secured, CancelWhileEncryptedHeadersAreOpenedEndsAsCancelled) {
  ASSERT_TRUE(Start("aes_headers.7z"));
  EXPECT_EQ(AnswerPassword(L"typed before", IDCANCEL), L"Please enter the password for ");
  DWORD code = 0;
  EXPECT_EQ(BoxesUntilExit(code), std::vector<std::wstring>{});
  EXPECT_EQ(code, 2u);
}

TEST_F(Secured, EncryptedHeadersAskDuringThePreparation) {
  ASSERT_TRUE(Start("aes_headers.7z"));
  EXPECT_EQ(AnswerPassword(L"Secret", IDOK), L"Please enter the password for ");
  HWND form = WaitForReadyForm(*stub_);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(FormView(form).ListCount(), 13);
  FormView(form).Click(kIdExtractButton);
  EXPECT_EQ(stub_->WaitForExit(), 0u) << "the stored password answers the run's requests";
  std::string difference;
  EXPECT_TRUE(SameTree(EngineData("tree"), target_, difference)) << difference;
}

TEST_F(Secured, CommandStartsFromTheDestinationOnlyAfterACompleteRun) {
  settings_.RunCommand.Set("tools\\marker.exe");
  ASSERT_TRUE(Start("command.7z", L"-s"));
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  WaitUntil([&] { return !Marker().empty(); }, 15000, 100);
  EXPECT_EQ(Marker(), "cwd=" + target_ + "\\tools\nargs=\n");

  // A failed item (a folder stands where a file goes): no command, the program left from
  // the run before does not start.
  fs::remove(target_ + "\\tools\\marker.txt");
  fs::remove(target_ + "\\readme.txt");
  fs::create_directories(target_ + "\\readme.txt");
  ASSERT_TRUE(Start("command.7z", L"-s"));
  DWORD code = 0;
  EXPECT_EQ(BoxesUntilExit(code), std::vector<std::wstring>{}) << "a silent run shows nothing";
  EXPECT_EQ(code, 1u);
  Sleep(2000);
  EXPECT_EQ(Marker(), "");

  // A cancelled run neither. The cancel comes before anything is extracted, so the
  // program is there from an earlier installation.
  RemoveTree(target_);
  fs::create_directories(target_ + "\\tools");
  fs::copy_file(EngineData("command\\tools\\marker.exe"), target_ + "\\tools\\marker.exe");
  settings_.OverwriteMode = 1;
  ASSERT_TRUE(Start("command.7z"));
  HWND form = WaitForReadyForm(*stub_);
  ASSERT_NE(form, nullptr);
  FormView(form).Click(kIdExtractButton);
  FormView(form).Click(kIdCancelButton);
  EXPECT_EQ(stub_->WaitForExit(), 2u);
  Sleep(2000);
  EXPECT_EQ(Marker(), "");
  EXPECT_FALSE(fs::exists(target_ + "\\zz-large.bin") && fs::file_size(target_ + "\\zz-large.bin") == 16000000u);
}

TEST_F(Secured, OptionXSuppressesAndHashPassesArguments) {
  settings_.RunCommand.Set("tools\\marker.exe");
  ASSERT_TRUE(Start("command.7z", L"-s -x"));
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  Sleep(2000);
  EXPECT_EQ(Marker(), "") << "-x: nothing started";

  RemoveTree(target_);
  ASSERT_TRUE(Start("command.7z", L"-s -# one \"two words\""));
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  WaitUntil([&] { return !Marker().empty(); }, 15000, 100);
  EXPECT_EQ(Marker(), "cwd=" + target_ + "\\tools\nargs=one \"two words\"\n") << "one argument of two words";
}

TEST_F(Secured, InfCommandRunsTheSystemInstaller) {
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrambleloaderTest");
  settings_.RunCommand.Set("setup\\DRIVER.INF");
  ASSERT_TRUE(Start("command.7z", L"-s"));
  EXPECT_EQ(stub_->WaitForExit(), 0u);
  char value[16] = "";
  WaitUntil(
      [&] {
        DWORD size = sizeof value;
        return RegGetValueA(HKEY_CURRENT_USER, "Software\\BrambleloaderTest", "Installed", RRF_RT_REG_SZ, nullptr,
                            value, &size) == ERROR_SUCCESS;
      },
      20000, 200);
  EXPECT_STREQ(value, "yes") << "rundll32 setupapi.dll,InstallHinfSection installed the INF's DefaultInstall";
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrambleloaderTest");
  EXPECT_EQ(Marker(), "");
}

}  // namespace
}  // namespace szsfx::test
