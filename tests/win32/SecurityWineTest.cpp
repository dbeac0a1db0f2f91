// What another process of the same user can do to a running self-extractor, through the
// real stub under Wine. The other process is this test program (Wine enforces sharing
// modes between Windows programs only): what the stub holds cannot be written, renamed or
// removed; a DLL slipped into its work folder never runs; its own file cannot be swapped;
// %temp-unique% is a new folder of its own; old folder names taken, an item beyond the
// long-path limit and a trace variable change nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

const wchar_t kBoxClass[] = L"#32770";
const wchar_t kOpeningError[] = L"An error occured while opening Brambleloader 7-ZIP SFX.";
// The box of a wrong signature, which holds the stub just after start-up wrote the image.
std::wstring SignatureBox() { return Widen(DefaultMessages()[msg::kWrongSignature]); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string Leaf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }
std::string TempFolder() { return TempPath().substr(0, TempPath().size() - 1); }  // without its backslash

// A name the stub draws: `prefix` and 16 lower-case hexadecimal digits (64 random bits).
bool IsDrawnName(const std::string& name, const std::string& prefix) {
  return std::regex_match(name, std::regex(prefix + "[0-9a-f]{16}"));
}

std::string IntruderPath() { return BuildFolder() + "\\tests\\intruder.dll"; }
// The file that tests/win32/intruder.c leaves when process `pid` loads it.
std::string IntruderMarker(DWORD pid) { return TempPath() + "szsfx-intruder-" + std::to_string(pid) + ".txt"; }

// The work folder (its name in the temp path) that appeared since `before`; empty if none.
std::string NewWorkFolder(const std::set<std::string>& before) {
  try {
    for (const std::string& name : WorkFolders()) {
      if (!before.count(name)) return name;
    }
  } catch (const std::exception&) {  // a folder went while the temp path was listed
  }
  return "";
}

// 0 when a call succeeded, else its error.
DWORD ErrorOf(BOOL ok) { return ok ? 0 : GetLastError(); }

// How another process meets a file or folder that is held: a sharing violation or access
// denied, never another error (a path that is not there proves nothing).
::testing::AssertionResult Refused(DWORD error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) return ::testing::AssertionSuccess();
  if (error == 0) return ::testing::AssertionFailure() << "another process could do it";
  return ::testing::AssertionFailure() << "it failed with error " << error << ", not as a held path does";
}

enum class Action { OpenForWrite, Delete, Rename, Remove };

// Tries `action` on `path` as another process would; 0 when it worked, else the error. A
// deletion, rename or removal that worked is undone, so that the run goes on.
DWORD Try(Action action, const std::string& path) {
  const std::wstring name = Widen(path), aside = name + L"-aside";
  switch (action) {
    case Action::OpenForWrite: {
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) return GetLastError();
      CloseHandle(h);
      return 0;
    }
    case Action::Delete: {
      CopyFileW(name.c_str(), aside.c_str(), FALSE);
      const DWORD error = ErrorOf(DeleteFileW(name.c_str()));
      if (error == 0) MoveFileW(aside.c_str(), name.c_str());
      DeleteFileW(aside.c_str());
      return error;
    }
    case Action::Rename: {
      const DWORD error = ErrorOf(MoveFileW(name.c_str(), aside.c_str()));
      if (error == 0) MoveFileW(aside.c_str(), name.c_str());
      return error;
    }
    case Action::Remove: {
      const DWORD error = ErrorOf(RemoveDirectoryW(name.c_str()));
      if (error == 0) CreateDirectoryW(name.c_str(), nullptr);
      return error;
    }
  }
  return 0;
}

// Removes a tree of any depth through extended paths one level at a time (no recursion,
// one path in memory): what an item beyond the long-path limit can leave.
void RemoveDeepTree(const std::string& root) {
  const std::wstring top = L"\\\\?\\" + Widen(root);
  std::wstring path = top;
  for (;;) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &found);
    bool descended = false;
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          (path += L'\\') += name;
          descended = true;
          break;
        }
        std::wstring file = path;
        (file += L'\\') += name;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    if (descended) continue;
    if (!RemoveDirectoryW(path.c_str()) || path.size() <= top.size()) return;
    path.erase(path.rfind(L'\\'));
  }
}

