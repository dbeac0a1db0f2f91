#include "ui/LinkLabel.h"

#include <utility>

#include "ui/Dpi.h"

namespace szsfx {

namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 255), kHotLinkColour = RGB(255, 0, 0);

}  // namespace

void TLinkLabel::Attach(HWND control, UINT dpi, HFONT plainFont) {
  Subclass(control);
  underlinedFont_ = TGdi<HFONT>(CreateWindowFont(dpi, true));
  plainFont_ = plainFont;
}

void TLinkLabel::SetDpi(UINT dpi, HFONT plainFont) {
  TGdi<HFONT> underlined(CreateWindowFont(dpi, true));
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(underlined_ ? underlined.Get() : plainFont), TRUE);
  underlinedFont_ = std::move(underlined);  // the old font goes once the label no longer uses it
  plainFont_ = plainFont;
}

void TLinkLabel::ShowAsLink() { SetStyle(true, kLinkColour); }

void TLinkLabel::ShowAsText() { SetStyle(false, GetSysColor(COLOR_WINDOWTEXT)); }

void TLinkLabel::SetStyle(bool underlined, COLORREF colour) {
  underlined_ = underlined;
  colour_ = colour;
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(underlined ? underlinedFont_.Get() : plainFont_), TRUE);
  InvalidateRect(Handle(), nullptr, TRUE);
}

HBRUSH TLinkLabel::Colour(HWND control, HDC dc) const {
  if (!control || control != Handle()) return nullptr;
  SetTextColor(dc, colour_);
  SetBkMode(dc, TRANSPARENT);
  return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT TLinkLabel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE && !hot_) {
    hot_ = true;
    SetStyle(true, kHotLinkColour);
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
  } else if (message == WM_MOUSELEAVE) {
    hot_ = false;
    SetStyle(true, kLinkColour);
  } else if (message == WM_SETCURSOR) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return TRUE;
  }
  return Default(message, wParam, lParam);
}

}  // namespace szsfx
