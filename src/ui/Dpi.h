// The windows at the display's DPI (Win32): every window is laid out in pixels at 96 DPI
// and scaled to the DPI of the monitor it is on. The per-monitor calls are looked up at
// run time; where the system lacks them, the system DPI applies.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/WinHandles.h"

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

// One control of a window: its class, identifier, style and place (pixels at 96 DPI).
struct TControlLayout {
  const wchar_t* cls;
  int id;
  DWORD style;
  TPlace place;
  DWORD exStyle;
};

// The controls of one window with their places at 96 DPI, placed again at any DPI. Edges
// are scaled, so controls that meet at 96 DPI still meet.
class TScaledLayout {
 public:
  // Creates a visible child control at its place scaled to `dpi`, with `font`.
  HWND Add(HWND parent, const TControlLayout& layout, UINT dpi, HFONT font);
  // Moves and sizes every control for `dpi` and gives it `font`.
  void Apply(UINT dpi, HFONT font) const;

 private:
  struct Entry {
    HWND control;
    TPlace place;
  };
  std::vector<Entry> entries_;
};

// What a window does with its messages; called on the window's thread.
class IWindowMessages {
 public:
  virtual LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // After a change of DPI has given the controls their places and the new font, before
  // the window moves: for what else the window draws at its DPI.
  virtual void OnDpiChanged(UINT /*dpi*/) {}

 protected:
  ~IWindowMessages() = default;
};

// One window at its monitor's DPI: its client size, font and controls' places at 96 DPI,
// made again when the system reports another DPI. Its window procedure answers the
// system's DPI messages and passes every other message on to the window's handler.
class TScaledWindow {
 public:
  TScaledWindow(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);
  TScaledWindow(const TScaledWindow&) = delete;
  TScaledWindow& operator=(const TScaledWindow&) = delete;
  // Registers `className` and makes the hidden window, centred on the screen (see
  // CreateCenteredWindow), and its font at its DPI; nullptr when it cannot be made.
  HWND Create(const wchar_t* className, const std::wstring& caption, HWND owner, IWindowMessages* handler);
  UINT Dpi() const { return dpi_; }
  HFONT Font() const { return font_.Get(); }
  // A visible child control of `parent` with the window's font.
  HWND Add(HWND parent, const TControlLayout& control);
  void SetClientHeight(int height);  // pixels at 96 DPI; the window keeps its top-left corner

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The system's DPI messages; false for any other message and for those the window's
  // default procedure should see.
  bool HandleDpiMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  SIZE FrameAt(UINT dpi) const;
  void OnDpiChanged(UINT dpi, const RECT* suggested);

  const int clientWidth_;
  int clientHeight_;  // at 96 DPI
  const DWORD style_, exStyle_;
  HWND window_ = nullptr;
  UINT dpi_ = kBaseDpi;
  TGdi<HFONT> font_;
  TScaledLayout layout_;
  IWindowMessages* handler_ = nullptr;
};

}  // namespace szsfx
