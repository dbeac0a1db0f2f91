// Owners of the Win32 resources the windows make (Win32): GDI objects, device contexts
// and what is selected into them, thread handles.
#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

namespace szsfx {

// One handle, closed by `Close` when the owner lets go; not copyable, movable.
template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class TOwnedHandle {
 public:
  TOwnedHandle() = default;
  explicit TOwnedHandle(Handle handle) : handle_(handle) {}
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  TOwnedHandle(TOwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
    Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~TOwnedHandle() { Reset(); }

  void Reset(Handle handle = nullptr) {
    if (handle_) Close(handle_);
    handle_ = handle;
  }
  Handle Get() const { return handle_; }
  Handle Release() { return std::exchange(handle_, nullptr); }  // the caller owns it now
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  Handle handle_ = nullptr;
};

using TGdiObject = TOwnedHandle<HGDIOBJ, DeleteObject>;
using TKernelHandle = TOwnedHandle<HANDLE, CloseHandle>;
using TMemoryDc = TOwnedHandle<HDC, DeleteDC>;

// A window's device context (the screen's for nullptr), released when the holder goes.
class TWindowDc {
 public:
  explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;
  ~TWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context while the holder lives; the object selected
// before comes back when it goes.
class TSelectedObject {
 public:
  TSelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), before_(SelectObject(dc, object)) {}
  TSelectedObject(const TSelectedObject&) = delete;
  TSelectedObject& operator=(const TSelectedObject&) = delete;
  ~TSelectedObject() {
    if (before_ && before_ != HGDI_ERROR) SelectObject(dc_, before_);
  }

 private:
  HDC dc_;
  HGDIOBJ before_;
};

// A GDI object of a known type (font, brush, bitmap), deleted when the holder goes.
template <typename T>
class TGdi {
 public:
  TGdi() = default;
  explicit TGdi(T object) : object_(object) {}
  T Get() const { return static_cast<T>(object_.Get()); }
  T Release() { return static_cast<T>(object_.Release()); }
  explicit operator bool() const { return static_cast<bool>(object_); }

 private:
  TGdiObject object_;
};

}  // namespace szsfx
