#include "TestFiles.h"

#include "Driver.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace szsfx::test {

namespace fs = std::filesystem;

std::string BuildFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // build\win32\tests\win32_tests.exe -> build\win32
  return fs::path(std::string(path, n)).parent_path().parent_path().string();
}

std::wstring Quoted(const std::string& path) { return L"\"" + Widen(path) + L"\""; }

std::string StubPath() { return BuildFolder() + "\\szsfx.exe"; }

std::string TempPath() {
  char path[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, path);
  return std::string(path, n);
}

bool FolderExists(const std::string& path) { return fs::is_directory(path); }

std::set<std::string> WorkFolders() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(TempPath())) {
    std::string name = entry.path().filename().string();
    if (name.rfind("_BLSFX", 0) == 0) names.insert(name);
  }
  return names;
}

std::string EngineData(const std::string& name) { return BuildFolder() + "\\engine-data\\" + name; }

namespace {

std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

void ReadInto(const std::wstring& root, const std::wstring& prefix, WideTree& tree) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((Extended(root) + L"\\" + prefix + L"*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[prefix + name + L"\\"];
      ReadInto(root, prefix + name + L"\\", tree);
    } else {
      ReadWideFile(root + L"\\" + prefix + name, tree[prefix + name]);
    }
  } while (FindNextFileW(h, &found));
  FindClose(h);
}

}  // namespace

bool ReadWideFile(const std::wstring& path, Bytes& bytes) {
  bytes.clear();
  HANDLE h = CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  uint8_t chunk[65536];
  DWORD n = 0;
  while (::ReadFile(h, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  CloseHandle(h);
  return true;
}

WideTree ReadWideTree(const std::wstring& root) {
  WideTree tree;
  ReadInto(root, L"", tree);
  return tree;
}

void RemoveWideTree(const std::wstring& root) {
  const WideTree tree = ReadWideTree(root);
  for (auto entry = tree.rbegin(); entry != tree.rend(); ++entry) {  // children before their folders
    const std::wstring path = Extended(root) + L"\\" + entry->first;
    if (entry->first.back() == L'\\') {
      RemoveDirectoryW(path.c_str());
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  }
}

bool SameTree(const std::string& expected, const std::string& actual, std::string& difference) {
  std::set<std::string> a, b;
  for (const auto& e : fs::recursive_directory_iterator(expected)) a.insert(fs::relative(e.path(), expected).string());
  if (fs::is_directory(actual)) {
    for (const auto& e : fs::recursive_directory_iterator(actual)) b.insert(fs::relative(e.path(), actual).string());
  }
  if (a != b) {
    difference = "listings differ (" + std::to_string(a.size()) + " vs " + std::to_string(b.size()) + " entries)";
    return false;
  }
  for (const std::string& name : a) {
    const std::string left = (fs::path(expected) / name).string(), right = (fs::path(actual) / name).string();
    if (fs::is_regular_file(left) && ReadFile(left) != ReadFile(right)) {
      difference = name + " differs";
      return false;
    }
  }
  return true;
}

// Our library beside the stub, or with SZSFX_TEST_LIBRARY=forwarder the forwarder to the
// installed 7-Zip (for the cases that run in the prefix with 7-Zip).
static std::string LibraryForTests() {
  char text[16] = {};
  DWORD n = GetEnvironmentVariableA("SZSFX_TEST_LIBRARY", text, sizeof text);
  if (n > 0 && n < sizeof text && std::string(text) == "forwarder") return EngineData("lib\\7z.dll");
  return BuildFolder() + "\\7zextract.dll";
}

SfxFiles BuildSfx(const ScratchDir& dir, const TSettingsRecord& settings, const std::string& archive,
                  const std::string& name) {
  SfxFiles files;
  const std::string library = LibraryForTests();
  files.library = ReadFile(library);
  TBuildRequest request;
  request.StubPath = StubPath();
  request.LibraryPath = library;
  request.ArchivePath = EngineData(archive);
  request.OutputPath = dir / name;
  request.Settings = settings;
  std::string error;
  request.Areas.push_back(StringArea(DefaultMessages(), error));
  error = BuildSelfExtractor(request);
  if (!error.empty()) throw std::runtime_error(error);
  files.path = request.OutputPath;
  return files;
}

}  // namespace szsfx::test
