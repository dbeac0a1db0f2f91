// The password window (Win32): built once, hidden, owned by the main window.
#pragma once

#include <windows.h>

#include <string>

#include "payload/RunSetup.h"
#include "ui/DialogKeyboard.h"
#include "ui/Dpi.h"
#include "ui/WinText.h"

namespace szsfx {

enum PasswordControlId : int { kIdPasswordPrompt = 200, kIdPasswordEdit, kIdPasswordOkButton, kIdPasswordCancelButton };
constexpr wchar_t kPasswordWindowClass[] = L"TForm2";

constexpr TControlLayout kPasswordWindowControls[] = {
    {L"STATIC", kIdPasswordPrompt, SS_LEFT, {8, 8, 64, 22}, 0},
    {L"EDIT", kIdPasswordEdit, ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, {8, 32, 193, 22}, WS_EX_CLIENTEDGE},
    {L"BUTTON", kIdPasswordOkButton, BS_PUSHBUTTON | WS_TABSTOP, {208, 8, 64, 22}, 0},
    {L"BUTTON", kIdPasswordCancelButton, BS_PUSHBUTTON | WS_TABSTOP, {208, 40, 64, 22}, 0},
};

class TPasswordWindow final : private IWindowMessages {
 public:
  explicit TPasswordWindow(const TRunSetup& app);
  ~TPasswordWindow();
  TPasswordWindow(const TPasswordWindow&) = delete;
  TPasswordWindow& operator=(const TPasswordWindow&) = delete;
  bool Create(HWND owner);
  // The OnPassword answer: the stored password, or the window's, asked modally. False
  // when the user gave none (Cancel, the close box, OK with an empty box).
  bool AskPassword(const std::u16string& fileName, std::u16string& password);
  // The stored password was wrong: the next request shows the window again, empty.
  void Forget();

  std::u16string StoredPassword;  // kept in UTF-16: no character of a password is lost
  std::u16string PromptName;

 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void ShowModal();

  const TRunSetup& app_;
  HWND window_ = nullptr;
  TScaledWindow scaled_;  // the window at its DPI; every control's place at 96 DPI
  TDialogKeyboard keyboard_;
  bool closeRequested_ = false;
};

}  // namespace szsfx
