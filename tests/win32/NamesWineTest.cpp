// Item names as Windows treats them, through the real stub under Wine: names outside
// the code page, paths deeper than MAX_PATH, reserved device names, a folder and a
// command outside the code page.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kGreekFile =
    L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac\\\u03b1\u03c1\u03c7\u03b5\u03af\u03bf.txt";
const std::wstring kCjkFile = L"\u4e2d\u6587\u76ee\u5f55\\\u6587\u4ef6.txt";
const std::wstring kGreekFolder = L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u4e2d\u6587 \U0001F600";

// A file's bytes as text; "<missing>" when it cannot be opened.
std::string Contents(const fs::path& file) {
  Bytes bytes;
  return ReadWideFile(file.wstring(), bytes) ? std::string(bytes.begin(), bytes.end()) : "<missing>";
}

// Relative paths below `root` in UTF-16 (folders end with a backslash).
std::set<std::wstring> Listing(const fs::path& root) {
  std::set<std::wstring> names;
  for (const auto& entry : ReadWideTree(root.wstring())) names.insert(entry.first);
  return names;
}

// Same names and the same bytes, compared in UTF-16 all the way.
::testing::AssertionResult SameTreeW(const fs::path& expected, const fs::path& actual) {
  const WideTree want = ReadWideTree(expected.wstring()), got = ReadWideTree(actual.wstring());
  bool sameNames = want.size() == got.size();
  for (const auto& entry : want) sameNames = sameNames && got.count(entry.first) != 0;
  if (!sameNames) {
    return ::testing::AssertionFailure() << "listings differ: " << want.size() << " vs " << got.size() << " entries";
  }
  for (const auto& [name, bytes] : want) {
    if (got.at(name) != bytes) return ::testing::AssertionFailure() << Narrow(name) << " differs";
  }
  return ::testing::AssertionSuccess();
}

class ItemNames : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = DefaultSettings();
    target_ = fs::path(Widen(dir_ / "target"));
    settings_.ExtractFolder.Set(dir_ / "target");
  }
  void TearDown() override { RemoveWideTree(target_.wstring()); }
  bool Start(const std::string& archive, const std::wstring& arguments = L"") {
    sfx_ = BuildSfx(dir_, settings_, archive);
    return stub_.Start(Quoted(sfx_.path) + L" " + arguments);
  }
  fs::path Source(const std::string& name) { return fs::path(Widen(EngineData(name))); }

  ScratchDir dir_;
  TSettingsRecord settings_{};
  fs::path target_;
  SfxFiles sfx_;
  TestProcess stub_;
};

TEST_F(ItemNames, UnicodeNamesAndAPathBeyondMaxPathExtractByteForByte) {
  ASSERT_TRUE(Start("unicode.7z", L"-s"));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_TRUE(SameTreeW(Source("unicode"), target_));
  size_t longest = 0;
  for (const std::wstring& name : Listing(target_))
    longest = std::max(longest, target_.wstring().size() + 1 + name.size());
  EXPECT_GT(longest, 400u) << "the tree holds a path longer than MAX_PATH";
}

TEST_F(ItemNames, ListLinesShowTheNamesAndSelectExactlyTheirItems) {
  ASSERT_TRUE(Start("unicode.7z"));
  HWND window = WaitForReadyForm(stub_);
  ASSERT_NE(window, nullptr);
  FormView form(window);
  HWND list = form.Item(kIdFileList);
  int greek = -1, cjk = -1;
  for (int i = 0; i < form.ListCount(); ++i) {
    if (form.ListLine(i) == kGreekFile) greek = i;
    if (form.ListLine(i) == kCjkFile) cjk = i;
  }
  ASSERT_GE(greek, 0) << "the Greek name is shown as it is";
  ASSERT_GE(cjk, 0) << "the CJK name is shown as it is";
  SendMessageW(list, LB_SETSEL, FALSE, -1);
  SendMessageW(list, LB_SETSEL, TRUE, greek);
  SendMessageW(list, LB_SETSEL, TRUE, cjk);
  form.Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  const std::set<std::wstring> expected = {L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac\\", kGreekFile,
                                           L"\u4e2d\u6587\u76ee\u5f55\\", kCjkFile};
  EXPECT_EQ(Listing(target_), expected);
  EXPECT_EQ(Contents(target_ / kCjkFile), "CJK\n");
}

