// A fresh folder for one test, shared by the native and the Win32 test suites.
#pragma once

#include <string>

namespace szsfx::test {

// A new folder under the system temp folder, removed with everything in it (read-only
// files too) when the holder goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Removes a tree, waiting up to five seconds for programs that still use it to end.
void RemoveTree(const std::string& path);

}  // namespace szsfx::test
