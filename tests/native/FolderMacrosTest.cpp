// Folder macro expansion with known folder and registry values.
#include <gtest/gtest.h>

#include <map>

#include "app/FolderMacros.h"

namespace szsfx {
namespace {

// The tests' texts are ASCII: widened and narrowed unit by unit.
std::u16string U(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::string A(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += static_cast<char>(c);
  return out;
}

// Replacement values of a known machine; the generator is the real one.
class KnownMachine : public TMacroSource {
 public:
  std::u16string TempPath() override { return u"C:\\T\\"; }
  std::u16string UniqueTempFolder() override { return u"C:\\T\\~SFX" + DecimalText(++uniqueFolders); }
  std::u16string WindowsFolder() override { return u"C:\\W"; }
  std::u16string SystemFolder() override { return u"C:\\W\\S"; }
  std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                const std::u16string& value) override {
    auto it =
        registry.find((root == plat::RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + A(key) + "\\" + A(value));
    return it == registry.end() ? u"" : U(it->second);
  }

  uint32_t uniqueFolders = 0;
  std::map<std::string, std::string> registry = {
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir", "C:\\PF"},
      {"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Personal", "C:\\Docs"},
      {"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Desktop", "C:\\Desk"},
      {"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Fonts", "C:\\W\\Fonts"},
  };
};

std::string Expand(const std::string& text, KnownMachine& machine) { return A(ExpandFolderMacros(U(text), machine)); }
std::string Expand(const std::string& text) {
  KnownMachine machine;
  return Expand(text, machine);
}

TEST(FolderMacros, EachMacroAndItsValue) {
  EXPECT_EQ(Expand("%temp%"), "C:\\T\\");
  EXPECT_EQ(Expand("%temp%\\App"), "C:\\T\\\\App");
  EXPECT_EQ(Expand("%win%\\x"), "C:\\W\\x");
  EXPECT_EQ(Expand("%winsys%"), "C:\\W\\S") << "%winsys% is not matched by %win%";
  EXPECT_EQ(Expand("%PROG%\\App"), "C:\\PF\\App");
  EXPECT_EQ(Expand("%prog%\\App"), "C:\\PF\\App");
  EXPECT_EQ(Expand("%DOCS%|%DESKTOP%|%FONTS%"), "C:\\Docs|C:\\Desk|C:\\W\\Fonts");
}

TEST(FolderMacros, OtherSpellingsAndPlainTextStay) {
  EXPECT_EQ(Expand("%Prog%\\%TEMP%\\%Win%"), "%Prog%\\%TEMP%\\%Win%");
  EXPECT_EQ(Expand("C:\\Plain\\Folder"), "C:\\Plain\\Folder");
  EXPECT_EQ(Expand(""), "");
  EXPECT_EQ(Expand("%temp"), "%temp");
}

TEST(FolderMacros, RepeatedMacrosAtEndAndMiddleAllExpand) {
  EXPECT_EQ(Expand("%win%\\a\\%win%"), "C:\\W\\a\\C:\\W");
  EXPECT_EQ(Expand("%win%%win%%win%"), "C:\\WC:\\WC:\\W");
  EXPECT_EQ(Expand("x%temp%y%win%z"), "xC:\\T\\yC:\\Wz");
}

TEST(FolderMacros, MissingRegistryValueMakesTheMacroDisappear) {
  KnownMachine machine;
  machine.registry.clear();
  EXPECT_EQ(Expand("%PROG%\\App", machine), "\\App");
}

TEST(FolderMacros, ReplacementNamingItsOwnMacroTerminates) {
  KnownMachine machine;
  machine.registry["HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Personal"] =
      "%DOCS%\\x";
  std::string result = Expand("%DOCS%", machine);
  EXPECT_EQ(result.rfind("%DOCS%", 0), 0u);
  EXPECT_EQ(result.size(), 6 + 2u * kMaxMacroPasses);
}

TEST(FolderMacros, TempUniqueIsANewFolderPerOccurrence) {
  KnownMachine machine;
  EXPECT_EQ(Expand("%temp-unique%+%temp-unique%", machine), "C:\\T\\~SFX1+C:\\T\\~SFX2");
}

}  // namespace
}  // namespace szsfx
