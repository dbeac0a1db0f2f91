#include "common/ScratchDir.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace szsfx::test {

ScratchDir::ScratchDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("szsfx-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("no scratch folder could be made");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  RemoveTree(path_);
}

std::string ScratchDir::operator/(const std::string& name) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + name;
}

void RemoveTree(const std::string& path) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::error_code error;
    fs::remove_all(path, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace szsfx::test
