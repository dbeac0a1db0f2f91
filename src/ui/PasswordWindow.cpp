#include "ui/PasswordWindow.h"

#include "run/PasswordCaption.h"
#include "ui/WinText.h"

namespace szsfx {

namespace {

constexpr int kClientWidth = 280, kClientHeight = 73;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

struct DisabledWindows {
  HWND keep = nullptr;
  HWND list[16] = {};
  int count = 0;
};

// Disables every other visible, enabled top-level window of this thread.
BOOL CALLBACK DisableOther(HWND window, LPARAM param) {
  auto* d = reinterpret_cast<DisabledWindows*>(param);
  if (window != d->keep && IsWindowVisible(window) && IsWindowEnabled(window) && d->count < 16) {
    EnableWindow(window, FALSE);
    d->list[d->count++] = window;
  }
  return TRUE;
}

}  // namespace

TPasswordWindow::TPasswordWindow(const TRunSetup& app)
    : app_(app), scaled_(kClientWidth, kClientHeight, kStyle, kExStyle) {}

TPasswordWindow::~TPasswordWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);  // before the font it uses goes
}

bool TPasswordWindow::Create(HWND owner) {
  window_ = scaled_.Create(kPasswordWindowClass, L"", owner, this);
  if (!window_) return false;
  for (const TControlLayout& control : kPasswordWindowControls) scaled_.Add(window_, control);
  SetWindowTextW(GetDlgItem(window_, kIdPasswordOkButton), W(app_.Message(msg::kOkButton)).c_str());
  SetWindowTextW(GetDlgItem(window_, kIdPasswordCancelButton), W(app_.Message(msg::kCancelButton)).c_str());
  // Alt+letter presses a button; Enter, Escape and Tab have no binding here.
  keyboard_.Attach(window_, {GetDlgItem(window_, kIdPasswordOkButton), GetDlgItem(window_, kIdPasswordCancelButton)},
                   TDialogKeyboard::Navigation::None);
  return true;
}

LRESULT TPasswordWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  window_ = window;  // already during the messages of CreateWindowEx
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == kIdPasswordOkButton) {
        StoredPassword = TextOf(GetDlgItem(window_, kIdPasswordEdit));
        PostMessageW(window_, WM_CLOSE, 0, 0);
      } else if (LOWORD(wParam) == kIdPasswordCancelButton) {
        StoredPassword.clear();
        PostMessageW(window_, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_CLOSE:  // hidden, never destroyed: the box keeps its text for the next showing
      closeRequested_ = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void TPasswordWindow::ShowModal() {
  DisabledWindows disabled;
  disabled.keep = window_;
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
  HWND active = GetActiveWindow();
  SetWindowTextW(window_, W(PasswordCaption(app_.Message(msg::kPasswordPrompt), PromptName)).c_str());
  closeRequested_ = false;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  SetFocus(GetDlgItem(window_, kIdPasswordEdit));
  MSG msg;
  while (!closeRequested_) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the process is quitting: let the main loop see it
      break;
    }
    keyboard_.Dispatch(msg);
  }
  for (int i = 0; i < disabled.count; ++i) EnableWindow(disabled.list[i], TRUE);
  ShowWindow(window_, SW_HIDE);
  if (active && IsWindow(active)) SetActiveWindow(active);
}

void TPasswordWindow::Forget() {
  StoredPassword.clear();
  SetWindowTextW(GetDlgItem(window_, kIdPasswordEdit), L"");
}

bool TPasswordWindow::AskPassword(const std::u16string& fileName, std::u16string& password) {
  if (StoredPassword.empty()) {
    PromptName = fileName;
    ShowModal();
  }
  password = StoredPassword;
  return !password.empty();
}

}  // namespace szsfx
