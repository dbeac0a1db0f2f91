// Reference counting for the interface objects shared with the archive library: the
// count our objects keep, the query answer, and TComPtr, which holds one reference.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "interface/IArchive.h"

namespace szsfx {

// Reference counting shared by the system's library objects. The library may call
// a stream from one of its worker threads, so the count is atomic.
template <typename Self>
class TRefCounted {
 protected:
  uint32_t AddRefImpl() { return ++refs_; }
  uint32_t ReleaseImpl() {
    uint32_t left = --refs_;
    if (left == 0) delete static_cast<Self*>(this);
    return left;
  }

 private:
  std::atomic<uint32_t> refs_{0};
};

// Hands out `self` for an identifier in `accepted`, AddRef'ed.
template <typename Self>
HRes AnswerQuery(Self* self, const TGuid& iid, void** object, std::initializer_list<TGuid> accepted) {
  if (!object) return kNoInterface;
  for (const TGuid& candidate : accepted) {
    if (iid == candidate) {
      *object = self;
      self->AddRef();
      return kOk;
    }
  }
  *object = nullptr;
  return kNoInterface;
}

// Holds one reference to an interface object and releases it when it lets go.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes a reference of its own (a new object starts with none).
  explicit TComPtr(T* object) : object_(object) {
    if (object_) object_->AddRef();
  }
  // Takes over a reference the caller already holds (one the library handed out).
  static TComPtr Adopt(T* object) {
    TComPtr held;
    held.object_ = object;
    return held;
  }
  TComPtr(const TComPtr& other) : TComPtr(other.object_) {}
  TComPtr(TComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~TComPtr() { Reset(); }

  void Reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  // Gives the held reference to the caller (an out-parameter of the library's calls).
  T* Detach() { return std::exchange(object_, nullptr); }
  // Lets go of the held reference and takes one that an out-parameter call hands out.
  T** Receive() {
    Reset();
    return &object_;
  }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace szsfx
