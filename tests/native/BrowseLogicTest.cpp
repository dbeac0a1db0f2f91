// The folder browser's window-free rules: roots, flags, the preselection, fitting.
#include <gtest/gtest.h>

#include "ui/BrowseLogic.h"

namespace szsfx {
namespace {

// One pixel per character.
int Chars(const std::string& text) { return static_cast<int>(text.size()); }

TEST(BrowseLogic, DropFirstFolderRounds) {
  EXPECT_EQ(DropFirstFolder("\\Program Files\\Common\\Data\\"), "\\...\\Common\\Data\\");
  EXPECT_EQ(DropFirstFolder("\\...\\Common\\Data\\"), "\\...\\Data\\");
  EXPECT_EQ(DropFirstFolder("\\...\\Data\\"), "\\...\\");
  EXPECT_EQ(DropFirstFolder("Common\\Data\\"), "...\\Data\\");
  EXPECT_EQ(DropFirstFolder("...\\Data\\"), "...\\");
  EXPECT_EQ(DropFirstFolder("...\\"), "");
  EXPECT_EQ(DropFirstFolder("\\"), "");
}

TEST(BrowseLogic, FitPathToWidthStopsAtTheFirstFit) {
  const std::string path = "C:\\Program Files\\Common\\Data\\file.txt";
  const char* rounds[] = {"C:\\...\\Common\\Data\\file.txt", "C:\\...\\Data\\file.txt", "C:\\...\\file.txt",
                          "...\\file.txt", "file.txt"};
  EXPECT_EQ(FitPathToWidth(path, Chars(path), Chars), path);
  for (const char* round : rounds) EXPECT_EQ(FitPathToWidth(path, Chars(round), Chars), round);
  EXPECT_EQ(FitPathToWidth(path, 3, Chars), "file.txt") << "the bare name, even when still too wide";
}

TEST(BrowseLogic, FitTextToWidthCutsFromTheEnd) {
  EXPECT_EQ(FitTextToWidth("Status text", 20, Chars), "Status text");
  EXPECT_EQ(FitTextToWidth("Status text", 9, Chars), "Status...");
  EXPECT_EQ(FitTextToWidth("Status text", 0, Chars), "...");
  EXPECT_EQ(FitTextToWidth("", 0, Chars), "");
}

TEST(BrowseLogic, SelectionPathForm) {
  EXPECT_EQ(SelectionPathForm(""), "");
  EXPECT_EQ(SelectionPathForm("C:"), "C:\\");
  EXPECT_EQ(SelectionPathForm("C:\\"), "C:\\");
  EXPECT_EQ(SelectionPathForm("C:\\Data\\"), "C:\\Data");
  EXPECT_EQ(SelectionPathForm("C:\\Data"), "C:\\Data");
  EXPECT_EQ(SelectionPathForm("\\"), "\\");
}

TEST(BrowseLogic, FlagsAndRoots) {
  EXPECT_EQ(ShellBrowseFlags(0, false), 0u);
  EXPECT_EQ(ShellBrowseFlags(FlagBit(bfEditBox), false), 0x30u);
  EXPECT_EQ(ShellBrowseFlags(FlagBit(bfEditBox), true), 0x34u);
  EXPECT_EQ(ShellBrowseFlags(FlagBit(bfDirectoriesOnly) | FlagBit(bfComputers) | FlagBit(bfIncludeFiles), false),
            0x5001u);
  EXPECT_EQ(SpecialFolderId(idCommonPrograms), 0x17);
  EXPECT_EQ(SpecialFolderId(idCommonDesktopDirectory), 0x19);
  EXPECT_EQ(SpecialFolderId(idDrives), 0x11);
  EXPECT_EQ(SpecialFolderId(idPrintHood), 0x1B);
  EXPECT_EQ(SpecialFolderId(idDesktopExpanded), 0xFEFE);
}

}  // namespace
}  // namespace szsfx
