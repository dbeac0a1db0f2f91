#include "ui/Banner.h"

#include "ui/Dpi.h"

namespace szsfx {

namespace {

// The banner at `dpi`. It is drawn at 50 and 100 pixels (96 and 192 DPI); other sizes are
// scaled from the next larger drawing, or the largest, with the halftone filter. (A 75-pixel
// drawing would cost the 32-bit stub 17 KB of its fixed size.)
HBITMAP LoadBanner(UINT dpi) {
  struct Drawing {
    const wchar_t* name;
    int side;
  };
  static constexpr Drawing kDrawings[] = {{L"FORM1_IMAGESHOW1_BRUSH_BMP", TBanner::kSide}, {L"BANNER_100", 100}};
  const int side = Scaled(TBanner::kSide, dpi);
  const Drawing* pick = &kDrawings[1];
  for (const Drawing& drawing : kDrawings) {
    if (drawing.side >= side) {
      pick = &drawing;
      break;
    }
  }
  TGdi<HBITMAP> drawn(LoadBitmapW(GetModuleHandleW(nullptr), pick->name));
  if (!drawn || pick->side == side) return drawn.Release();
  HBITMAP scaled = ScaledBitmap(drawn.Get(), side, side);
  return scaled ? scaled : drawn.Release();
}

}  // namespace

void TBanner::Attach(HWND control, UINT dpi) {
  control_ = control;
  Make(dpi);
}

void TBanner::SetDpi(UINT dpi) {
  Make(dpi);
  InvalidateRect(control_, nullptr, TRUE);
}

void TBanner::Make(UINT dpi) {
  bitmap_ = TGdi<HBITMAP>(LoadBanner(dpi));
  brush_ = TGdi<HBRUSH>(bitmap_ ? CreatePatternBrush(bitmap_.Get()) : nullptr);
}

HBRUSH TBanner::Colour(HWND control, HDC dc) const {
  if (!control || control != control_ || !brush_) return nullptr;
  SetBkMode(dc, TRANSPARENT);
  return brush_.Get();
}

}  // namespace szsfx
