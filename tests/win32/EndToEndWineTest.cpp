// Self-extractors with our library in a Wine prefix without 7-Zip, from end to end: every
// archive of the differential corpus extracted silently into a fresh folder (passwords
// typed into the real password window), the trees compared with the 7z command's own
// extraction of the same archive (tests/win32/extract_reference.sh), and broken archives.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"
#include "ui/PasswordWindow.h"

namespace szsfx::test {
namespace {

namespace fs = std::filesystem;
const wchar_t kBoxClass[] = L"#32770";
const wchar_t kReadError[] = L"Error reading archive.";
const wchar_t kItemsFailed[] = L"The selected file(s) couldn't get extracted.";

struct CorpusEntry {
  std::string kind, archive, password;  // the manifest's columns; "" for no password
};

std::string Corpus() { return BuildFolder() + "\\library-corpus"; }

std::vector<CorpusEntry> Manifest(const std::string& kind) {
  std::ifstream in(Corpus() + "\\manifest");
  std::vector<CorpusEntry> entries;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    CorpusEntry entry;
    std::getline(fields, entry.kind, '\t');
    std::getline(fields, entry.archive, '\t');
    std::getline(fields, entry.password, '\t');
    if (entry.password == "-") entry.password.clear();
    if (entry.kind == kind) entries.push_back(entry);
  }
  return entries;
}

// A whole file; a missing one reads as "?".
Bytes FileBytes(const fs::path& path) {
  Bytes bytes;
  return ReadWideFile(path.wstring(), bytes) ? bytes : Bytes{'?'};
}

WideTree Contents(const fs::path& root) { return ReadWideTree(root.wstring()); }

// The first name where the two trees differ, or "" when they hold the same.
std::string FirstDifference(const WideTree& expected, const WideTree& actual) {
  for (const auto& [name, bytes] : expected) {
    auto found = actual.find(name);
    if (found == actual.end()) return "missing: " + Narrow(name);
    if (found->second != bytes) return "different bytes: " + Narrow(name);
  }
  for (const auto& entry : actual) {
    if (!expected.count(entry.first)) return "unexpected: " + Narrow(entry.first);
  }
  return "";
}

std::string BuildWith(const std::string& library, const std::string& archive, const std::string& output) {
  TBuildRequest request;
  request.StubPath = StubPath();
  request.LibraryPath = library;
  request.ArchivePath = archive;
  request.OutputPath = output;
  request.Settings = DefaultSettings();
  std::string error;
  request.Areas.push_back(StringArea(DefaultMessages(), error));
  error = BuildSelfExtractor(request);
  return error.empty() ? output : "";
}

std::string OurLibrary() { return BuildFolder() + "\\7zextract.dll"; }

// A self-extractor of a corpus archive with our library; "" when the builder refuses it.
std::string BuildFromCorpus(const ScratchDir& dir, const std::string& archive) {
  return BuildWith(OurLibrary(), Corpus() + "\\" + archive, dir / "sfx.exe");
}

// What a run of a self-extractor showed and how it ended.
struct Outcome {
  DWORD code = STILL_ACTIVE;
  std::vector<std::wstring> boxes;  // every message box's text, each answered with OK
  int passwordWindows = 0;          // each answered with the password and OK
};

void AnswerPassword(HWND window, const std::wstring& password) {
  SendMessageW(GetDlgItem(window, kIdPasswordEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  PostMessageW(GetDlgItem(window, kIdPasswordOkButton), BM_CLICK, 0, 0);
  WaitUntil([&] { return !IsWindowVisible(window); });
}

// Answers the windows of a started self-extractor until it ends (at most two minutes).
Outcome AnswerUntilExit(TestProcess& stub, const std::wstring& password) {
  Outcome outcome;
  for (DWORD start = GetTickCount(); GetTickCount() - start < Scaled(120000) && stub.Running();) {
    if (HWND window = stub.WaitForWindow(kPasswordWindowClass, L"", 100)) {
      ++outcome.passwordWindows;
      AnswerPassword(window, password);
    } else if (HWND box = stub.WaitForWindow(kBoxClass, L"", 100)) {
      outcome.boxes.push_back(MessageBoxText(box));
      PressButton(box, IDOK);
      WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    }
  }
  outcome.code = stub.WaitForExit(1000);
  return outcome;
}

// Runs `sfx -a -o -d folder` (at once, overwriting, its outcome shown) and answers its windows.
Outcome ExtractAtOnce(const std::string& sfx, const std::string& folder, const std::string& password) {
  TestProcess stub;
  if (!stub.Start(Quoted(sfx) + L" -a -o -d " + Quoted(folder))) return {};
  return AnswerUntilExit(stub, FromUtf8(password));
}

WideTree Reference(const std::string& archive) { return Contents(fs::path(Corpus() + "\\reference\\" + archive)); }

TEST(EndToEnd, EveryIntactArchiveGivesTheTreeOfThe7zCommand) {
  const std::vector<CorpusEntry> entries = Manifest("same");
  ASSERT_GT(entries.size(), 30u) << "the corpus is missing";
  for (const CorpusEntry& entry : entries) {
    SCOPED_TRACE(entry.archive);
    ScratchDir dir;
    const std::string sfx = BuildFromCorpus(dir, entry.archive);
    ASSERT_FALSE(sfx.empty()) << "the builder refused an intact archive";
    const Outcome outcome = ExtractAtOnce(sfx, dir / "out", entry.password);
    EXPECT_EQ(outcome.code, 0u);
    EXPECT_TRUE(outcome.boxes.empty()) << Narrow(outcome.boxes.empty() ? L"" : outcome.boxes[0]);
    EXPECT_EQ(outcome.passwordWindows, entry.password.empty() ? 0 : 1) << "one password window per run";
    const auto reference = Reference(entry.archive);
    EXPECT_TRUE(entry.archive == "empty.7z" || !reference.empty()) << "no reference tree";
    EXPECT_EQ(FirstDifference(reference, Contents(fs::path(dir / "out"))), "");
  }
}

TEST(EndToEnd, ItemsOfLeftOutMethodsFailAloneWithMessage41) {
  const std::vector<CorpusEntry> entries = Manifest("unsupported");
  ASSERT_FALSE(entries.empty());
  for (const CorpusEntry& entry : entries) {
    SCOPED_TRACE(entry.archive);
    ScratchDir dir;
    const std::string sfx = BuildFromCorpus(dir, entry.archive);
    ASSERT_FALSE(sfx.empty());
    const Outcome outcome = ExtractAtOnce(sfx, dir / "out", "");
    EXPECT_EQ(outcome.code, 1u);
    EXPECT_EQ(outcome.boxes, std::vector<std::wstring>{kItemsFailed});
    // The LZMA2 folder holds these; the other folder's items are the ones that fail.
    const fs::path theirs = Corpus() + "\\reference\\" + entry.archive, ours = dir / "out";
    EXPECT_EQ(FileBytes(ours / "readme.txt"), FileBytes(theirs / "readme.txt"));
    EXPECT_EQ(FirstDifference(Contents(theirs / "bin"), Contents(ours / "bin")), "");
  }
}

// Damaged packed data and wrong passwords: the run fails with a message and exit code 1,
// and the work folder goes. Encrypted data that fails its check may be a wrong password:
// "Incorrect Password" comes before the failure then (the tests answer the same password
// again, three times in all). (Truncated copies and damaged headers never get past the
// builder; the last test damages a header after building.)
TEST(EndToEnd, BrokenArchivesFailWithAMessageAndLeaveNoWorkFolder) {
  int runs = 0;
  for (const CorpusEntry& entry : Manifest("bad")) {
    SCOPED_TRACE(entry.archive);
    ScratchDir dir;
    const std::string sfx = BuildFromCorpus(dir, entry.archive);
    if (sfx.empty()) continue;
    ++runs;
    const std::set<std::string> before = WorkFolders();
    const Outcome outcome = ExtractAtOnce(sfx, dir / "out", entry.password);
    EXPECT_EQ(outcome.code, 1u);
    ASSERT_FALSE(outcome.boxes.empty());
    const std::wstring last = outcome.boxes.back();
    EXPECT_TRUE(last == kReadError || last == kItemsFailed) << Narrow(last);
    const std::vector<std::wstring> asked(outcome.boxes.size() - 1, L"Incorrect Password");
    EXPECT_EQ(std::vector<std::wstring>(outcome.boxes.begin(), outcome.boxes.end() - 1), asked);
    if (entry.password.empty()) {
      EXPECT_EQ(outcome.boxes.size(), 1u) << "no password, no question about it";
    }
    EXPECT_EQ(WorkFolders(), before);
  }
  EXPECT_GT(runs, 10);
}

TEST(EndToEnd, EncryptedHeadersOpenThroughThePasswordWindowAndExtract) {
  ScratchDir dir;
  TestProcess stub;
  const std::string sfx = BuildFromCorpus(dir, "aes-headers.7z");
  ASSERT_FALSE(sfx.empty());
  ASSERT_TRUE(stub.Start(Quoted(sfx) + L" -d " + Quoted(dir / "out")));
  HWND password = stub.WaitForWindow(kPasswordWindowClass);
  ASSERT_NE(password, nullptr) << "the names are encrypted: the list needs the password first";
  EXPECT_EQ(WindowText(password), L"Please enter the password for ");
  AnswerPassword(password, L"Secret");
  HWND window = WaitForReadyForm(stub);
  ASSERT_NE(window, nullptr);
  FormView form(window);
  EXPECT_GT(form.ListCount(), 5);
  form.Click(kIdExtractButton);
  const Outcome outcome = AnswerUntilExit(stub, L"<asked twice>");
  EXPECT_EQ(outcome.code, 0u);
  EXPECT_EQ(outcome.passwordWindows, 0) << "the stored password answers the extraction";
  EXPECT_TRUE(outcome.boxes.empty());
  const auto reference = Reference("aes-headers.7z");
  EXPECT_EQ(reference.count(L"\u00fcn\u00efc\u00f6d\u00e9 \u65e5\u672c\\\u540d\u524d \U0001F600.txt"), 1u)
      << "the names beyond the system code page are compared too";
  EXPECT_EQ(FirstDifference(reference, Contents(fs::path(dir / "out"))), "");
}

TEST(EndToEnd, DamagedHeaderShowsMessage37AndLeavesNoWorkFolder) {
  ScratchDir dir;
  const std::string archive = Corpus() + "\\lzma2-raw-header.7z";
  const std::string sfx = BuildWith(OurLibrary(), archive, dir / "sfx.exe");
  ASSERT_FALSE(sfx.empty());
  // The uncompressed header is the archive's last part: flip bytes near its end.
  Bytes whole = ReadFile(sfx);
  for (size_t i = whole.size() - 40; i < whole.size() - 36; ++i) whole[i] ^= 0x55;
  WriteFile(sfx, whole);
  const std::set<std::string> before = WorkFolders();
  TestProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(sfx)));
  const Outcome outcome = AnswerUntilExit(stub, L"");
  EXPECT_EQ(outcome.boxes, std::vector<std::wstring>{kReadError});
  EXPECT_EQ(outcome.code, 1u);
  EXPECT_EQ(WorkFolders(), before);
  EXPECT_FALSE(fs::exists(dir / "out"));
}

// The premise of the suite: this prefix is a clean Windows, so a self-extractor that
// needs the installed 7-Zip cannot read its archive here.
TEST(EndToEnd, ThePrefixHasNo7Zip) {
  char path[MAX_PATH];
  DWORD size = sizeof path;
  EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\7-Zip", "Path", RRF_RT_REG_SZ, nullptr, path, &size),
            ERROR_SUCCESS);
  ScratchDir dir;
  const std::string sfx = BuildWith(EngineData("lib\\7z.dll"), EngineData("tree.7z"), dir / "sfx.exe");
  ASSERT_FALSE(sfx.empty());
  const Outcome outcome = ExtractAtOnce(sfx, dir / "out", "");
  EXPECT_EQ(outcome.boxes, std::vector<std::wstring>{kReadError});
  EXPECT_EQ(outcome.code, 1u);
}

}  // namespace
}  // namespace szsfx::test
