// The start-up sequence on real payload files in a private temp folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestFiles.h"
#include "app/Startup.h"
#include "payload/PayloadBuilder.h"
#include "platform/Platform.h"

namespace szsfx {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_ / "temp";
    fs::create_directory(temp_);
    setenv("TMPDIR", temp_.c_str(), 1);
    library_ = test::PeImage(test::kMachineX86, true, 3000);
    test::WriteFile(dir_ / "lib", library_);
    test::WriteFile(dir_ / "stub", test::PeImage(test::kMachineX86, false, kStubImageSize));
    test::WriteFile(dir_ / "archive.7z", test::SevenZipArchive(Bytes(100, 0x5D), test::ToBytes("header")));
    request_.StubPath = dir_ / "stub";
    request_.LibraryPath = dir_ / "lib";
    request_.ArchivePath = dir_ / "archive.7z";
    request_.OutputPath = dir_ / "sfx.exe";
    request_.Settings = DefaultSettings();
    std::string error;
    request_.Areas.push_back(StringArea(DefaultMessages(), error));
    plat::TakeShownBoxes();
  }
  void TearDown() override { unsetenv("TMPDIR"); }

  StartupResult Run(const std::string& commandLine = "sfx.exe") {
    EXPECT_EQ(BuildSelfExtractor(request_), "");
    return Start(state_, commandLine);
  }
  StartupResult Start(TStartupState& state, const std::string& commandLine) {
    EXPECT_TRUE(OpenProgramFile(state, test::Wide(request_.OutputPath)));
    return RunStartup(state, test::Wide(commandLine));
  }
  std::vector<std::string> WorkFolders() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_)) names.push_back(entry.path().filename());
    return names;
  }

  test::ScratchDir dir_;
  std::string temp_;
  Bytes library_;
  TBuildRequest request_;
  TStartupState state_;
};

TEST_F(Startup, WritesTheLibraryImageIntoAFreshWorkFolderAndCleansUp) {
  ASSERT_EQ(Run(), StartupResult::Ready);
  ASSERT_EQ(WorkFolders().size(), 1u);
  const std::string name = WorkFolders()[0];
  EXPECT_EQ(name.rfind("_BLSFX", 0), 0u);
  EXPECT_EQ(name.size(), 6 + 16u) << "64 random bits in hexadecimal: " << name;
  EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 6), std::string::npos) << name;
  EXPECT_EQ(fs::status(temp_ + "/" + name).permissions(), fs::perms::owner_all) << "private to its owner";
  EXPECT_EQ(test::Narrow(state_.WorkFolder), temp_ + "/" + name + "/");
  Bytes image = library_;
  image.resize(kLibraryImageSize, 0);
  EXPECT_EQ(test::ReadFile(test::Narrow(state_.WorkFolder + kLibraryImageName)), image);
  std::string error;
  EXPECT_EQ(state_.ArchiveOffset, kFirstBlockPosition + 9 + StringArea(DefaultMessages(), error).size() + 832);
  EXPECT_EQ(state_.Message(msg::kExtractButton), u"&Extract");
  EXPECT_TRUE(plat::TakeShownBoxes().empty());

  CleanUpWorkFolder(state_);
  EXPECT_TRUE(WorkFolders().empty());
}

// The archive is read where it lies, from the file opened at the start: a file put in
// its place under its name afterwards is never read.
TEST_F(Startup, ThePayloadAndArchiveComeFromTheFileOpenedFirst) {
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  ASSERT_TRUE(OpenProgramFile(state_, test::Wide(request_.OutputPath)));
  fs::rename(request_.OutputPath, dir_ / "moved.exe");
  request_.Settings.Title.Set("Substitute");
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  ASSERT_EQ(RunStartup(state_, u"sfx.exe"), StartupResult::Ready);
  EXPECT_EQ(state_.Title, u"Brambleloader SFX") << "the substitute's record was read";
  CleanUpWorkFolder(state_);
}

TEST_F(Startup, UnreadableStubIsAnOpeningError) {
  EXPECT_FALSE(OpenProgramFile(state_, test::Wide(dir_ / "missing.exe")));
  EXPECT_EQ(RunStartup(state_, u"x"), StartupResult::OpeningError);
  EXPECT_TRUE(WorkFolders().empty());
}

// %temp-unique% is a folder start-up makes itself, new and private; the clean-up removes it
// only while it is empty.
TEST_F(Startup, TempUniqueIsAFreshPrivateFolder) {
  request_.Settings.FolderMode = 7;
  request_.Settings.ExtractFolder.Set("%temp-unique%");
  ASSERT_EQ(Run(), StartupResult::Ready);
  const std::string folder = test::Narrow(state_.ExtractFolder);
  const std::string name = fs::path(folder).filename();
  EXPECT_EQ(name.rfind("~SFX", 0), 0u);
  EXPECT_EQ(name.size(), 4 + 16u) << name;
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
  CleanUpWorkFolder(state_);
  EXPECT_FALSE(fs::exists(folder)) << "an unused folder goes";

  TStartupState used;
  ASSERT_EQ(Start(used, "sfx.exe"), StartupResult::Ready);
  const std::string kept = test::Narrow(used.ExtractFolder);
  test::WriteFile(kept + "/extracted", {1});
  CleanUpWorkFolder(used);
  EXPECT_TRUE(fs::exists(kept + "/extracted")) << "one with files stays";
}