// Folders made in the temp path for a case (each with `file` in it, when given), removed
// at the end; names that already exist are left alone.
class PlantedFolders {
 public:
  ~PlantedFolders() {
    for (const std::string& folder : made_) RemoveTree(folder);
  }
  void Plant(const std::string& name, const char* file = nullptr) {
    const std::string folder = TempPath() + name;
    if (!CreateDirectoryA(folder.c_str(), nullptr)) return;
    made_.push_back(folder);
    if (file) WriteFile(folder + "\\" + file, Bytes{'x'});
  }

 private:
  std::vector<std::string> made_;
};

// After start-up: the main window ready to extract, or a message box, whichever comes.
struct Arrival {
  HWND form = nullptr;
  HWND box = nullptr;
};
Arrival WaitForReadyOrBox(TestProcess& stub) {
  Arrival arrival;
  WaitUntil(
      [&] {
        arrival.box = stub.WaitForWindow(kBoxClass, L"", 0);
        HWND form = stub.WaitForWindow(kMainWindowClass, L"", 0);
        if (form && IsWindowEnabled(GetDlgItem(form, kIdExtractButton))) arrival.form = form;
        return arrival.box || arrival.form || !stub.Running();
      },
      30000);
  return arrival;
}

// Another process of the same user racing a starting stub for its library image: it
// watches for a new work folder and, from the moment the image is there until Stop(),
// tries again and again to put the intruder DLL in its place, in every way a process of
// the same user has.
class LibraryRacer {
 public:
  LibraryRacer(std::set<std::string> before, std::string spare)
      : before_(std::move(before)), spare_(std::move(spare)), intruder_(ReadFile(IntruderPath())) {
    thread_ = std::thread([this] { Run(); });
  }
  ~LibraryRacer() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // From the next round on, only the swap that leaves a whole DLL at every moment (one
  // rename that replaces): a stub that loads the image then loads all of ours.
  void Calm() {
    calm_ = 1;
    WaitUntil([&] { return calm_ == 2; });
  }
  int Rounds() const { return rounds_; }
  int Landed() const { return landed_; }
  // After Stop(): the work folder raced for, and what the racer moved away or planted.
  const std::string& Folder() const { return folder_; }
  const std::vector<std::string>& Leftovers() const { return leftovers_; }

 private:
  void Run() {
    const std::wstring intruder = Widen(IntruderPath());
    for (int n = 0; !stop_; ++n) {
      if (calm_ == 1) calm_ = 2;
      if (folder_.empty()) {
        const std::string name = NewWorkFolder(before_);
        if (!name.empty()) folder_ = TempPath() + name;
      }
      const std::wstring folder = Widen(folder_), image = folder + L"\\7Z.DLL";
      if (folder_.empty() || GetFileAttributesW(image.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Sleep(0);
        continue;
      }
      // Replaced in one rename.
      const std::wstring copy = Widen(spare_) + std::to_wstring(n) + L".dll";
      if (CopyFileW(intruder.c_str(), copy.c_str(), FALSE)) {
        if (MoveFileExW(copy.c_str(), image.c_str(), MOVEFILE_REPLACE_EXISTING)) ++landed_;
        DeleteFileW(copy.c_str());
      }
      if (calm_ == 2) continue;
      // Deleted, and ours copied under its name.
      if (DeleteFileW(image.c_str())) {
        ++landed_;
        CopyFileW(intruder.c_str(), image.c_str(), FALSE);
      }
      // Written over.
      HANDLE h = CreateFileW(image.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (::WriteFile(h, intruder_.data(), static_cast<DWORD>(intruder_.size()), &written, nullptr)) ++landed_;
        SetEndOfFile(h);
        CloseHandle(h);
      }
      // The whole folder moved away and one with ours put under its name.
      const std::wstring away = folder + L"-away" + std::to_wstring(n);
      if (MoveFileW(folder.c_str(), away.c_str())) {
        ++landed_;
        leftovers_.push_back(Narrow(away));
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileW(intruder.c_str(), image.c_str(), FALSE);
      }
      ++rounds_;
    }
  }

  const std::set<std::string> before_;
  const std::string spare_;
  const Bytes intruder_;
  std::string folder_;
  std::vector<std::string> leftovers_;
  std::atomic<bool> stop_{false};
  std::atomic<int> rounds_{0}, landed_{0}, calm_{0};
  std::thread thread_;
};

// A silent run (-s -d) in conditions another process or the environment can make: it
// ends with its exit code, on its own, and leaves no work folder behind.
class Security;
struct SilentCase {
  const char* name;
  const char* archive;
  DWORD exitCode;
  const wchar_t* message;  // the one message box the run shows, answered with OK; "" none
  void (*prepare)(Security&);
  void (*check)(const Security&);
  const char* runCommand = nullptr;  // the record's command afterwards
};

class Security : public ::testing::TestWithParam<SilentCase> {
 public:
  void SetUp() override {
    settings_ = DefaultSettings();
    settings_.ExtractFolder.Set(out_);
  }
  void TearDown() override { RemoveDeepTree(out_); }

