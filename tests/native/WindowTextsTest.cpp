// The password caption and the after-extraction command, without windows.
#include <gtest/gtest.h>

#include "run/AfterCommand.h"
#include "run/PasswordCaption.h"

namespace szsfx {
namespace {

TEST(PasswordCaption, FirstPercentSGoesAndTheNameComesLast) {
  EXPECT_EQ(PasswordCaption(u"Please enter the password for %s", u"C:\\out\\a.txt"),
            u"Please enter the password for C:\\out\\a.txt");
  EXPECT_EQ(PasswordCaption(u"%s is locked", u"x"), u" is lockedx");
  EXPECT_EQ(PasswordCaption(u"Password for %s please %s", u"x"), u"Password for  please %sx");
  EXPECT_EQ(PasswordCaption(u"Password:", u"x"), u"Password:x");
  EXPECT_EQ(PasswordCaption(u"Please enter the password for %s", u""), u"Please enter the password for ");
}

using Kind = TAfterCommand::Kind;

TEST(AfterCommand, ProgramsAndDocumentsOpenFromTheDestination) {
  for (const char16_t* destination : {u"C:\\out", u"C:\\out\\"}) {
    TAfterCommand c = PlanAfterCommand(destination, u"setup.exe", -1);
    EXPECT_EQ(c.What, Kind::Open);
    EXPECT_EQ(c.Text, u"C:\\out\\setup.exe");
    EXPECT_EQ(c.Folder, u"C:\\out\\");
    EXPECT_EQ(c.Parameters, u"");
  }
  EXPECT_EQ(PlanAfterCommand(u"C:\\out", u"docs\\readme.txt", -1).Folder, u"C:\\out\\docs\\");
  EXPECT_EQ(PlanAfterCommand(u"C:\\out", u"", -1).What, Kind::None);
  EXPECT_EQ(PlanAfterCommand(u"C:", u"a", -1).What, Kind::None) << "C:\\a has only 4 characters";
  EXPECT_EQ(PlanAfterCommand(u"C:", u"ab", -1).What, Kind::Open);
}

TEST(AfterCommand, HashArgumentsBecomeParameters) {
  // RunCommand "setup.exe" with -# /S "two words" appended (quoted again as one argument).
  TAfterCommand c = PlanAfterCommand(u"C:\\my out", u"setup.exe /S \"two words\"", 9);
  EXPECT_EQ(c.Text, u"C:\\my out\\setup.exe");
  EXPECT_EQ(c.Parameters, u"/S \"two words\"");
  EXPECT_EQ(c.Folder, u"C:\\my out\\");
  EXPECT_EQ(PlanAfterCommand(u"C:\\out", u" one", 0).What, Kind::None) << "arguments without a program";
}

TEST(AfterCommand, InfFilesGoToTheInstaller) {
  for (const char16_t* name : {u"Driver.Inf", u"DRIVER.INF", u"driver.inf"}) {
    TAfterCommand c = PlanAfterCommand(u"C:\\out", name, -1);
    EXPECT_EQ(c.What, Kind::Inf) << static_cast<int>(c.What);
    EXPECT_EQ(c.Text, std::u16string(u"C:\\out\\") + name);
  }
  EXPECT_EQ(PlanAfterCommand(u"C:\\out", u"driver.inx", -1).What, Kind::Open);
  EXPECT_EQ(InfCommandLine(u"C:\\windows\\system32", u"C:\\out\\d.inf"),
            u"C:\\windows\\system32\\rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 132 C:\\out\\d.inf");
  EXPECT_EQ(InfCommandLine(u"C:\\windows\\system32\\", u"C:\\out\\d.inf"),
            u"C:\\windows\\system32\\rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 132 C:\\out\\d.inf");
}

}  // namespace
}  // namespace szsfx
