// Text helpers shared by the stub's windows (Win32).
#pragma once

#include <windows.h>

#include <cwctype>
#include <string>

#include "platform/Platform.h"
#include "platform/Win32Helpers.h"
#include "ui/Dpi.h"

namespace szsfx {

inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
using plat::WideText;

inline std::u16string TextOf(HWND control) {
  int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
  return std::u16string(text.begin(), text.end());
}

// The letter that "&" marks in a caption ("&&" is a plain "&"), lower case, or 0.
inline wchar_t MnemonicOf(const std::u16string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] != u'&') return static_cast<wchar_t>(std::towlower(text[i + 1]));
    ++i;
  }
  return 0;
}

// Registers a window class of the stub's dialog-like windows and creates a hidden
// window of it with the given client size (pixels at 96 DPI, scaled to the window's DPI),
// centred on the screen once. `self` goes to WM_NCCREATE as the creation parameter.
inline HWND CreateCenteredWindow(const wchar_t* className, WNDPROC procedure, const std::wstring& caption, DWORD style,
                                 DWORD exStyle, int clientWidth, int clientHeight, HWND owner, void* self) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = procedure;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = className;
  RegisterClassExW(&cls);
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  HWND window =
      CreateWindowExW(exStyle, className, caption.c_str(), style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, owner, nullptr, instance, self);
  const UINT dpi = window ? DpiOf(window) : kBaseDpi;
  if (dpi != kBaseDpi) {  // its monitor's DPI is known once it exists
    const SIZE scaled = FrameSize(clientWidth, clientHeight, style, exStyle, dpi);
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - scaled.cx) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - scaled.cy) / 2, scaled.cx, scaled.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return window;
}

}  // namespace szsfx
