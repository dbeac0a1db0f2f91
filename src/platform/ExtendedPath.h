// Paths as the Win32 file calls need them. A plain path longer than the system's limit
// fails unless it carries the extended prefix ("\\?\C:\..." or "\\?\UNC\server\share\...");
// with that prefix the system no longer normalises it, so it is normalised here first.
// Window-free string work, the same on every platform.
#pragma once

#include <string>

namespace plat {

// Longest plain path every file and folder call accepts (folder creation leaves room for
// an 8.3 name in MAX_PATH).
constexpr size_t kPlainPathLimit = 247;

// A drive path ("C:\...") or a UNC path ("\\server\share\...") with one backslash per
// separator, "." and ".." resolved ("..", at the root, stays at the root) and no trailing
// separator except the root's. Anything else (relative, drive-relative "C:x", device or
// already extended paths) comes back unchanged.
std::u16string NormalisedPath(const std::u16string& path);

// The normalised path in its extended form; unchanged when it is not absolute or is
// already extended.
std::u16string ExtendedPath(const std::u16string& path);

// What a file call gets: the path as it is while it is short enough, its extended form
// when it is longer than kPlainPathLimit.
std::u16string PathForSystem(const std::u16string& path);

}  // namespace plat
