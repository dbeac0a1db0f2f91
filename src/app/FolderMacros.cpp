#include "app/FolderMacros.h"

#include <array>
#include <functional>

namespace szsfx {

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string UniqueTempFolder(TMacroSource& source) {
  std::string name = source.TempPath() + plat::kPathSeparator + "~SFX" + std::to_string(source.Random(1000));
  char last = static_cast<char>(97 + source.Random(28));
  // The 28 draws cover "a".."z", "{" and "|"; no folder name may hold "|", so it becomes "}".
  if (last == '|') last = '}';
  return name + last;
}

struct Macro {
  const char* name;
  std::function<std::string(TMacroSource&)> replacement;
};

std::string ProgramFiles(TMacroSource& s) {
  return s.RegistryString(plat::RegistryRoot::LocalMachine, kVersionKey, "ProgramFilesDir");
}

std::string ShellFolder(TMacroSource& s, const char* value) {
  return s.RegistryString(plat::RegistryRoot::CurrentUser, kShellFoldersKey, value);
}

const std::array<Macro, 9>& Macros() {
  static const std::array<Macro, 9> macros = {{
      {"%temp%", [](TMacroSource& s) { return s.TempPath(); }},
      {"%temp-unique%", UniqueTempFolder},
      {"%win%", [](TMacroSource& s) { return s.WindowsFolder(); }},
      {"%winsys%", [](TMacroSource& s) { return s.SystemFolder(); }},
      {"%PROG%", ProgramFiles},
      {"%prog%", ProgramFiles},
      {"%DOCS%", [](TMacroSource& s) { return ShellFolder(s, "Personal"); }},
      {"%DESKTOP%", [](TMacroSource& s) { return ShellFolder(s, "Desktop"); }},
      {"%FONTS%", [](TMacroSource& s) { return ShellFolder(s, "Fonts"); }},
  }};
  return macros;
}

// Replaces the first occurrence of each macro once; true when any was found.
bool ExpandOnePass(std::string& text, TMacroSource& source) {
  bool found = false;
  for (const Macro& macro : Macros()) {
    const std::string name = macro.name;
    size_t at = text.find(name);
    if (at == std::string::npos) continue;
    found = true;
    std::string replacement = macro.replacement(source);
    text.replace(at, name.size(), replacement);
  }
  return found;
}

}  // namespace

std::string TSystemMacroSource::RegistryString(plat::RegistryRoot root, const std::string& key,
                                               const std::string& value) {
  std::string text;
  return plat::ReadRegistryString(root, key, value, text) ? text : std::string();
}

std::string ExpandFolderMacros(std::string text, TMacroSource& source) {
  for (int pass = 0; pass < kMaxMacroPasses && ExpandOnePass(text, source); ++pass) {
  }
  return text;
}

}  // namespace szsfx