TEST_F(Startup, WrongSignatureShowsMessage42AndGoesOn) {
  request_.Settings.Signature.Set("BSX");
  request_.Settings.Title.Set("My Title");
  ASSERT_EQ(Run(), StartupResult::Ready);
  auto boxes = plat::TakeShownBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"The settings of this self-extractor are damaged, please try to download this file again.");
  EXPECT_EQ(boxes[0].caption, u"Brambleloader SFX");
  EXPECT_EQ(boxes[0].icon, plat::BoxIcon::Error);
  EXPECT_EQ(state_.Title, u"My Title");
  CleanUpWorkFolder(state_);
}

TEST_F(Startup, TitleDefaultsAndFolderModes) {
  request_.Settings.FolderMode = kFolderModeGiven;
  request_.Settings.ExtractFolder.Set("Current directory");
  ASSERT_EQ(Run(), StartupResult::Ready);
  EXPECT_EQ(state_.Title, u"Brambleloader SFX");
  EXPECT_EQ(state_.ExtractFolder, fs::current_path().u16string());
  CleanUpWorkFolder(state_);

  TStartupState lower;
  request_.Settings.ExtractFolder.Set("current directory");
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  ASSERT_EQ(Start(lower, "s"), StartupResult::Ready);
  EXPECT_EQ(lower.ExtractFolder, u"current directory");
  CleanUpWorkFolder(lower);

  TStartupState temp;
  request_.Settings.FolderMode = kFolderModeTemp;
  request_.Settings.ExtractFolder.Set("Use TEMP directory");
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  ASSERT_EQ(Start(temp, "s -d D:\\Out"), StartupResult::Ready);
  EXPECT_EQ(temp.ExtractFolder, u"D:\\Out") << "option d overrides the folder mode";
  CleanUpWorkFolder(temp);

  TStartupState mode7;
  request_.Settings.FolderMode = 7;
  request_.Settings.ExtractFolder.Set("%temp%kept");
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  ASSERT_EQ(Start(mode7, "s"), StartupResult::Ready);
  EXPECT_EQ(test::Narrow(mode7.ExtractFolder), temp_ + "/kept");
  CleanUpWorkFolder(mode7);
}

TEST_F(Startup, TempModeGivesTheTempPathAndOptionsApplyLast) {
  request_.Settings.FolderMode = kFolderModeTemp;
  request_.Settings.RunCommand.Set("setup.exe");
  ASSERT_EQ(Run("sfx.exe -s -q -# one"), StartupResult::Ready);
  EXPECT_EQ(test::Narrow(state_.ExtractFolder), temp_ + "/");
  EXPECT_EQ(state_.Settings.AutoExtract, 1);
  EXPECT_EQ(state_.Settings.OverwriteMode, kOverwriteModeConfirm);
  EXPECT_EQ(state_.RunCommand, u"setup.exe one");
  EXPECT_FALSE(state_.UsageRequested);
  CleanUpWorkFolder(state_);
}

// The payload's texts are read in the code page (UTF-8 here) and decoded once: the run
// sees them in UTF-16, and the options change those texts, never the record's bytes.
TEST_F(Startup, PayloadTextsAreDecodedOnceAndOptionsLeaveTheRecordAsRead) {
  request_.Settings.Title.Set("Caf\xC3\xA9 \xE2\x82\xAC");
  request_.Settings.ExtractFolder.Set("C:\\\xCE\x95\xCE\xBB");
  request_.Settings.RunCommand.Set("setup.exe");
  std::vector<std::string> messages = DefaultMessages();
  messages[msg::kExtractButton] = "&Entpacken \xC3\xBC";
  std::string error;
  request_.Areas = {StringArea(messages, error)};
  ASSERT_EQ(error, "");
  ASSERT_EQ(Run("sfx.exe -d D:\\\xE6\x96\x87 -# \xE2\x82\xAC"), StartupResult::Ready);
  EXPECT_EQ(state_.Title, u"Caf\u00e9 \u20ac");
  EXPECT_EQ(state_.Message(msg::kExtractButton), u"&Entpacken \u00fc");
  EXPECT_EQ(state_.ExtractFolder, u"D:\\\u6587");
  EXPECT_EQ(state_.RunCommand, u"setup.exe \u20ac");
  EXPECT_EQ(state_.Settings.ExtractFolder.Get(), "C:\\\xCE\x95\xCE\xBB") << "the record keeps what the file holds";
  EXPECT_EQ(state_.Settings.RunCommand.Get(), "setup.exe");
  CleanUpWorkFolder(state_);
}

TEST_F(Startup, UsageTextComesFromMessages52To60) {
  ASSERT_EQ(Run("sfx.exe /?"), StartupResult::Ready);
  EXPECT_TRUE(state_.UsageRequested);
  const std::u16string usage = UsageText(state_);
  EXPECT_EQ(usage.rfind(u"Usage\r\n", 0), 0u);
  for (const char16_t* line :
       {u"-a\tAutomatically extract files\r\n", u"-x\tDon't run command-line after extraction",
        u"-s\tSilent operation (automatically overwrites!)", u"Existing files overwrite options:", u"-q\tConfirm",
        u"-o\tOverwrite", u"-n\tSkip", u"-d dir\tExtract to given folder (dir)"}) {
    EXPECT_NE(usage.find(line), std::u16string::npos) << test::Narrow(line);
  }
  CleanUpWorkFolder(state_);
}

}  // namespace
}  // namespace szsfx
