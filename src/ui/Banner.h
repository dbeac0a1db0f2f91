// The banner (Win32): the picture in the window's top-left corner, a static control
// painted with a pattern brush of the banner bitmap at the window's DPI. The window
// passes it its colour requests (WM_CTLCOLORSTATIC).
#pragma once

#include <windows.h>

#include "ui/WinHandles.h"

namespace szsfx {

class TBanner {
 public:
  static constexpr int kSide = 50;  // pixels at 96 DPI

  void Attach(HWND control, UINT dpi);
  void SetDpi(UINT dpi);  // the bitmap again at `dpi`, and the control repainted
  // The brush for the colour request of `control`; nullptr for another control or
  // when the bitmap could not be loaded.
  HBRUSH Colour(HWND control, HDC dc) const;

 private:
  void Make(UINT dpi);

  HWND control_ = nullptr;
  TGdi<HBITMAP> bitmap_;
  TGdi<HBRUSH> brush_;
};

}  // namespace szsfx
