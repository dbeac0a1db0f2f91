// The password window (Win32): built once, hidden, owned by the main window.
#pragma once

#include <windows.h>

#include <string>

#include "payload/RunSetup.h"
#include "ui/Dpi.h"
#include "ui/WinHandles.h"
#include "ui/WinText.h"

namespace szsfx {

enum PasswordControlId : int { kIdPasswordPrompt = 200, kIdPasswordEdit, kIdPasswordOkButton, kIdPasswordCancelButton };
constexpr wchar_t kPasswordWindowClass[] = L"TForm2";

class TPasswordWindow {
 public:
  explicit TPasswordWindow(const TRunSetup& app) : app_(app) {}
  ~TPasswordWindow();
  TPasswordWindow(const TPasswordWindow&) = delete;
  TPasswordWindow& operator=(const TPasswordWindow&) = delete;
  bool Create(HWND owner);
  // The OnPassword answer: the stored password, or the window's, asked modally. False
  // when the user gave none (Cancel, the close box, OK with an empty box).
  bool AskPassword(const std::u16string& fileName, std::u16string& password);

  std::u16string StoredPassword;  // kept in UTF-16: no character of a password is lost
  std::u16string PromptName;

 private:
  template <typename T>
  friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowModal();
  bool ClickByMnemonic(wchar_t letter);
  void OnDpiChanged(UINT dpi, const RECT* suggested);

  const TRunSetup& app_;
  HWND window_ = nullptr;
  TGdi<HFONT> font_;
  TScaledLayout layout_;  // every control's place at 96 DPI
  UINT dpi_ = kBaseDpi;
  bool closeRequested_ = false;
};

}  // namespace szsfx