  ScratchDir dir_;
  const std::string out_ = dir_ / "out";
  PlantedFolders planted_;
  TSettingsRecord settings_{};
  TestProcess stub_;
};

// What the stub holds, and from when on: the probes run at the signature box (start-up
// has written the library image) when `fromTheStart`, and at the ready window.
enum class Target { LibraryImage, WorkFolder, SelfExtractor, UniqueFolder };
struct Probe {
  const char* what;
  Target target;
  Action action;
  bool fromTheStart;
};
const Probe kProbes[] = {
    {"the library image opened for writing", Target::LibraryImage, Action::OpenForWrite, true},
    {"the library image deleted", Target::LibraryImage, Action::Delete, true},
    {"the library image renamed", Target::LibraryImage, Action::Rename, true},
    {"the work folder renamed", Target::WorkFolder, Action::Rename, true},
    {"the self-extractor opened for writing", Target::SelfExtractor, Action::OpenForWrite, true},
    {"the self-extractor renamed", Target::SelfExtractor, Action::Rename, true},
    {"the self-extractor deleted", Target::SelfExtractor, Action::Delete, true},
    {"the %temp-unique% folder renamed", Target::UniqueFolder, Action::Rename, false},
    {"the %temp-unique% folder removed", Target::UniqueFolder, Action::Remove, false},
};

TEST_F(Security, WhatTheStubHoldsCannotBeWrittenRenamedOrRemovedWhileItRuns) {
  settings_.Signature.Set("BSX");  // the signature box holds the stub just after the image is written
  settings_.ExtractFolder.Set("%temp-unique%");
  const SfxFiles sfx = BuildSfx(dir_, settings_);
  const std::set<std::string> before = WorkFolders();
  ASSERT_TRUE(stub_.Start(Quoted(sfx.path)));
  HWND box = stub_.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(MessageBoxText(box), SignatureBox());
  const std::string work = NewWorkFolder(before);
  ASSERT_FALSE(work.empty());
  EXPECT_TRUE(IsDrawnName(work, "_BLSFX")) << work;
  std::map<Target, std::string> paths = {{Target::LibraryImage, TempPath() + work + "\\7Z.DLL"},
                                         {Target::WorkFolder, TempPath() + work},
                                         {Target::SelfExtractor, sfx.path}};
  WIN32_FILE_ATTRIBUTE_DATA image{};
  ASSERT_TRUE(GetFileAttributesExA(paths[Target::LibraryImage].c_str(), GetFileExInfoStandard, &image));
  EXPECT_EQ(image.nFileSizeLow, kLibraryImageSize);
  for (const Probe& probe : kProbes) {
    if (!probe.fromTheStart) continue;
    EXPECT_TRUE(Refused(Try(probe.action, paths[probe.target]))) << probe.what << ", at start-up";
  }

  PressButton(box, IDOK);
  HWND window = WaitForReadyForm(stub_);
  ASSERT_NE(window, nullptr);
  FormView form(window);
  paths[Target::UniqueFolder] = Narrow(form.Text(kIdDestinationEdit));
  for (const Probe& probe : kProbes) {
    EXPECT_TRUE(Refused(Try(probe.action, paths[probe.target]))) << probe.what << ", at the ready window";
  }
  form.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
  EXPECT_EQ(WorkFolders(), before);
  EXPECT_FALSE(FolderExists(paths[Target::UniqueFolder])) << "the unused %temp-unique% folder goes";
}

TEST_F(Security, ALibrarySwappedIntoTheWorkFolderNeverRuns) {
  {  // The intruder, loaded, leaves its marker: without that this case could not fail.
    HMODULE self = LoadLibraryW(Widen(IntruderPath()).c_str());
    ASSERT_NE(self, nullptr);
    FreeLibrary(self);
    ASSERT_TRUE(DeleteFileA(IntruderMarker(GetCurrentProcessId()).c_str()));
  }
  settings_.Signature.Set("BSX");  // the signature box holds the stub after the image is written
  const SfxFiles sfx = BuildSfx(dir_, settings_);
  const std::set<std::string> before = WorkFolders();
  LibraryRacer racer(before, dir_ / "intruder-");
  ASSERT_TRUE(stub_.Start(Quoted(sfx.path)));
  const std::string marker = IntruderMarker(stub_.Id());

  Arrival arrival = WaitForReadyOrBox(stub_);
  if (arrival.box && MessageBoxText(arrival.box) == SignatureBox()) {
    EXPECT_TRUE(WaitUntil([&] { return racer.Rounds() >= 50; }, 30000)) << "the racer never met the library image";
    racer.Calm();
    PressButton(arrival.box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(arrival.box); }));
    arrival = WaitForReadyOrBox(stub_);
  }
  racer.Stop();
  EXPECT_TRUE(IsDrawnName(Leaf(racer.Folder()), "_BLSFX")) << racer.Folder();
  if (arrival.form) {
    EXPECT_EQ(racer.Landed(), 0) << "the stub went on although its library image was changed";
    FormView(arrival.form).Click(kIdExtractButton);
    EXPECT_EQ(stub_.WaitForExit(), 0u);
    std::string difference;
    EXPECT_TRUE(SameTree(EngineData("tree"), out_, difference)) << difference;
  } else if (arrival.box) {
    EXPECT_EQ(MessageBoxText(arrival.box), kOpeningError) << "after " << racer.Landed() << " swaps";
    PressButton(arrival.box, IDOK);
    EXPECT_EQ(stub_.WaitForExit(), 1u);
  } else {
    ADD_FAILURE() << "neither the ready window nor a message box; exit code " << stub_.WaitForExit(0);
  }
  EXPECT_FALSE(Exists(marker)) << "the intruder's code ran in the stub (" << racer.Landed() << " swaps landed)";
  if (racer.Landed() == 0) {
    EXPECT_EQ(WorkFolders(), before);
  }
  DeleteFileA(marker.c_str());
  for (const std::string& folder : racer.Leftovers()) RemoveTree(folder);
  if (!racer.Leftovers().empty()) RemoveTree(racer.Folder());
}