TEST_F(ItemNames, TheOverwriteQuestionNamesTheFileInFull) {
  fs::create_directories(target_ / L"\u4e2d\u6587\u76ee\u5f55");
  std::ofstream(target_ / kCjkFile, std::ios::binary) << "old";
  settings_.OverwriteMode = 2;
  ASSERT_TRUE(Start("unicode.7z", L"-a"));
  HWND box = stub_.WaitForWindow(L"#32770");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), target_.wstring() + L"\\" + kCjkFile + L"\r...already exists, overwrite?");
  PressButton(box, IDYES);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(Contents(target_ / kCjkFile), "CJK\n");
}

TEST_F(ItemNames, FolderOptionOutsideTheCodePageAndTheCommandStartsThere) {
  const fs::path folder = fs::path(Widen(dir_.path())) / kGreekFolder;
  settings_.RunCommand.Set("tools\\marker.exe");
  ASSERT_TRUE(Start("command.7z", L"-s -d \"" + folder.wstring() + L"\" -# \u6587 \U0001F600"));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_EQ(Contents(folder / L"readme.txt"), "Read me.\r\n");
  EXPECT_FALSE(fs::exists(target_)) << "the stored folder is not used";
  const fs::path marker = folder / L"tools" / L"marker.txt";
  ASSERT_TRUE(WaitUntil([&] { return Contents(marker) != "<missing>"; }, 15000, 100));
  EXPECT_EQ(Contents(marker),
            "cwd=" + ToUtf8((folder / L"tools").wstring()) + "\nargs=" + ToUtf8(L"\u6587 \U0001F600") + "\n");
}

TEST_F(ItemNames, AnInfFileInAFolderOutsideTheCodePageIsInstalled) {
  const fs::path folder = fs::path(Widen(dir_.path())) / kGreekFolder;
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\BrambleloaderTest");
  settings_.RunCommand.Set("setup\\DRIVER.INF");
  ASSERT_TRUE(Start("command.7z", L"-s -d \"" + folder.wstring() + L"\""));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  wchar_t value[16] = L"";
  WaitUntil(
      [&] {
        DWORD size = sizeof value;
        return RegGetValueW(HKEY_CURRENT_USER, L"Software\\BrambleloaderTest", L"Installed", RRF_RT_REG_SZ, nullptr,
                            value, &size) == ERROR_SUCCESS;
      },
      20000, 200);
  EXPECT_STREQ(value, L"yes") << "the installer found the INF file by its UTF-16 path";
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\BrambleloaderTest");
  RemoveWideTree(folder.wstring());
}

// A user whose name the code page cannot hold has such a temp path: the work folder
// still goes there, and goes again at the end.
TEST_F(ItemNames, ATempPathOutsideTheCodePageStillHoldsTheWorkFolder) {
  const fs::path temp = fs::path(Widen(dir_.path())) / L"\u03a4\u03b5\u03bc\u03c0 \u4e34\u65f6";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  wchar_t saved[32768] = L"";
  GetEnvironmentVariableW(L"TMP", saved, 32768);
  SetEnvironmentVariableW(L"TMP", temp.c_str());
  const bool started = Start("tree.7z", L"-s");
  SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
  ASSERT_TRUE(started);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  EXPECT_TRUE(SameTreeW(Source("tree"), target_));
  EXPECT_TRUE(Listing(temp).empty()) << "the work folder is removed";
}

TEST_F(ItemNames, DeviceNamesAndTrailingDotsGetSafeNamesAndNothingReachesADevice) {
  ASSERT_TRUE(Start("devices.7z", L"-s"));
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  const std::set<std::wstring> expected = {L"_CON",  L"_nul.txt", L"d\\",    L"d\\_COM1.log", L"trail._",
                                           L"trail", L"trail2 _", L"_aux\\", L"_aux\\x.txt"};
  EXPECT_EQ(Listing(target_), expected);
  EXPECT_EQ(Contents(target_ / L"_CON"), "payload of CON\n");
  EXPECT_EQ(Contents(target_ / L"d" / L"_COM1.log"), "payload of d/COM1.log\n");
  EXPECT_EQ(Contents(target_ / L"trail._"), "payload of trail.\n");
  EXPECT_EQ(Contents(target_ / L"trail"), "payload of trail\n");
}

}  // namespace
}  // namespace szsfx::test
