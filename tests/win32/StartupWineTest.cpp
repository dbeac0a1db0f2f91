// The real stub under Wine: work folder, library image, signature box, opening
// error, usage box and the settled settings, driven through its real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>

#include "Driver.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

const wchar_t kBoxClass[] = L"#32770";

std::wstring Quoted(const std::string& path) { return L"\"" + Widen(path) + L"\""; }

std::map<std::string, std::string> ReportLines(const std::string& output) {
  std::map<std::string, std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(": ");
    if (colon != std::string::npos) lines[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return lines;
}

std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[512];
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

class StubUnderWine : public ::testing::Test {
 protected:
  void SetUp() override { settings_ = DefaultSettings(); }

  // Runs a self-extractor that shows no box and returns its start-up report.
  std::map<std::string, std::string> Report(const std::wstring& arguments = L"") {
    SfxFiles sfx = BuildSfx(dir_, settings_);
    TestProcess stub;
    EXPECT_TRUE(stub.Start(Quoted(sfx.path) + L" " + arguments));
    EXPECT_EQ(stub.WaitForExit(), 0u);
    return ReportLines(stub.Output());
  }

  ScratchDir dir_;
  TSettingsRecord settings_{};
};

TEST_F(StubUnderWine, StubIsPaddedToTheImageSize) {
  EXPECT_EQ(ReadFile(StubPath()).size(), kStubImageSize);
}

TEST_F(StubUnderWine, WorkFolderHoldsTheLibraryImageWhileRunningAndGoesAtTheEnd) {
  settings_.Signature.Set("BSX");  // the signature box holds the stub mid-run
  SfxFiles sfx = BuildSfx(dir_, settings_);
  const std::set<std::string> before = WorkFolders();
  TestProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(sfx.path)));
  HWND box = stub.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"Brambleloader SFX");
  EXPECT_EQ(MessageBoxText(box), L"Incorrect file size, please try to download this file again.");

  std::set<std::string> added;
  for (const std::string& name : WorkFolders()) {
    if (!before.count(name)) added.insert(name);
  }
  ASSERT_EQ(added.size(), 1u);
  const std::string folder = TempPath() + *added.begin();
  int number = std::stoi(added.begin()->substr(6));
  EXPECT_TRUE(number >= 1 && number <= 999);
  Bytes image = sfx.library;
  image.resize(kLibraryImageSize, 0);
  EXPECT_EQ(ReadFile(folder + "\\7Z.DLL"), image);

  PressButton(box, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 0u) << "start-up goes on after the signature box";
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_EQ(ReportLines(stub.Output())["work folder"], folder + "\\");
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
  settings_.RunCommand.Set("setup.exe");
  auto report = Report(L"-d \"C:\\Target Folder\\with spaces\" /s -q -# one \"two words\"");
  EXPECT_EQ(report["extract folder"], "C:\\Target Folder\\with spaces");
  EXPECT_EQ(report["auto extract"], "1");
  EXPECT_EQ(report["overwrite mode"], "2");
  EXPECT_EQ(report["run command"], "setup.exe one two words");
  EXPECT_EQ(report["title"], "Brambleloader SFX");
}

TEST_F(StubUnderWine, FolderModesAndMacrosUseTheRealSystem) {
  settings_.FolderMode = FolderModeProgramFiles;
  EXPECT_EQ(Report()["extract folder"],
            RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));

  settings_.FolderMode = FolderModeTemp;
  EXPECT_EQ(Report()["extract folder"], TempPath());

  char windows[MAX_PATH], system[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  settings_.FolderMode = FolderModeGiven;
  settings_.ExtractFolder.Set("%win%|%winsys%|%DOCS%|%temp%x");
  const std::string docs = RegistryText(
      HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal");
  EXPECT_FALSE(docs.empty());
  EXPECT_EQ(Report()["extract folder"], std::string(windows) + "|" + system + "|" + docs + "|" + TempPath() + "x");

  settings_.ExtractFolder.Set("%temp-unique%");
  std::string unique = Report()["extract folder"];
  EXPECT_EQ(unique.rfind(TempPath() + "\\~SFX", 0), 0u) << unique;
  EXPECT_EQ(unique.find('|'), std::string::npos);

  settings_.ExtractFolder.Set("Current directory");
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(Report()["extract folder"], current) << "the stub inherits the test's current directory";
}

}  // namespace
}  // namespace szsfx::test
