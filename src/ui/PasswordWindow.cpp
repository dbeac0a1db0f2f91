#include "ui/PasswordWindow.h"

#include "ui/PasswordCaption.h"
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

bool TForm2::Create(HWND owner, HFONT font) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  window_ = CreateCenteredWindow(kForm2Class, &RoutedWindowProc<TForm2>, L"", kStyle, kExStyle, kClientWidth,
                                 kClientHeight, owner, this);
  if (!window_) return false;
  struct ControlLayout {
    const wchar_t* cls;
    int id;
    DWORD style;
    int x, y, w, h;
    DWORD ex;
  };
  const ControlLayout controls[] = {
      {L"STATIC", kIdLabel1, SS_LEFT, 8, 8, 64, 22, 0},
      {L"EDIT", kIdPasswordEdit, ES_AUTOHSCROLL | WS_TABSTOP, 8, 32, 193, 22, WS_EX_CLIENTEDGE},
      {L"BUTTON", kIdOkButton, BS_PUSHBUTTON | WS_TABSTOP, 208, 8, 64, 22, 0},
      {L"BUTTON", kIdCancelButton, BS_PUSHBUTTON | WS_TABSTOP, 208, 40, 64, 22, 0},
  };
  for (const ControlLayout& c : controls) {
    HWND control = CreateWindowExW(c.ex, c.cls, L"", WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.w, c.h, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  SetWindowTextW(GetDlgItem(window_, kIdOkButton), W(app_.Message(msg::OkButton)).c_str());
  SetWindowTextW(GetDlgItem(window_, kIdCancelButton), W(app_.Message(msg::CancelButton)).c_str());
  return true;
}

LRESULT TForm2::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  window_ = window;  // already during the messages of CreateWindowEx
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == kIdOkButton) {
        StoredPassword = TextOf(GetDlgItem(window_, kIdPasswordEdit));
        PostMessageW(window_, WM_CLOSE, 0, 0);
      } else if (LOWORD(wParam) == kIdCancelButton) {
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

bool TForm2::ClickByMnemonic(wchar_t letter) {
  return ClickMarkedControl({kIdOkButton, kIdCancelButton}, letter, [this](int id) { return GetDlgItem(window_, id); });
}

void TForm2::ShowModal() {
  DisabledWindows disabled;
  disabled.keep = window_;
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
  HWND active = GetActiveWindow();
  SetWindowTextW(window_,
                 W(PasswordCaption(plat::FromSystemCodePage(app_.Message(msg::PasswordPrompt)), PromptName)).c_str());
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
    // Alt+letter presses a button; Enter, Escape and Tab have no binding here.
    if (msg.message == WM_SYSCHAR && std::iswalnum(static_cast<wint_t>(msg.wParam)) &&
        (msg.hwnd == window_ || IsChild(window_, msg.hwnd))) {
      ClickByMnemonic(static_cast<wchar_t>(msg.wParam));
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  for (int i = 0; i < disabled.count; ++i) EnableWindow(disabled.list[i], TRUE);
  ShowWindow(window_, SW_HIDE);
  if (active && IsWindow(active)) SetActiveWindow(active);
}

bool TForm2::AskPassword(const std::u16string& fileName, std::u16string& password) {
  if (StoredPassword.empty()) {
    PromptName = fileName;
    ShowModal();
  }
  password = StoredPassword;
  return !password.empty();
}

}  // namespace szsfx