// Swapped between start-up and the archive's opening, another self-extractor's archive
// would be extracted in its name.
TEST_F(Security, TheRunningSelfExtractorCannotBeSwappedForAnother) {
  settings_.Signature.Set("BSX");  // the signature box holds the stub after start-up read its file
  const SfxFiles first = BuildSfx(dir_, settings_, "tree.7z", "first.exe");
  const SfxFiles second = BuildSfx(dir_, settings_, "devices.7z", "second.exe");
  ASSERT_TRUE(stub_.Start(Quoted(first.path)));
  HWND box = stub_.WaitForWindow(kBoxClass);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(MessageBoxText(box), SignatureBox());
  auto swap = [&](const char* when) {
    EXPECT_TRUE(Refused(ErrorOf(MoveFileA(first.path.c_str(), (dir_ / "moved.exe").c_str()))))
        << "the running self-extractor renamed away, " << when;
    EXPECT_TRUE(Refused(ErrorOf(CopyFileA(second.path.c_str(), first.path.c_str(), FALSE))))
        << "another self-extractor copied under its name, " << when;
  };
  swap("at start-up");
  PressButton(box, IDOK);
  HWND window = WaitForReadyForm(stub_);
  ASSERT_NE(window, nullptr);
  swap("at the ready window");
  FormView(window).Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(EngineData("tree"), out_, difference)) << "not the first archive's files: " << difference;
}

TEST_F(Security, TempUniqueIsANewEmptyFolderAmongPlantedOldNames) {
  for (int number = 0; number < 20; ++number) {  // names %temp-unique% had before, each with a file in it
    for (char letter = 'a'; letter <= 'z'; ++letter)
      planted_.Plant("~SFX" + std::to_string(number) + letter, "planted");
  }
  settings_.ExtractFolder.Set("%temp-unique%");
  const SfxFiles sfx = BuildSfx(dir_, settings_);
  ASSERT_TRUE(stub_.Start(Quoted(sfx.path)));
  HWND window = WaitForReadyForm(stub_);
  ASSERT_NE(window, nullptr);
  const std::string folder = Narrow(FormView(window).Text(kIdDestinationEdit));
  EXPECT_EQ(folder, TempFolder() + "\\" + Leaf(folder));
  EXPECT_TRUE(IsDrawnName(Leaf(folder), "~SFX")) << folder;
  EXPECT_TRUE(FolderExists(folder)) << "made at start-up";
  EXPECT_TRUE(ReadWideTree(Widen(folder)).empty()) << "new, so empty";
  FormView(window).Click(kIdExtractButton);
  EXPECT_EQ(stub_.WaitForExit(), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(EngineData("tree"), folder, difference)) << "exactly the archive's files: " << difference;
  RemoveWideTree(Widen(folder));
  RemoveDirectoryA(folder.c_str());
}

