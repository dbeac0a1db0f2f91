#include "run/PasswordCaption.h"

namespace szsfx {

std::u16string PasswordCaption(const std::u16string& message, const std::u16string& promptName) {
  std::u16string caption = message;
  const size_t at = caption.find(u"%s");
  if (at != std::u16string::npos) caption.erase(at, 2);
  return caption + promptName;
}

}  // namespace szsfx
