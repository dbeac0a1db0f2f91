// The window-free decisions of the extraction run, on real folders.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestFiles.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "run/RunLogic.h"

namespace szsfx {
namespace {

namespace fs = std::filesystem;
std::u16string W(const std::string& s) { return test::Wide(s); }

TEST(RunLogic, RadiosAndTheOverwriteChoice) {
  EXPECT_EQ(RadioForOverwriteMode(0), 3);
  EXPECT_EQ(RadioForOverwriteMode(1), 2);
  EXPECT_EQ(RadioForOverwriteMode(2), 1);
  EXPECT_EQ(RadioForOverwriteMode(7), 0);
  EXPECT_EQ(ChoiceFromRadios(true, false), OverwriteChoice::Confirm);
  EXPECT_EQ(ChoiceFromRadios(false, true), OverwriteChoice::Skip);
  EXPECT_EQ(ChoiceFromRadios(false, false), OverwriteChoice::Overwrite) << "none checked overwrites";
  EXPECT_EQ(ChoiceForOverwriteMode(0), OverwriteChoice::Overwrite);
  EXPECT_EQ(ChoiceForOverwriteMode(1), OverwriteChoice::Skip);
  EXPECT_EQ(ChoiceForOverwriteMode(2), OverwriteChoice::Confirm);
  EXPECT_EQ(ChoiceForOverwriteMode(7), OverwriteChoice::Overwrite);
  EXPECT_EQ(ActionForExistingFile(OverwriteChoice::Skip), ExistingFileAction::Keep);
  EXPECT_EQ(ActionForExistingFile(OverwriteChoice::Overwrite), ExistingFileAction::ReplaceOnceComplete);
  EXPECT_EQ(ActionForExistingFile(OverwriteChoice::Confirm), ExistingFileAction::Ask);
}

TEST(RunLogic, DestinationFoldersAreCreatedWithTheirParents) {
  test::ScratchDir dir;
  const std::string deep = dir / "a/b/c";
  EXPECT_TRUE(plat::CreateFolderTree(W(deep + "/")));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(plat::CreateFolderTree(W(deep))) << "an existing folder is fine";
  test::WriteFile(dir / "file", {1});
  EXPECT_FALSE(plat::CreateFolderTree(W(dir / "file/sub")));
  EXPECT_TRUE(plat::CreateFolderTree(u"C:")) << "a bare drive counts as present";
  // Both separators count, once: the engine's item folders and the window's destination
  // are joined by the same rule.
  const std::u16string sep(1, static_cast<char16_t>(plat::kPathSeparator));
  EXPECT_EQ(plat::JoinPath(u"out", u"x.txt"), u"out" + sep + u"x.txt");
  EXPECT_EQ(plat::JoinPath(u"out\\", u"x.txt"), u"out\\x.txt");
  EXPECT_EQ(plat::JoinPath(u"out/", u"x.txt"), u"out/x.txt");
  EXPECT_EQ(plat::WithSeparator(u""), sep);
  EXPECT_TRUE(plat::CreateFolderTree(W(deep + "/d/e")));
  EXPECT_TRUE(fs::is_directory(deep + "/d/e"));
  // A short relative name is a folder like any other.
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_TRUE(plat::CreateFolderTree(u"ab"));
  EXPECT_TRUE(fs::is_directory(dir / "ab"));
  fs::current_path(before);
  // Beyond the long-path limit nothing is made, however deep the name.
  std::string tooDeep = dir / "x";
  for (int i = 0; i < 20000; ++i) tooDeep += "/a";
  EXPECT_FALSE(plat::CreateFolderTree(W(tooDeep)));
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(RunLogic, WritabilityProbeLeavesExistingNamesAlone) {
  test::ScratchDir dir;
  test::WriteFile(dir / "_BL$TEMP$.$$$", {'k'});
  fs::create_directory(dir / "_BL$TEMP$.$$$$");
  EXPECT_TRUE(DestinationWritable(W(dir.path())));
  EXPECT_EQ(test::ReadFile(dir / "_BL$TEMP$.$$$"), test::Bytes{'k'});
  EXPECT_TRUE(fs::is_directory(dir / "_BL$TEMP$.$$$$"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2) << "no probe left";
  EXPECT_FALSE(DestinationWritable(W(dir / "missing")));
  // Before a run: the folder is made, or the message says why it cannot be used.
  EXPECT_EQ(DestinationProblem(W(dir / "new/deeper")), 0);
  EXPECT_TRUE(fs::is_directory(dir / "new/deeper"));
  EXPECT_EQ(DestinationProblem(u""), msg::kFolderEmpty);
  EXPECT_EQ(DestinationProblem(W(dir / "_BL$TEMP$.$$$/sub")), msg::kFolderNotWritable) << "a file is in the way";
}

TEST(RunLogic, StatusAndQuestionTexts) {
  EXPECT_EQ(ItemStatusText(u"Currently extracting: ", u"C:\\out\\a.txt"), u"Currently extracting:  C:\\out\\a.txt");
  EXPECT_EQ(OverwriteQuestion(u"C:\\out\\a.txt", u"...already exists, overwrite?"),
            u"C:\\out\\a.txt\r...already exists, overwrite?");
}

}  // namespace
}  // namespace szsfx
