// Scratch folders and self-extractors for the Win32 tests.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/FileBytes.h"
#include "common/ScratchDir.h"
#include "payload/PayloadBuilder.h"

namespace szsfx::test {

// The folder of the running test program's build tree (build\win32).
std::string BuildFolder();
std::string StubPath();                        // build\win32\szsfx.exe
std::string TempPath();                        // the system temp folder, with its backslash
std::wstring Quoted(const std::string& path);  // in double quotes, for a command line
// Archives, their source trees and the library forwarder ("lib\7z.dll"), made by
// tests/engine/make_archives.sh before the Win32 tests run.
std::string EngineData(const std::string& name);

bool FolderExists(const std::string& path);

// The names of the _BLSFX work folders in the temp path now.
std::set<std::string> WorkFolders();

// A self-extractor in `dir`: the real stub, our library (the forwarder when
// SZSFX_TEST_LIBRARY=forwarder), the default messages, `settings` and one of the engine
// archives. Returns its path.
struct SfxFiles {
  std::string path;
  Bytes library;
};
SfxFiles BuildSfx(const ScratchDir& dir, const TSettingsRecord& settings, const std::string& archive = "tree.7z",
                  const std::string& name = "sfx.exe");

// A tree by relative UTF-16 name (a folder ends in a backslash, with no bytes) with every
// file's bytes, read through extended paths: names outside the code page and paths beyond
// MAX_PATH as they are (the C++ library's directory walk stops there). Empty when `root`
// does not exist.
using WideTree = std::map<std::wstring, Bytes>;
WideTree ReadWideTree(const std::wstring& root);
// A file's bytes through its extended path; false when it cannot be opened.
bool ReadWideFile(const std::wstring& path, Bytes& bytes);
// Removes a tree through extended paths, read-only files included.
void RemoveWideTree(const std::wstring& root);

// True when the two folders hold the same files with the same bytes.
bool SameTree(const std::string& expected, const std::string& actual, std::string& difference);

}  // namespace szsfx::test
