#include "app/FolderMacros.h"

#include <array>
#include <functional>

#include "app/FreshFolder.h"

namespace szsfx {

namespace {

const char16_t kVersionKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char16_t kShellFoldersKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct Macro {
  const char16_t* name;
  std::function<std::u16string(TMacroSource&)> replacement;
};

std::u16string ProgramFiles(TMacroSource& s) {
  return s.RegistryString(plat::RegistryRoot::LocalMachine, kVersionKey, u"ProgramFilesDir");
}

std::u16string ShellFolder(TMacroSource& s, const char16_t* value) {
  return s.RegistryString(plat::RegistryRoot::CurrentUser, kShellFoldersKey, value);
}

const std::array<Macro, 9>& Macros() {
  static const std::array<Macro, 9> macros = {{
      {u"%temp%", [](TMacroSource& s) { return s.TempPath(); }},
      {u"%temp-unique%", [](TMacroSource& s) { return s.UniqueTempFolder(); }},
      {u"%win%", [](TMacroSource& s) { return s.WindowsFolder(); }},
      {u"%winsys%", [](TMacroSource& s) { return s.SystemFolder(); }},
      {u"%PROG%", ProgramFiles},
      {u"%prog%", ProgramFiles},
      {u"%DOCS%", [](TMacroSource& s) { return ShellFolder(s, u"Personal"); }},
      {u"%DESKTOP%", [](TMacroSource& s) { return ShellFolder(s, u"Desktop"); }},
      {u"%FONTS%", [](TMacroSource& s) { return ShellFolder(s, u"Fonts"); }},
  }};
  return macros;
}

// Replaces the first occurrence of each macro once; true when any was found.
bool ExpandOnePass(std::u16string& text, TMacroSource& source) {
  bool found = false;
  for (const Macro& macro : Macros()) {
    const std::u16string name = macro.name;
    size_t at = text.find(name);
    if (at == std::u16string::npos) continue;
    found = true;
    const std::u16string replacement = macro.replacement(source);
    text.replace(at, name.size(), replacement);
  }
  return found;
}

}  // namespace

std::u16string TSystemMacroSource::RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                                  const std::u16string& value) {
  std::u16string text;
  return plat::ReadRegistryString(root, key, value, text) ? text : std::u16string();
}

// Without its separator: the macro's text goes on as the extraction folder gives it.
std::u16string TSystemMacroSource::UniqueTempFolder() {
  THeldPath folder = CreateFreshFolder(temp_, kUniqueTempPrefix);
  if (!folder.Held()) {
    failed_ = true;
    return std::u16string();
  }
  std::u16string path = folder.Path();
  path.pop_back();
  held_.push_back(std::move(folder));
  return path;
}

std::u16string DecimalText(uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string ExpandFolderMacros(std::u16string text, TMacroSource& source) {
  for (int pass = 0; pass < kMaxMacroPasses && ExpandOnePass(text, source); ++pass) {
  }
  return text;
}

}  // namespace szsfx
