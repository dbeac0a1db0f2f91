// Folder paths put together and created the same way everywhere: one separator rule, one
// join, one creation of a folder with its missing parents.
#pragma once

#include <string>

namespace plat {

// A backslash or a slash: item names use either, and the file calls take both on Windows.
bool IsPathSeparator(char16_t c);
// `folder` ending in one separator (the system's is added when it ends in none).
std::u16string WithSeparator(std::u16string folder);
// `folder`, one separator, `name`.
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);
// The longest path the system's file calls take, in UTF-16 units, counting the extended
// prefix ("\\?\UNC\") that long paths are given.
constexpr size_t kLongPathLimit = 32767;
constexpr size_t kExtendedPrefixRoom = 8;
// Whether `path` is short enough for the file calls.
inline bool WithinLongPathLimit(const std::u16string& path) {
  return path.size() + kExtendedPrefixRoom < kLongPathLimit;
}

// Creates `folder` with its missing parents, one after the other from the deepest one that
// exists; time and memory grow with the path's length only. A trailing separator is ignored;
// an empty path and a bare drive ("C:") count as present. True when it exists afterwards;
// false for a path beyond the long-path limit.
bool CreateFolderTree(const std::u16string& folder);

}  // namespace plat
