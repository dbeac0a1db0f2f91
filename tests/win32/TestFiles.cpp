#include "TestFiles.h"

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

std::string StubPath() { return BuildFolder() + "\\szsfx.exe"; }

std::string TempPath() {
  char path[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, path);
  return std::string(path, n);
}

ScratchDir::ScratchDir() {
  static int counter = 0;
  path_ = TempPath() + "szsfx-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

SfxFiles BuildSfx(const ScratchDir& dir, const TSettingsRecord& settings, const std::string& name) {
  SfxFiles files;
  files.library.resize(4096);
  for (size_t i = 0; i < files.library.size(); ++i) files.library[i] = static_cast<uint8_t>(i * 31 + 7);
  WriteFile(dir / "library.bin", files.library);
  WriteFile(dir / "archive.7z", Bytes{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4});
  TBuildRequest request;
  request.StubPath = StubPath();
  request.LibraryPath = dir / "library.bin";
  request.ArchivePath = dir / "archive.7z";
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
