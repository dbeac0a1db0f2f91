#include "ui/PasswordWindow.h"

#include <utility>

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

TPasswordWindow::~TPasswordWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);  // before the font it uses goes
}

bool TPasswordWindow::Create(HWND owner) {
  window_ = CreateCenteredWindow(kPasswordWindowClass, &RoutedWindowProc<TPasswordWindow>, L"", kStyle, kExStyle,
                                 kClientWidth, kClientHeight, owner, this);
  if (!window_) return false;
  dpi_ = DpiOf(window_);
  font_ = TGdi<HFONT>(CreateWindowFont(dpi_, false));
  struct ControlLayout {
    const wchar_t* cls;
    int id;
    DWORD style;
    TPlace place;  // pixels at 96 DPI
    DWORD ex;
  };
  const ControlLayout controls[] = {
      {L"STATIC", kIdPasswordPrompt, SS_LEFT, {8, 8, 64, 22}, 0},
      {L"EDIT", kIdPasswordEdit, ES_AUTOHSCROLL | WS_TABSTOP, {8, 32, 193, 22}, WS_EX_CLIENTEDGE},
      {L"BUTTON", kIdPasswordOkButton, BS_PUSHBUTTON | WS_TABSTOP, {208, 8, 64, 22}, 0},
      {L"BUTTON", kIdPasswordCancelButton, BS_PUSHBUTTON | WS_TABSTOP, {208, 40, 64, 22}, 0},
  };
  for (const ControlLayout& c : controls) layout_.Add(window_, c.cls, c.id, c.style, c.ex, c.place, dpi_, font_.Get());
  SetWindowTextW(GetDlgItem(window_, kIdPasswordOkButton), W(app_.Message(msg::OkButton)).c_str());
  SetWindowTextW(GetDlgItem(window_, kIdPasswordCancelButton), W(app_.Message(msg::CancelButton)).c_str());
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
    case kGetDpiScaledSizeMessage:  // the exact size for the new DPI, before the system suggests a rectangle
      if (!lParam || !LOWORD(wParam)) break;
      *reinterpret_cast<SIZE*>(lParam) = FrameSize(kClientWidth, kClientHeight, kStyle, kExStyle, LOWORD(wParam));
      return TRUE;
    case kDpiChangedMessage:
      OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

// Moved to a monitor of another DPI: the font and every control again at the new DPI,
// the window at the suggested place.
void TPasswordWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
  if (dpi != 0 && dpi != dpi_) {
    dpi_ = dpi;
    TGdi<HFONT> font(CreateWindowFont(dpi_, false));
    layout_.Apply(dpi_, font.Get());
    font_ = std::move(font);  // the old font goes once no control uses it
  }
  PlaceForDpi(window_, suggested, FrameSize(kClientWidth, kClientHeight, kStyle, kExStyle, dpi_));
}

bool TPasswordWindow::ClickByMnemonic(wchar_t letter) {
  return ClickMarkedControl({kIdPasswordOkButton, kIdPasswordCancelButton}, letter,
                            [this](int id) { return GetDlgItem(window_, id); });
}

void TPasswordWindow::ShowModal() {
  DisabledWindows disabled;
  disabled.keep = window_;
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
  HWND active = GetActiveWindow();
  SetWindowTextW(window_, W(PasswordCaption(app_.Message(msg::PasswordPrompt), PromptName)).c_str());
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

bool TPasswordWindow::AskPassword(const std::u16string& fileName, std::u16string& password) {
  if (StoredPassword.empty()) {
    PromptName = fileName;
    ShowModal();
  }
  password = StoredPassword;
  return !password.empty();
}

}  // namespace szsfx
