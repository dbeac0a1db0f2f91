// A 7z archive of a folder made by the 7z command found on the PATH, and the temporary
// files mksfx makes on its way to the output.
#pragma once

#include <string>

namespace szsfx {

// The switches mksfx passes the 7z command unless the publisher names others: a solid 7z
// archive, LZMA2 at level 7, files grouped by extension, executables through the x86
// filter the command picks for them.
extern const char kDefaultSevenZipSwitches[];

// The 7z command on the PATH ("7z", or "7z.exe" on Windows), or "" when there is none.
std::string FindSevenZipCommand();

// Archives the contents of `folder` (item names relative to it) into `archive`, which
// must not exist yet. `switches` are split at spaces. Returns "" or the error.
std::string ArchiveFolder(const std::string& folder, const std::string& archive, const std::string& switches);

// A file name removed when this goes out of scope (and before first use).
class TTemporaryFile {
 public:
  explicit TTemporaryFile(std::string path);
  ~TTemporaryFile();
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace szsfx
