// Owners of the Win32 resources the windows make (Win32): GDI objects, thread handles,
// and the strings posted through the message queue.
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
