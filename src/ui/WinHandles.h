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

// A string that travels through the message queue as an LPARAM: the sender makes it,
// the receiver (or the drain of a destroyed window) takes it back and frees it.
using TPostedText = std::unique_ptr<char16_t[]>;

// Posts `text` with `message`; the copy is freed here if the post fails.
inline bool PostText(HWND window, UINT message, const std::u16string& text) {
  TPostedText copy(new char16_t[text.size() + 1]);
  std::copy(text.begin(), text.end(), copy.get());
  copy[text.size()] = u'\0';
  if (!PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(copy.get()))) return false;
  copy.release();  // the receiver owns it now
  return true;
}

// Takes back a string posted by PostText.
inline TPostedText TakePostedText(LPARAM lParam) { return TPostedText(reinterpret_cast<char16_t*>(lParam)); }

}  // namespace szsfx
