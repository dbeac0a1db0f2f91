// The link label (Win32): a centred static text that looks like a web link, blue and
// underlined, red while the pointer is over it, with the hand cursor; or, once a run
// starts, plain text in the window text colour. The window it sits in passes it its
// colour requests (WM_CTLCOLORSTATIC) and opens the address on its click (STN_CLICKED).
#pragma once

#include <windows.h>

#include "ui/SubclassedControl.h"
#include "ui/WinHandles.h"

namespace szsfx {

class TLinkLabel final : private TSubclassedControl {
 public:
  // Takes over `control`, drawn with `plainFont` (the window's) at `dpi`.
  void Attach(HWND control, UINT dpi, HFONT plainFont);
  using TSubclassedControl::Handle;
  // The fonts for another DPI; `plainFont` is the window's new one.
  void SetDpi(UINT dpi, HFONT plainFont);
  void ShowAsLink();  // blue and underlined
  void ShowAsText();  // the window text colour, not underlined
  // The brush and colours for the colour request of `control`; nullptr for another control.
  HBRUSH Colour(HWND control, HDC dc) const;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void SetStyle(bool underlined, COLORREF colour);

  TGdi<HFONT> underlinedFont_;
  HFONT plainFont_ = nullptr;  // the window's
  bool underlined_ = true;
  COLORREF colour_ = RGB(0, 0, 255);
  bool hot_ = false;  // the pointer is over it
};

}  // namespace szsfx
