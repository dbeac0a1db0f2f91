// Text helpers shared by the stub's windows (Win32).
#pragma once

#include <windows.h>

#include <cwctype>
#include <string>

#include "platform/Platform.h"

namespace szsfx {

inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::wstring W(const std::string& s) { return W(plat::FromSystemCodePage(s)); }

inline std::u16string TextOf(HWND control) {
  int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
  return std::u16string(text.begin(), text.end());
}

// The letter that "&" marks in a caption ("&&" is a plain "&"), lower case, or 0.
inline wchar_t MnemonicOf(const std::u16string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] != u'&') return static_cast<wchar_t>(std::towlower(text[i + 1]));
    ++i;
  }
  return 0;
}

// Clicks the first visible, enabled control of `ids` whose caption marks `letter`.
template <typename Lookup>
bool ClickMarkedControl(std::initializer_list<int> ids, wchar_t letter, Lookup control) {
  const wchar_t wanted = static_cast<wchar_t>(std::towlower(letter));
  for (int id : ids) {
    HWND c = control(id);
    if (!IsWindowVisible(c) || !IsWindowEnabled(c) || !IsWindowEnabled(GetParent(c))) continue;
    if (MnemonicOf(TextOf(c)) != wanted) continue;
    SetFocus(c);
    SendMessageW(c, BM_CLICK, 0, 0);
    return true;
  }
  return false;
}

}  // namespace szsfx
