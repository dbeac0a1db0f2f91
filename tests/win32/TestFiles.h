// Scratch folders and self-extractors for the Win32 tests.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "PayloadBuilder.h"

namespace szsfx::test {

using Bytes = std::vector<uint8_t>;

// The folder of the running test program's build tree (build\win32).
std::string BuildFolder();
std::string StubPath();  // build\win32\szsfx.exe
std::string TempPath();  // the system temp folder, with its backslash

// A fresh folder in the temp path, removed with its contents at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
bool FolderExists(const std::string& path);

// The names of the _BLSFX work folders in the temp path now.
std::set<std::string> WorkFolders();

// A self-extractor in `dir`: the real stub, a small library image, the default
// messages, `settings` and a tiny archive. Returns its path.
struct SfxFiles {
  std::string path;
  Bytes library;
};
SfxFiles BuildSfx(const ScratchDir& dir, const TSettingsRecord& settings, const std::string& name = "sfx.exe");

}  // namespace szsfx::test
