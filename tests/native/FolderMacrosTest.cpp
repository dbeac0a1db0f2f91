// Folder macro expansion with known folder and registry values, and the generator.
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
  explicit KnownMachine(uint32_t seed = 7) : random(seed) {}
  std::u16string TempPath() override { return u"C:\\T\\"; }
  uint32_t Random(uint32_t k) override { return random.Next(k); }
  std::u16string WindowsFolder() override { return u"C:\\W"; }
  std::u16string SystemFolder() override { return u"C:\\W\\S"; }
  std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                const std::u16string& value) override {
    auto it =
        registry.find((root == plat::RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + A(key) + "\\" + A(value));
    return it == registry.end() ? u"" : U(it->second);
  }

  TRandom random;
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

TEST(FolderMacros, TempUniqueDrawsNumberThenLetterPerOccurrence) {
  KnownMachine machine(12345);
  TRandom expected(12345);
  std::string result = Expand("%temp-unique%+%temp-unique%", machine);
  std::string names[2];
  for (std::string& name : names) {
    uint32_t number = expected.Next(1000);
    char letter = static_cast<char>(97 + expected.Next(28));
    name =
        "C:\\T\\" + std::string(1, static_cast<char>(plat::kPathSeparator)) + "~SFX" + std::to_string(number) + letter;
  }
  EXPECT_EQ(result, names[0] + "+" + names[1]);
  EXPECT_NE(names[0], names[1]);
}

TEST(FolderMacros, TempUniqueNeverDrawsABar) {
  // Find seeds whose letter draw is 27, the one that would give "|".
  int found = 0;
  for (uint32_t seed = 0; found < 3 && seed < 100000; ++seed) {
    TRandom probe(seed);
    probe.Next(1000);
    if (probe.Next(28) != 27) continue;
    ++found;
    KnownMachine machine(seed);
    std::string result = Expand("%temp-unique%", machine);
    EXPECT_EQ(result.back(), '}') << seed;
    EXPECT_EQ(result.find('|'), std::string::npos);
  }
  EXPECT_EQ(found, 3);
}

TEST(Random, FollowsTheLinearCongruentialSequence) {
  TRandom random(0);
  std::vector<uint32_t> draws;
  for (int i = 0; i < 10; ++i) draws.push_back(random.Next(100));
  EXPECT_EQ(draws, (std::vector<uint32_t>{0, 3, 86, 20, 27, 67, 31, 16, 37, 42}));
  TRandom high(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) EXPECT_LT(high.Next(999), 999u);
}

}  // namespace
}  // namespace szsfx
