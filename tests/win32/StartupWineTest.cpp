// The real stub under Wine: work folder, library image, signature box, opening
// error, usage box and the settled settings, driven through its real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

const wchar_t kBoxClass[] = L"#32770";

std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[512];
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

class StubUnderWine : public ::testing::Test {
 protected:
  void SetUp() override { settings_ = DefaultSettings(); }

  // Starts a self-extractor, reads the settled folder and overwrite radio buttons from
  // its ready window, then cancels it.
  std::string ReadyFolder(const std::wstring& arguments = L"", int* checkedRadio = nullptr) {
    SfxFiles sfx = BuildSfx(dir_, settings_);
    TestProcess stub;
    EXPECT_TRUE(stub.Start(Quoted(sfx.path) + L" " + arguments));
    HWND window = WaitForReadyForm(stub);
    if (!window) return "<no window>";
    FormView form(window);
    for (int id : {kIdConfirmRadio, kIdSkipRadio, kIdOverwriteRadio}) {
      if (checkedRadio && form.Checked(id)) *checkedRadio = id;
    }
    std::string folder = Narrow(form.Text(kIdDestinationEdit));
    form.Click(kIdCancelButton);
    EXPECT_EQ(stub.WaitForExit(), 2u);
    return folder;
  }

  ScratchDir dir_;
  TSettingsRecord settings_{};
};

TEST_F(StubUnderWine, StubIsPaddedToTheImageSize) { EXPECT_EQ(ReadFile(StubPath()).size(), kStubImageSize); }

TEST_F(StubUnderWine, WorkFolderHoldsTheLibraryImageWhileRunningAndGoesAtTheEnd) {
  settings_.Signature.Set("BSX");  // the signature box holds the stub mid-run
  SfxFiles sfx = BuildSfx(dir_, settings_);
  const std::set<std::string> before = WorkFolders();
  TestProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(sfx.path)));
  HWND box = stub.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"Brambleloader SFX");
  EXPECT_EQ(MessageBoxText(box),
            L"The settings of this self-extractor are damaged, please try to download this file again.");

  std::set<std::string> added;
  for (const std::string& name : WorkFolders()) {
    if (!before.count(name)) added.insert(name);
  }
  ASSERT_EQ(added.size(), 1u);
  const std::string folder = TempPath() + *added.begin();
  const std::string random = added.begin()->substr(6);
  EXPECT_EQ(random.size(), 16u) << "64 random bits";
  EXPECT_EQ(random.find_first_not_of("0123456789abcdef"), std::string::npos) << random;
  Bytes image = sfx.library;
  image.resize(kLibraryImageSize, 0);
  Bytes held;  // the stub holds the image with delete access: read it sharing deletion
  HANDLE file = CreateFileA((folder + "\\7Z.DLL").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  held.resize(kLibraryImageSize + 1);
  DWORD read = 0;
  ::ReadFile(file, held.data(), static_cast<DWORD>(held.size()), &read, nullptr);
  CloseHandle(file);
  held.resize(read);
  EXPECT_EQ(held, image);

  PressButton(box, IDOK);
  HWND window = WaitForReadyForm(stub);
  ASSERT_NE(window, nullptr) << "start-up goes on after the signature box";
  EXPECT_TRUE(FolderExists(folder)) << "the archive copy lives there while the window is open";
  FormView(window).Click(kIdCancelButton);
  EXPECT_EQ(stub.WaitForExit(), 2u);
  EXPECT_FALSE(FolderExists(folder));
}

TEST_F(StubUnderWine, UnreadableStubShowsTheOpeningError) {
  SfxFiles sfx = BuildSfx(dir_, settings_);
  TestProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(sfx.path), /*suspended=*/true));
  // The loader has mapped the image; its file now disappears from under the stub.
  ASSERT_TRUE(MoveFileA(sfx.path.c_str(), (dir_ / "moved.exe").c_str()));
  const std::set<std::string> before = WorkFolders();
  stub.Resume();
  HWND box = stub.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"Brambleloader SFX");
  EXPECT_EQ(MessageBoxText(box), L"An error occured while opening Brambleloader 7-ZIP SFX.");
  PressButton(box, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 1u);
  EXPECT_EQ(WorkFolders(), before) << "no empty work folder is left behind";
}

TEST_F(StubUnderWine, UsageOptionShowsTheUsageAndEndsCleanly) {
  settings_.Title.Set("Usage Title");
  SfxFiles sfx = BuildSfx(dir_, settings_);
  const std::set<std::string> before = WorkFolders();
  TestProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(sfx.path) + L" /?"));
  HWND box = stub.WaitForWindow(kBoxClass, L"Usage Title");
  ASSERT_NE(box, nullptr);
  std::wstring text = MessageBoxText(box);
  EXPECT_EQ(text.rfind(L"Usage\r\n", 0), 0u) << Narrow(text);
  EXPECT_NE(text.find(L"-s\tSilent operation (automatically overwrites!)"), std::wstring::npos);
  EXPECT_NE(text.find(L"-d dir\tExtract to given folder (dir)"), std::wstring::npos);
  PressButton(box, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 0u);
  EXPECT_EQ(WorkFolders(), before);
}

TEST_F(StubUnderWine, CommandLineOptionsSettleTheFolderAndModes) {
  settings_.OverwriteMode = 0;
  int checked = 0;
  EXPECT_EQ(ReadyFolder(L"-d \"C:\\Target Folder\\with spaces\" /n -q", &checked), "C:\\Target Folder\\with spaces");
  EXPECT_EQ(checked, kIdConfirmRadio) << "the later option q wins";
  EXPECT_EQ(ReadyFolder(L"-d %temp%\\x"), "%temp%\\x") << "a folder option is taken literally";
}

TEST_F(StubUnderWine, FolderModesAndMacrosUseTheRealSystem) {
  settings_.FolderMode = kFolderModeProgramFiles;
  EXPECT_EQ(ReadyFolder(),
            RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));

  settings_.FolderMode = kFolderModeTemp;
  EXPECT_EQ(ReadyFolder(), TempPath());

  char windows[MAX_PATH], system[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  settings_.FolderMode = kFolderModeGiven;
  settings_.ExtractFolder.Set("%win%|%winsys%|%DOCS%|%temp%x");
  const std::string docs = RegistryText(
      HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal");
  EXPECT_FALSE(docs.empty());
  EXPECT_EQ(ReadyFolder(), std::string(windows) + "|" + system + "|" + docs + "|" + TempPath() + "x");

  settings_.ExtractFolder.Set("%temp-unique%");
  std::string unique = ReadyFolder();
  EXPECT_EQ(unique.rfind(TempPath() + "~SFX", 0), 0u) << unique;
  EXPECT_EQ(unique.size(), TempPath().size() + 4 + 16) << unique;

  settings_.ExtractFolder.Set("Current directory");
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(ReadyFolder(), current) << "the stub inherits the test's current directory";
}

}  // namespace
}  // namespace szsfx::test
