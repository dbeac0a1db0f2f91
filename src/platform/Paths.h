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
// Creates `folder` with its missing parents. A trailing separator is ignored and a path
// of at most two characters ("C:", "") counts as present; true when it exists afterwards.
bool CreateFolderTree(const std::u16string& folder);

}  // namespace plat
