#include "ui/Dpi.h"

#include <utility>

#include "ui/WinText.h"

namespace szsfx {

namespace {

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// A call of user32 that older systems lack; nullptr there.
template <typename Call>
Call UserCall(const char* name) {
  return plat::SystemFunction<Call>(L"user32.dll", name);
}

UINT SystemDpi() {
  const TWindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

// The window's rectangle from its client rectangle at `dpi`.
void AdjustForDpi(RECT& frame, DWORD style, DWORD exStyle, UINT dpi) {
  if (auto adjust = UserCall<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi")) {
    if (adjust(&frame, style, FALSE, exStyle, dpi)) return;
  }
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
}

}  // namespace

UINT DpiOf(HWND window) {
  if (auto forWindow = UserCall<GetDpiForWindowCall>("GetDpiForWindow")) {
    if (UINT dpi = forWindow(window)) return dpi;
  }
  return SystemDpi();
}

SIZE FrameSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  RECT frame{0, 0, Scaled(clientWidth, dpi), Scaled(clientHeight, dpi)};
  AdjustForDpi(frame, style, exStyle, dpi);
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void PlaceForDpi(HWND window, const RECT* suggested, SIZE frame) {
  RECT now{};
  GetWindowRect(window, &now);
  const POINT corner = suggested ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
  SetWindowPos(window, nullptr, corner.x, corner.y, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT CreateWindowFont(UINT dpi, bool underlined) {
  // 8 points: an 8-pixel cell leaves texts unreadable and cut ("...", the group caption).
  return CreateFontW(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, underlined, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

HBITMAP ScaledBitmap(HBITMAP source, int width, int height) {
  BITMAP info{};
  if (!source || !GetObjectW(source, sizeof info, &info)) return nullptr;
  const TWindowDc screen(nullptr);
  if (!screen) return nullptr;
  TMemoryDc from(CreateCompatibleDC(screen.Get())), to(CreateCompatibleDC(screen.Get()));
  TGdi<HBITMAP> result(CreateCompatibleBitmap(screen.Get(), width, height));
  if (!from || !to || !result) return nullptr;
  bool drawn = false;
  {
    const TSelectedObject fromPicture(from.Get(), source), toPicture(to.Get(), result.Get());
    SetStretchBltMode(to.Get(), HALFTONE);
    SetBrushOrgEx(to.Get(), 0, 0, nullptr);  // the halftone filter needs it set after the mode
    drawn = StretchBlt(to.Get(), 0, 0, width, height, from.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY) != FALSE;
  }
  return drawn ? result.Release() : nullptr;
}

namespace {

// The control's place at `dpi`.
TPlace ScaledPlace(const TPlace& p, UINT dpi) {
  const int left = Scaled(p.x, dpi), top = Scaled(p.y, dpi);
  return TPlace{left, top, Scaled(p.x + p.width, dpi) - left, Scaled(p.y + p.height, dpi) - top};
}

}  // namespace

HWND TScaledLayout::Add(HWND parent, const TControlLayout& layout, UINT dpi, HFONT font) {
  const TPlace p = ScaledPlace(layout.place, dpi);
  HWND control = CreateWindowExW(layout.exStyle, layout.cls, L"", WS_CHILD | WS_VISIBLE | layout.style, p.x, p.y,
                                 p.width, p.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (!control) return nullptr;
  entries_.push_back(Entry{control, layout.place});
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void TScaledLayout::Apply(UINT dpi, HFONT font) const {
  for (const Entry& entry : entries_) {
    const TPlace p = ScaledPlace(entry.place, dpi);
    SetWindowPos(entry.control, nullptr, p.x, p.y, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(entry.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

TScaledWindow::TScaledWindow(int clientWidth, int clientHeight, DWORD style, DWORD exStyle)
    : clientWidth_(clientWidth), clientHeight_(clientHeight), style_(style), exStyle_(exStyle) {}

HWND TScaledWindow::Create(const wchar_t* className, const std::wstring& caption, HWND owner,
                           IWindowMessages* handler) {
  handler_ = handler;
  window_ =
      CreateCenteredWindow(className, &Procedure, caption, style_, exStyle_, clientWidth_, clientHeight_, owner, this);
  if (!window_) return nullptr;
  dpi_ = DpiOf(window_);
  font_ = TGdi<HFONT>(CreateWindowFont(dpi_, false));
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  return window_;
}

HWND TScaledWindow::Add(HWND parent, const TControlLayout& control) {
  return layout_.Add(parent, control, dpi_, font_.Get());
}

void TScaledWindow::SetClientHeight(int height) {
  clientHeight_ = height;
  const SIZE frame = FrameAt(dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TScaledWindow::FrameAt(UINT dpi) const { return FrameSize(clientWidth_, clientHeight_, style_, exStyle_, dpi); }

LRESULT CALLBACK TScaledWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TScaledWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  if (self->HandleDpiMessage(message, wParam, lParam, result)) return result;
  return self->handler_->Handle(window, message, wParam, lParam);
}

bool TScaledWindow::HandleDpiMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!window_) return false;                 // not before the window is made
  if (message == kGetDpiScaledSizeMessage) {  // the exact size for the new DPI, before the system suggests a rectangle
    if (!lParam || !LOWORD(wParam)) return false;
    *reinterpret_cast<SIZE*>(lParam) = FrameAt(LOWORD(wParam));
    result = TRUE;
    return true;
  }
  if (message == kDpiChangedMessage) {
    OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    result = 0;
    return true;
  }
  return false;
}

// Moved to a monitor of another DPI (or the DPI changed): the font and every control again
// at the new DPI, the window at the suggested place.
void TScaledWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
  if (dpi != 0 && dpi != dpi_) {
    dpi_ = dpi;
    TGdi<HFONT> font(CreateWindowFont(dpi_, false));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    layout_.Apply(dpi_, font.Get());
    font_ = std::move(font);  // the old font goes once no control uses it
    handler_->OnDpiChanged(dpi_);
  }
  PlaceForDpi(window_, suggested, FrameAt(dpi_));
}

}  // namespace szsfx
