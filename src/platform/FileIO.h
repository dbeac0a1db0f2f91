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

  bool OpenFile(const std::u16string& name, plat::FileAccess access, plat::FileSharing sharing,
                plat::FileCreation creation);
  bool Close();
  bool Seek(int64_t distance, plat::SeekOrigin origin, uint64_t& newPosition);
  bool GetPosition(uint64_t& position) { return Seek(0, plat::SeekOrigin::Current, position); }

  bool Opened = false;
  plat::FileHandle Handle = plat::kInvalidHandle;
};

class TInFile : public TFileBase {
 public:
  // An existing file; `sharing` says who else may open it meanwhile.
  bool Open(const std::u16string& name, plat::FileSharing sharing = plat::FileSharing::Read) {
    return OpenFile(name, plat::FileAccess::Read, sharing, plat::FileCreation::OpenExisting);
  }
  bool Read(void* buffer, uint32_t size, uint32_t& read);
};

class TOutFile : public TFileBase {
 public:
  // Others may read the file meanwhile; `Creation` says what happens to an existing one.
  bool Open(const std::u16string& name) {
    return OpenFile(name, plat::FileAccess::Write, plat::FileSharing::Read, Creation);
  }
  bool Write(const void* buffer, uint32_t size, uint32_t& written);
  bool Truncate();
  bool SetLength(uint64_t length);
  // Sets the last-write time (100 ns units since 1601, UTC); after the last write.
  bool SetModifiedTime(uint64_t utc) { return Opened && plat::SetFileModifiedTime(Handle, utc); }
  plat::FileCreation Creation = plat::FileCreation::CreateNew;
};

}  // namespace szsfx
