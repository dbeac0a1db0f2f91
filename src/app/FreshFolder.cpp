#include "app/FreshFolder.h"

#include <cstdint>

#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

std::u16string RandomNamePart() {
  uint8_t bytes[8];
  if (!plat::RandomBytes(bytes, sizeof bytes)) return std::u16string();
  static const char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

THeldPath CreateFreshFolder(const std::u16string& parent, const std::u16string& prefix) {
  for (int draw = 0; draw < kMaxFolderDraws; ++draw) {
    const std::u16string random = RandomNamePart();
    if (random.empty()) break;
    const std::u16string name = prefix + random;
    const plat::FileHandle handle = plat::CreatePrivateFolder(parent, name);
    if (handle != plat::kInvalidHandle) return THeldPath(handle, plat::JoinPath(parent, name + plat::kPathSeparator));
  }
  return THeldPath();
}

}  // namespace szsfx
