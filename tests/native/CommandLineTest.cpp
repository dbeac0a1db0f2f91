// Command-line splitting and the options' effect on the settings record and the run's texts.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "app/CommandLine.h"

namespace szsfx {
namespace {

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, SeparatorsQuotesAndEmptyPairs) {
  EXPECT_EQ(SplitCommandLine(u"prog.exe  a\tb\x01"
                             u"c"),
            (Args{u"prog.exe", u"a", u"b", u"c"}));
  EXPECT_EQ(SplitCommandLine(u"\"C:\\Program Files\\s.exe\" -d \"C:\\My Folder\""),
            (Args{u"C:\\Program Files\\s.exe", u"-d", u"C:\\My Folder"}));
  // Only quotes around a whole argument go; inner quotes stay.
  EXPECT_EQ(SplitCommandLine(u"p a\"b c\"d \"x\"y\""), (Args{u"p", u"a\"b c\"d", u"x\"y"}));
  // An empty pair where an argument would begin is skipped.
  EXPECT_EQ(SplitCommandLine(u"p \"\" x \"\"\"\" y"), (Args{u"p", u"x", u"y"}));
  EXPECT_EQ(SplitCommandLine(u"p \""), (Args{u"p", u"\""}));
  EXPECT_EQ(SplitCommandLine(u"   "), Args{});
  EXPECT_EQ(SplitCommandLine(u"p \"unterminated arg"), (Args{u"p", u"\"unterminated arg"}));
  // Characters above 127 belong to arguments.
  EXPECT_EQ(SplitCommandLine(u"p \u00e9t\u00e9"), (Args{u"p", u"\u00e9t\u00e9"}));
}

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = test::ValidRecord();
    record_.ExtractFolder.Set("C:\\Stored");
    record_.RunCommand.Set("setup.exe");
    record_.OverwriteMode = kOverwriteModeSkip;
    folder_ = u"C:\\Stored";
    command_ = u"setup.exe";
  }
  bool Apply(const std::u16string& arguments) {
    outcome_ = ApplyOptions(SplitCommandLine(u"sfx.exe " + arguments), record_, folder_, command_);
    return outcome_.Usage;
  }

  TSettingsRecord record_{};
  std::u16string folder_, command_;
  TOptionsOutcome outcome_;
};

TEST_F(Options, EachLetterSetsItsFields) {
  Apply(u"-a");
  EXPECT_EQ(record_.AutoExtract, 1);
  Apply(u"-o");
  EXPECT_EQ(record_.OverwriteMode, kOverwriteModeOverwrite);
  Apply(u"-n");
  EXPECT_EQ(record_.OverwriteMode, kOverwriteModeSkip);
  Apply(u"-q");
  EXPECT_EQ(record_.OverwriteMode, kOverwriteModeConfirm);
  Apply(u"-x");
  EXPECT_EQ(command_, u"");
}

TEST_F(Options, LaterOptionsOverrideEarlierOnesAndSlashActsLikeDash) {
  Apply(u"/s -q");
  EXPECT_EQ(record_.AutoExtract, 1);
  EXPECT_EQ(record_.OverwriteMode, kOverwriteModeConfirm);
  Apply(u"/o");
  EXPECT_EQ(record_.OverwriteMode, kOverwriteModeOverwrite);
}

TEST_F(Options, NearMissesChangeNothing) {
  TSettingsRecord before = record_;
  EXPECT_FALSE(Apply(u"-A -S -ao -dC:\\x d a plain \"-a \" - /"));
  EXPECT_EQ(test::RecordBytes(record_), test::RecordBytes(before));
  EXPECT_EQ(folder_, u"C:\\Stored");
  EXPECT_EQ(command_, u"setup.exe");
}

// The folder and the command change in the run's texts only: the record keeps the bytes
// that were read from the file.
TEST_F(Options, TextOptionsLeaveTheRecordsTextsAsRead) {
  TSettingsRecord before = record_;
  Apply(u"-d C:\\Elsewhere -x -# one");
  EXPECT_EQ(folder_, u"C:\\Elsewhere");
  EXPECT_EQ(command_, u" one");
  EXPECT_EQ(test::RecordBytes(record_), test::RecordBytes(before));
}

TEST_F(Options, QuestionMarkAsksForUsageAndChangesNothing) {
  TSettingsRecord before = record_;
  EXPECT_TRUE(Apply(u"/?"));
  EXPECT_EQ(test::RecordBytes(record_), test::RecordBytes(before));
}