const SilentCase kSilentCases[] = {
    {"AllOldWorkFolderNamesTaken", "tree.7z", 0, L"",
     [](Security& run) {
       for (int number = 1; number <= 999; ++number) run.planted_.Plant("_BLSFX" + std::to_string(number));
     },
     [](const Security& run) {
       std::string difference;
       EXPECT_TRUE(SameTree(EngineData("tree"), run.out_, difference)) << difference;
     }},
    {"AnItemFarBeyondTheLongPathLimit", "deep.7z", 1, L"", [](Security&) {},
     [](const Security& run) {
       EXPECT_EQ(ReadFile(run.out_ + "\\normal.txt"), (Bytes{'n', 'o', 'r', 'm', 'a', 'l', '\n'}));
     }},
    {"TraceVariableNamesAFile", "tree.7z", 0, L"",
     [](Security& run) { SetEnvironmentVariableW(L"SZSFX_TRACE", Widen(run.dir_ / "trace.txt").c_str()); },
     [](const Security& run) {
       EXPECT_FALSE(Exists(run.dir_ / "trace.txt")) << "the stub wrote a file the environment named";
     }},
    // The shell's DLLs, loaded for the command afterwards, and the DLLs they need come from
    // the system folder: the intruder beside the self-extractor under their names never runs.
    {"LibrariesPlantedBesideTheProgram", "command.7z", 0, L"",
     [](Security& run) {
       for (const char* name : {"shell32.dll", "ole32.dll", "combase.dll", "rpcrt4.dll", "shcore.dll", "shlwapi.dll",
                                "propsys.dll", "windowscodecs.dll", "oleaut32.dll", "comctl32.dll", "uxtheme.dll"}) {
         ASSERT_TRUE(CopyFileW(Widen(IntruderPath()).c_str(), Widen(run.dir_ / name).c_str(), FALSE)) << name;
       }
     },
     [](const Security& run) {
       EXPECT_TRUE(WaitUntil([&] { return Exists(run.out_ + "\\tools\\marker.txt"); }, 15000))
           << "the command ran, through shell32";
       EXPECT_FALSE(Exists(IntruderMarker(run.stub_.Id()))) << "a library beside the program ran in the stub";
     },
     "tools\\marker.exe"},
};

TEST_P(Security, SilentRun) {
  const SilentCase& c = GetParam();
  if (c.runCommand) settings_.RunCommand.Set(c.runCommand);
  const SfxFiles sfx = BuildSfx(dir_, settings_, c.archive);
  c.prepare(*this);
  const std::set<std::string> before = WorkFolders();
  const bool started = stub_.Start(Quoted(sfx.path) + L" -s -d " + Quoted(out_));
  SetEnvironmentVariableW(L"SZSFX_TRACE", nullptr);
  ASSERT_TRUE(started);
  std::wstring shown;  // every message box, answered as it comes
  HWND answered = nullptr;
  WaitUntil(
      [&] {
        HWND box = stub_.WaitForWindow(kBoxClass, L"", 0);
        if (box && box != answered) {
          shown += (shown.empty() ? L"" : L" | ") + MessageBoxText(box);
          PressButton(answered = box, IDOK);
        }
        return !stub_.Running();
      },
      120000, 100);
  EXPECT_EQ(stub_.WaitForExit(0), c.exitCode);
  EXPECT_EQ(shown, c.message);
  EXPECT_EQ(WorkFolders(), before);
  c.check(*this);
}

void PrintTo(const SilentCase& run, std::ostream* out) { *out << run.name; }

INSTANTIATE_TEST_SUITE_P(, Security, ::testing::ValuesIn(kSilentCases),
                         [](const ::testing::TestParamInfo<SilentCase>& run) { return run.param.name; });

}  // namespace
}  // namespace szsfx::test
