// Command-line splitting and the options' effect on the settings record.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "app/CommandLine.h"
#include "platform/Platform.h"

namespace szsfx {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, SeparatorsQuotesAndEmptyPairs) {
  EXPECT_EQ(SplitCommandLine("prog.exe  a\tb\x01"
                             "c"),
            (Args{"prog.exe", "a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\s.exe\" -d \"C:\\My Folder\""),
            (Args{"C:\\Program Files\\s.exe", "-d", "C:\\My Folder"}));
  // Only quotes around a whole argument go; inner quotes stay.
  EXPECT_EQ(SplitCommandLine("p a\"b c\"d \"x\"y\""), (Args{"p", "a\"b c\"d", "x\"y"}));
  // An empty pair where an argument would begin is skipped.
  EXPECT_EQ(SplitCommandLine("p \"\" x \"\"\"\" y"), (Args{"p", "x", "y"}));
  EXPECT_EQ(SplitCommandLine("p \""), (Args{"p", "\""}));
  EXPECT_EQ(SplitCommandLine("   "), Args{});
  EXPECT_EQ(SplitCommandLine("p \"unterminated arg"), (Args{"p", "\"unterminated arg"}));
  // Characters above 127 belong to arguments.
  EXPECT_EQ(SplitCommandLine("p \xE9t\xE9"), (Args{"p", "\xE9t\xE9"}));
}

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = test::ValidRecord();
    record_.ExtractFolder.Set("C:\\Stored");
    record_.RunCommand.Set("setup.exe");
    record_.OverwriteMode = OverwriteModeSkip;
  }
  bool Apply(const std::string& arguments) {
    outcome_ = ApplyOptions(SplitCommandLine(plat::FromSystemCodePage("sfx.exe " + arguments)), record_);
    return outcome_.Usage;
  }

  TSettingsRecord record_{};
  TOptionsOutcome outcome_;
};

TEST_F(Options, EachLetterSetsItsFields) {
  Apply("-a");
  EXPECT_EQ(record_.AutoExtract, 1);
  Apply("-o");
  EXPECT_EQ(record_.OverwriteMode, OverwriteModeOverwrite);
  Apply("-n");
  EXPECT_EQ(record_.OverwriteMode, OverwriteModeSkip);
  Apply("-q");
  EXPECT_EQ(record_.OverwriteMode, OverwriteModeConfirm);
  Apply("-x");
  EXPECT_EQ(record_.RunCommand.Get(), "");
}

TEST_F(Options, LaterOptionsOverrideEarlierOnesAndSlashActsLikeDash) {
  Apply("/s -q");
  EXPECT_EQ(record_.AutoExtract, 1);
  EXPECT_EQ(record_.OverwriteMode, OverwriteModeConfirm);
  Apply("/o");
  EXPECT_EQ(record_.OverwriteMode, OverwriteModeOverwrite);
}

TEST_F(Options, NearMissesChangeNothing) {
  TSettingsRecord before = record_;
  EXPECT_FALSE(Apply("-A -S -ao -dC:\\x d a plain \"-a \" - /"));
  EXPECT_EQ(test::RecordBytes(record_), test::RecordBytes(before));
}

TEST_F(Options, QuestionMarkAsksForUsageAndChangesNothing) {
  TSettingsRecord before = record_;
  EXPECT_TRUE(Apply("/?"));
  EXPECT_EQ(test::RecordBytes(record_), test::RecordBytes(before));
}

TEST_F(Options, FolderOption) {
  Apply("-d");
  EXPECT_EQ(record_.ExtractFolder.Get(), "C:\\Stored") << "d as the last argument changes nothing";
  Apply("-d \"C:\\Out Dir\" -a");
  EXPECT_EQ(record_.ExtractFolder.Get(), "C:\\Out Dir");
  EXPECT_EQ(record_.AutoExtract, 1);
  SetUp();
  Apply("-d -a");  // the folder argument is still read as an option in its own turn
  EXPECT_EQ(record_.ExtractFolder.Get(), "-a");
  EXPECT_EQ(record_.AutoExtract, 1);
  Apply("-d %temp%\\x");
  EXPECT_EQ(record_.ExtractFolder.Get(), "%temp%\\x") << "no macro expansion";
  Apply("-d " + std::string(300, 'f'));
  EXPECT_EQ(record_.ExtractFolder.Get(), std::string(255, 'f'));
}

TEST_F(Options, HashAppendsTheRestToTheCommand) {
  Apply("-# one \"two words\" -a");
  EXPECT_EQ(record_.RunCommand.Get(), "setup.exe one two words -a");
  EXPECT_EQ(outcome_.CommandLength, 9) << "the program ends where the arguments begin";
  EXPECT_EQ(record_.AutoExtract, 0) << "parsing ends at #";
  SetUp();
  Apply("-#");
  EXPECT_EQ(record_.RunCommand.Get(), "setup.exe");
  record_.RunCommand.Set("");
  Apply("-# one");
  EXPECT_EQ(record_.RunCommand.Get(), " one");
  SetUp();
  Apply("-# " + std::string(60, 'a') + " " + std::string(60, 'b') + " c");
  EXPECT_EQ(record_.RunCommand.Get(), "setup.exe " + std::string(60, 'a') + " " + std::string(29, 'b'));
}

// Folders and arguments outside any 8-bit code page reach the run intact; the record
// keeps its 8-bit form of them.
TEST_F(Options, FolderAndCommandArgumentsKeepEveryCharacter) {
  const std::u16string greek = u"C:\\\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \U0001F600";
  outcome_ = ApplyOptions({u"sfx.exe", u"-d", greek, u"-#", u"\u6587\u4ef6.txt", u"x"}, record_);
  EXPECT_EQ(outcome_.ExtractFolder, greek);
  EXPECT_EQ(outcome_.RunCommand, u"setup.exe \u6587\u4ef6.txt x");
  EXPECT_EQ(outcome_.CommandLength, 9);
  EXPECT_EQ(plat::FromSystemCodePage(record_.ExtractFolder.Get()), greek);

  outcome_ = ApplyOptions({u"sfx.exe", u"-x"}, record_);
  EXPECT_EQ(outcome_.RunCommand, u"");
  EXPECT_EQ(outcome_.ExtractFolder, greek) << "without d the record's folder stands";
  EXPECT_EQ(SplitCommandLine(u"p -d \"C:\\\u4e2d \u6587\" -s"),
            (std::vector<std::u16string>{u"p", u"-d", u"C:\\\u4e2d \u6587", u"-s"}));
}

}  // namespace
}  // namespace szsfx
