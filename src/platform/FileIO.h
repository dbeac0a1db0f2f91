// Thin file classes over one system file handle: wide names, 64-bit positions,
// Boolean results. Callers decide what a failure means.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace szsfx {

class TFileBase {
 public:
  TFileBase() = default;
  TFileBase(const TFileBase&) = delete;
  TFileBase& operator=(const TFileBase&) = delete;
  ~TFileBase() { Close(); }

  bool OpenFile(const std::u16string& name, uint32_t access, uint32_t sharing, uint32_t creation, uint32_t attributes);
  bool Close();
  bool Seek(int64_t distance, plat::SeekOrigin origin, uint64_t& newPosition);
  bool GetPosition(uint64_t& position) { return Seek(0, plat::SeekOrigin::Current, position); }

  bool Opened = false;
  plat::FileHandle Handle = plat::kInvalidHandle;
};

class TInFile : public TFileBase {
 public:
  bool OpenRead(const std::u16string& name, uint32_t sharing, uint32_t creation, uint32_t attributes) {
    return OpenFile(name, plat::kGenericRead, sharing, creation, attributes);
  }
  bool Open(const std::u16string& name) {
    return OpenRead(name, plat::kShareRead, plat::kOpenExisting, plat::kAttributeNormal);
  }
  bool Read(void* buffer, uint32_t size, uint32_t& read);
};

class TOutFile : public TFileBase {
 public:
  bool OpenWrite(const std::u16string& name, uint32_t sharing, uint32_t creation, uint32_t attributes) {
    return OpenFile(name, plat::kGenericWrite, sharing, creation, attributes);
  }
  bool Open(const std::u16string& name) {
    return OpenWrite(name, plat::kShareRead, CreationDisposition, plat::kAttributeNormal);
  }
  bool Write(const void* buffer, uint32_t size, uint32_t& written);
  bool Truncate();
  bool SetLength(uint64_t length);
  // Sets the last-write time (100 ns units since 1601, UTC); after the last write.
  bool SetModifiedTime(uint64_t utc) { return Opened && plat::SetFileModifiedTime(Handle, utc); }
  void SetCreateAlways() { CreationDisposition = plat::kCreateAlways; }
  void SetOpenExisting() { CreationDisposition = plat::kOpenExisting; }

  uint32_t CreationDisposition = plat::kCreateNew;
};

}  // namespace szsfx
