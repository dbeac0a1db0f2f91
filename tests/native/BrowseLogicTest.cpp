// The folder browser's window-free rules: roots, flags, the preselection, fitting.
#include <gtest/gtest.h>

#include "run/BrowseLogic.h"

namespace szsfx {
namespace {

// One pixel per character.
int Chars(const std::u16string& text) { return static_cast<int>(text.size()); }

TEST(BrowseLogic, DropFirstFolderRounds) {
  EXPECT_EQ(DropFirstFolder(u"\\Program Files\\Common\\Data\\"), u"\\...\\Common\\Data\\");
  EXPECT_EQ(DropFirstFolder(u"\\...\\Common\\Data\\"), u"\\...\\Data\\");
  EXPECT_EQ(DropFirstFolder(u"\\...\\Data\\"), u"\\...\\");
  EXPECT_EQ(DropFirstFolder(u"Common\\Data\\"), u"...\\Data\\");
  EXPECT_EQ(DropFirstFolder(u"...\\Data\\"), u"...\\");
  EXPECT_EQ(DropFirstFolder(u"...\\"), u"");
  EXPECT_EQ(DropFirstFolder(u"\\"), u"");
}

TEST(BrowseLogic, FitPathToWidthStopsAtTheFirstFit) {
  const std::u16string path = u"C:\\Program Files\\Common\\Data\\file.txt";
  const char16_t* rounds[] = {u"C:\\...\\Common\\Data\\file.txt", u"C:\\...\\Data\\file.txt", u"C:\\...\\file.txt",
                              u"...\\file.txt", u"file.txt"};
  EXPECT_EQ(FitPathToWidth(path, Chars(path), Chars), path);
  for (const char16_t* round : rounds) EXPECT_EQ(FitPathToWidth(path, Chars(round), Chars), round);
  EXPECT_EQ(FitPathToWidth(path, 3, Chars), u"file.txt") << "the bare name, even when still too wide";
}

TEST(BrowseLogic, FitTextToWidthCutsFromTheEnd) {
  EXPECT_EQ(FitTextToWidth(u"Status text", 20, Chars), u"Status text");
  EXPECT_EQ(FitTextToWidth(u"Status text", 9, Chars), u"Status...");
  EXPECT_EQ(FitTextToWidth(u"Status text", 0, Chars), u"...");
  EXPECT_EQ(FitTextToWidth(u"", 0, Chars), u"");
}

TEST(BrowseLogic, SelectionPathForm) {
  EXPECT_EQ(SelectionPathForm(u""), u"");
  EXPECT_EQ(SelectionPathForm(u"C:"), u"C:\\");
  EXPECT_EQ(SelectionPathForm(u"C:\\"), u"C:\\");
  EXPECT_EQ(SelectionPathForm(u"C:\\Data\\"), u"C:\\Data");
  EXPECT_EQ(SelectionPathForm(u"C:\\Data"), u"C:\\Data");
  EXPECT_EQ(SelectionPathForm(u"\\"), u"\\");
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
