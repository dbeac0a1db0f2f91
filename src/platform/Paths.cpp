#include "platform/Paths.h"

#include <algorithm>
#include <vector>

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

namespace {

bool IsBareDrive(const std::u16string& path, size_t length) { return length == 2 && path[1] == u':'; }

// Where the parent of path[0, end) ends: 0 when it has none ("a", "\\"), the drive's end
// for "C:a" and "C:\a" ("C:" stays, counted as present).
size_t ParentEnd(const std::u16string& path, size_t end) {
  size_t cut = end;
  while (cut > 0 && !IsPathSeparator(path[cut - 1]) && path[cut - 1] != u':') --cut;
  if (cut == 0) return 0;
  return path[cut - 1] == u':' || IsBareDrive(path, cut - 1) ? std::min<size_t>(cut, 2) : cut - 1;
}

}  // namespace

bool CreateFolderTree(const std::u16string& path) {
  std::u16string folder = path;
  if (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  if (folder.empty() || IsBareDrive(folder, folder.size())) return true;
  if (!WithinLongPathLimit(folder)) return false;
  if (FolderExists(folder)) return true;
  // The ends of the missing folders, deepest first, up to one that exists (or the top).
  std::vector<size_t> missing{folder.size()};
  for (size_t end = ParentEnd(folder, folder.size()); end > 0 && !IsBareDrive(folder, end);
       end = ParentEnd(folder, end)) {
    if (FolderExists(folder.substr(0, end))) break;
    missing.push_back(end);
  }
  for (auto end = missing.rbegin(); end != missing.rend(); ++end) CreateFolder(folder.substr(0, *end));
  return FolderExists(folder);
}

}  // namespace plat
