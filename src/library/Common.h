// Small building blocks of the archive library: internal result codes, a checked heap
// buffer, an array of plain records and a reference to an interface object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "interface/ComPtr.h"
#include "interface/IArchive.h"

namespace szlib {

using szsfx::HRes;
using szsfx::kOk;
using szsfx::TComPtr;

// Failures of the data itself; they end as operation results of the items, never as the
// result of a call. Every other failing HRes comes from the caller's objects and is passed on.
constexpr HRes kDataError = static_cast<HRes>(0xA0070002u);
constexpr HRes kUnsupported = static_cast<HRes>(0xA0070001u);
constexpr HRes kCrcError = static_cast<HRes>(0xA0070003u);
constexpr HRes kNotImplemented = static_cast<HRes>(0x80004001u);
constexpr HRes kOutOfMemory = static_cast<HRes>(0x8007000Eu);

inline bool IsDataFailure(HRes r) { return r == kDataError || r == kUnsupported || r == kCrcError; }

// A byte buffer on the heap; allocation failure is reported, never thrown.
class TBuffer {
 public:
  TBuffer() = default;
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;
  ~TBuffer() { std::free(data_); }
  bool Allocate(size_t size) {
    std::free(data_);
    data_ = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    size_ = data_ ? size : 0;
    return data_ != nullptr;
  }
  void Free() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
  }
  void Swap(TBuffer& other) {
    uint8_t* data = data_;
    size_t size = size_;
    data_ = other.data_, size_ = other.size_;
    other.data_ = data, other.size_ = size;
  }
  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// An array of plain records, zero-filled, that can also grow one at a time.
template <typename T>
class TArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  TArray() = default;
  TArray(const TArray&) = delete;
  TArray& operator=(const TArray&) = delete;
  ~TArray() { std::free(items_); }
  bool Resize(size_t count) {
    Clear();
    if (!Reserve(count)) return false;
    count_ = count;
    return true;
  }
  bool Append(const T& item) {
    if (count_ == capacity_ && !Reserve(capacity_ ? capacity_ * 2 : 8)) return false;
    items_[count_++] = item;
    return true;
  }
  void Clear() {
    std::free(items_);
    items_ = nullptr;
    count_ = capacity_ = 0;
  }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  T* Data() { return items_; }
  const T* Data() const { return items_; }
  size_t Size() const { return count_; }
  // The heap the array holds.
  size_t Bytes() const { return capacity_ * sizeof(T); }

 private:
  bool Reserve(size_t capacity) {
    if (capacity > SIZE_MAX / sizeof(T) / 2) return false;
    void* grown = std::realloc(items_, (capacity ? capacity : 1) * sizeof(T));
    if (!grown) return false;
    items_ = static_cast<T*>(grown);
    std::memset(static_cast<void*>(items_ + capacity_), 0, (capacity - capacity_) * sizeof(T));
    capacity_ = capacity;
    return true;
  }

  T* items_ = nullptr;
  size_t count_ = 0, capacity_ = 0;
};

// Queries an object for an interface; the result holds its reference.
template <typename T>
bool QueryFor(szsfx::IUnknownSlots* object, const szsfx::TGuid& iid, TComPtr<T>& result) {
  void* found = nullptr;
  if (!object || object->QueryInterface(iid, &found) != kOk || !found) return false;
  *result.Receive() = static_cast<T*>(found);
  return true;
}

}  // namespace szlib
