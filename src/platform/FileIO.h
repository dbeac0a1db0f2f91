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
  bool IsOpen() const { return handle_ != plat::kInvalidHandle; }

 protected:
  plat::FileHandle handle_ = plat::kInvalidHandle;
};

class TInFile : public TFileBase {
 public:
  // An existing file; `sharing` says who else may open it meanwhile.
  bool Open(const std::u16string& name, plat::FileSharing sharing = plat::FileSharing::Read) {
    return OpenFile(name, plat::FileAccess::Read, sharing, plat::FileCreation::OpenExisting);
  }
  // A handle of its own to the file `other` has open: the same file, whatever has its
  // name by now.
  bool OpenSame(const TInFile& other);
  bool Read(void* buffer, uint32_t size, uint32_t& read);
  // Reads at `position`, leaving the file's position to other readers of the same file.
  bool ReadAt(uint64_t position, void* buffer, uint32_t size, uint32_t& read);
  bool Size(uint64_t& size) const { return IsOpen() && plat::FileSize(handle_, size); }
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
  bool SetModifiedTime(uint64_t utc) { return IsOpen() && plat::SetFileModifiedTime(handle_, utc); }
  plat::FileCreation Creation = plat::FileCreation::CreateNew;
};

// A file or folder that no other process can write, rename or delete while this holds it
// (plat::OpenFileHeld, plat::CreatePrivateFolder); closed when it goes.
class THeldPath {
 public:
  THeldPath() = default;
  THeldPath(plat::FileHandle handle, std::u16string path) : handle_(handle), path_(std::move(path)) {}
  THeldPath(THeldPath&& other) noexcept { *this = std::move(other); }
  THeldPath& operator=(THeldPath&& other) noexcept;
  ~THeldPath() { Release(); }

  bool Held() const { return handle_ != plat::kInvalidHandle; }
  const std::u16string& Path() const { return path_; }
  // Whether its path still leads to what it holds.
  bool StillAtPath() const { return Held() && plat::IsSameFile(handle_, path_); }
  // Reads a held file at `position`.
  bool ReadAt(uint64_t position, void* buffer, uint32_t size, uint32_t& read) const {
    read = 0;
    return Held() && plat::ReadFileAt(handle_, position, buffer, size, read);
  }
  // Deletes what it holds (a folder only when empty); false when it is still there.
  bool Delete();
  // Lets go, leaving the file or folder where it is.
  void Release();

 private:
  plat::FileHandle handle_ = plat::kInvalidHandle;
  std::u16string path_;
};

}  // namespace szsfx
