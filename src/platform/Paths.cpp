#include "platform/Paths.h"

#include "platform/Platform.h"

namespace plat {

bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string WithSeparator(std::u16string folder) {
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += static_cast<char16_t>(kPathSeparator);
  return folder;
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  return WithSeparator(folder) + name;
}

bool CreateFolderTree(const std::u16string& path) {
  std::u16string folder = path;
  if (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  if (folder.size() <= 2 || FolderExists(folder)) return true;
  size_t cut = folder.size();
  while (cut > 0 && !IsPathSeparator(folder[cut - 1]) && folder[cut - 1] != u':') --cut;
  if (cut > 0) {
    std::u16string parent = folder.substr(0, cut);
    if (parent.back() != u':') parent.pop_back();  // "C:" stays, "C:\a\" becomes "C:\a"
    if (!CreateFolderTree(parent)) return false;
  }
  CreateFolder(folder);
  return FolderExists(folder);
}

}  // namespace plat
