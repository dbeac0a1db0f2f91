#include "ui/DialogKeyboard.h"

#include <cwctype>
#include <utility>

#include "ui/WinText.h"

namespace szsfx {

namespace {

bool IsNavigationKey(WPARAM key) {
  return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
}

}  // namespace

void TDialogKeyboard::Attach(HWND window, std::vector<HWND> marked, Navigation navigation) {
  window_ = window;
  marked_ = std::move(marked);
  navigation_ = navigation;
}

void TDialogKeyboard::Dispatch(MSG& msg) const {
  if (ApplyRules(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

bool TDialogKeyboard::DispatchOne() const {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  Dispatch(msg);
  return true;
}

void TDialogKeyboard::DispatchPending() const {
  while (DispatchOne()) {
  }
}

bool TDialogKeyboard::ApplyRules(MSG& msg) const {
  if (!window_ || !IsWindow(window_) || (msg.hwnd != window_ && !IsChild(window_, msg.hwnd))) return false;
  if (msg.message == WM_SYSCHAR && std::iswalnum(static_cast<wint_t>(msg.wParam))) {
    ClickMarked(static_cast<wchar_t>(msg.wParam));
    return true;
  }
  if (navigation_ != Navigation::Dialog) return false;
  const bool navigationKey = msg.message == WM_KEYDOWN && IsNavigationKey(msg.wParam);
  const bool plainChar = msg.message == WM_CHAR && msg.wParam != L'\t' && msg.wParam != L'\r' && msg.wParam != 27;
  return !navigationKey && !plainChar && IsDialogMessageW(window_, &msg);
}

bool TDialogKeyboard::ClickMarked(wchar_t letter) const {
  const wchar_t wanted = static_cast<wchar_t>(std::towlower(letter));
  for (HWND control : marked_) {
    if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(GetParent(control))) continue;
    if (MnemonicOf(TextOf(control)) != wanted) continue;
    SetFocus(control);
    SendMessageW(control, BM_CLICK, 0, 0);
    return true;
  }
  return false;
}

}  // namespace szsfx