TEST_F(Options, FolderOption) {
  Apply(u"-d");
  EXPECT_EQ(folder_, u"C:\\Stored") << "d as the last argument changes nothing";
  Apply(u"-d \"C:\\Out Dir\" -a");
  EXPECT_EQ(folder_, u"C:\\Out Dir");
  EXPECT_EQ(record_.AutoExtract, 1);
  SetUp();
  Apply(u"-d -a");  // the folder argument is still read as an option in its own turn
  EXPECT_EQ(folder_, u"-a");
  EXPECT_EQ(record_.AutoExtract, 1);
  Apply(u"-d %temp%\\x");
  EXPECT_EQ(folder_, u"%temp%\\x") << "no macro expansion";
  // Never cut, however long: one beyond the long-path limit is refused by the run, not here.
  for (size_t length : {300u, 1000u, 40000u}) {
    const std::u16string folder = u"C:\\" + std::u16string(length - 3, u'f');
    outcome_ = ApplyOptions({u"sfx.exe", u"-d", folder}, record_, folder_, command_);
    EXPECT_TRUE(folder_ == folder) << length << " characters arrived as " << folder_.size();
  }
}

TEST_F(Options, HashAppendsTheRestToTheCommand) {
  Apply(u"-# one \"two words\" -a");
  EXPECT_EQ(command_, u"setup.exe one \"two words\" -a");
  EXPECT_EQ(outcome_.CommandLength, 9) << "the program ends where the arguments begin";
  EXPECT_EQ(record_.AutoExtract, 0) << "parsing ends at #";
  SetUp();
  Apply(u"-#");
  EXPECT_EQ(command_, u"setup.exe");
  command_.clear();
  Apply(u"-# one");
  EXPECT_EQ(command_, u" one");
  SetUp();
  Apply(u"-# " + std::u16string(60, u'a') + u" " + std::u16string(60, u'b') + u" c");
  EXPECT_EQ(command_, u"setup.exe " + std::u16string(60, u'a') + u" " + std::u16string(29, u'b'));
}

// An argument with a space or a tab is quoted again so that the started program reads it
// as one: quotes inside are escaped, backslashes doubled where a quote follows them.
TEST_F(Options, HashArgumentsWithBlanksAreQuotedAgain) {
  const struct {
    const char16_t* argument;
    const char16_t* passed;
  } cases[] = {
      {u"two words", u"\"two words\""},
      {u"tab\there", u"\"tab\there\""},
      {u"say \"hi\" now", u"\"say \\\"hi\\\" now\""},
      {u"a b\\\"c", u"\"a b\\\\\\\"c\""},
      {u"C:\\My Dir\\", u"\"C:\\My Dir\\\\\""},
      {u"C:\\My Dir\\x", u"\"C:\\My Dir\\x\""},
      {u"C:\\dir\\", u"C:\\dir\\"},
      {u"a\"b", u"a\"b"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    command_ = u"setup.exe";
    outcome_ = ApplyOptions({u"sfx.exe", u"-#", c.argument, u"/S"}, record_, folder_, command_);
    EXPECT_EQ(command_, u"setup.exe " + std::u16string(c.passed) + u" /S") << test::Narrow(c.argument);
  }
}

// Folders and arguments outside any 8-bit code page reach the run intact.
TEST_F(Options, FolderAndCommandArgumentsKeepEveryCharacter) {
  const std::u16string greek = u"C:\\\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \U0001F600";
  outcome_ = ApplyOptions({u"sfx.exe", u"-d", greek, u"-#", u"\u6587\u4ef6.txt", u"x"}, record_, folder_, command_);
  EXPECT_EQ(folder_, greek);
  EXPECT_EQ(command_, u"setup.exe \u6587\u4ef6.txt x");
  EXPECT_EQ(outcome_.CommandLength, 9);

  outcome_ = ApplyOptions({u"sfx.exe", u"-x"}, record_, folder_, command_);
  EXPECT_EQ(command_, u"");
  EXPECT_EQ(folder_, greek) << "without d the folder stands";
  EXPECT_EQ(SplitCommandLine(u"p -d \"C:\\\u4e2d \u6587\" -s"),
            (std::vector<std::u16string>{u"p", u"-d", u"C:\\\u4e2d \u6587", u"-s"}));
}

}  // namespace
}  // namespace szsfx
