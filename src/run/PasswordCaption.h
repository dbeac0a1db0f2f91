// The password window's caption, built at every showing.
#pragma once

#include <string>

namespace szsfx {

// Message 50 with its first "%s" removed and the prompt name appended at the end.
std::u16string PasswordCaption(const std::u16string& message, const std::u16string& promptName);

}  // namespace szsfx
