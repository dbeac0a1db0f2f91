#include "engine/ItemInfo.h"

#include "platform/Paths.h"

namespace szsfx {

uint32_t WindowsAttributes(uint32_t attributes) {
  // read-only, hidden, system, archive, normal, temporary, offline, not indexed
  constexpr uint32_t kSettable = 0x1 | 0x2 | 0x4 | 0x20 | 0x80 | 0x100 | 0x1000 | 0x2000;
  return attributes & kSettable;
}

bool ItemPathIsSafe(const std::u16string& path) {
  if (path.empty() || plat::IsPathSeparator(path[0])) return false;  // root-relative and UNC paths
  if (path.find(u':') != std::u16string::npos) return false;         // drives and alternate streams
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !plat::IsPathSeparator(path[i])) continue;
    if (path.compare(start, i - start, u"..") == 0) return false;
    start = i + 1;
  }
  return true;
}

void SplitItemPath(const std::u16string& path, std::u16string& folder, std::u16string& name) {
  size_t cut = path.size();
  while (cut > 0 && !plat::IsPathSeparator(path[cut - 1]) && path[cut - 1] != u':') --cut;
  folder = path.substr(0, cut);
  name = path.substr(cut);
}

std::u16string PartialFileName(uint32_t processId, uint32_t number) {
  static const char16_t kHex[] = u"0123456789abcdef";
  std::u16string hex;
  do {
    hex.insert(hex.begin(), kHex[processId & 15]);
    processId >>= 4;
  } while (processId != 0);
  std::u16string decimal;
  do {
    decimal.insert(decimal.begin(), static_cast<char16_t>(u'0' + number % 10));
    number /= 10;
  } while (number != 0);
  return u"~szsfx" + hex + u"-" + decimal + u".tmp";
}

}  // namespace szsfx
