// The windows at the display's DPI (Win32): every window is laid out in pixels at 96 DPI
// and scaled to the DPI of the monitor it is on. The per-monitor calls are looked up at
// run time; where the system lacks them, the system DPI applies.
#pragma once

#include <windows.h>

#include <vector>

namespace szsfx {

constexpr UINT kBaseDpi = 96;
constexpr UINT kDpiChangedMessage = 0x02E0;        // WM_DPICHANGED: wParam the new DPI, lParam the suggested RECT
constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;  // WM_GETDPISCALEDSIZE: wParam the new DPI, lParam a SIZE

// `pixels` at 96 DPI as pixels at `dpi`, rounded to the nearest.
inline int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi)); }

// The DPI `window` is drawn at: its monitor's where the system knows per-monitor DPI,
// else the system DPI.
UINT DpiOf(HWND window);

// The outer size of a window with `style` and `exStyle` whose client area is
// `clientWidth` x `clientHeight` pixels at 96 DPI, everything at `dpi`.
SIZE FrameSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// Moves `window` for a change to `dpi`: to the corner of the system's suggested rectangle
// (where there is one), with the outer size of its client area at the new DPI.
void PlaceForDpi(HWND window, const RECT* suggested, SIZE frame);

// The windows' font at `dpi`: 8-point Tahoma, plain or underlined.
HFONT CreateWindowFont(UINT dpi, bool underlined);

// A copy of `source` scaled to `width` x `height` with the system's halftone filter;
// nullptr when it cannot be made.
HBITMAP ScaledBitmap(HBITMAP source, int width, int height);

// A control's place inside its parent's client area, in pixels at 96 DPI.
struct TPlace {
  int x, y, width, height;
};

// The controls of one window with their places at 96 DPI, placed again at any DPI. Edges
// are scaled, so controls that meet at 96 DPI still meet.
class TScaledLayout {
 public:
  // Creates a visible child control at its place scaled to `dpi`, with `font`.
  HWND Add(HWND parent, const wchar_t* cls, int id, DWORD style, DWORD exStyle, TPlace place, UINT dpi, HFONT font);
  // Moves and sizes every control for `dpi` and gives it `font`.
  void Apply(UINT dpi, HFONT font) const;

 private:
  struct Entry {
    HWND control;
    TPlace place;
  };
  std::vector<Entry> entries_;
};

}  // namespace szsfx
