#include "platform/FileIO.h"

#include <utility>

namespace szsfx {

bool TFileBase::OpenFile(const std::u16string& name, plat::FileAccess access, plat::FileSharing sharing,
                         plat::FileCreation creation) {
  Close();
  handle_ = plat::OpenFile(name, access, sharing, creation);
  if (handle_ == 0) handle_ = plat::kInvalidHandle;
  return IsOpen();
}

bool TFileBase::Close() {
  if (IsOpen()) {
    plat::CloseFile(std::exchange(handle_, plat::kInvalidHandle));
  }
  return true;
}

bool TFileBase::Seek(int64_t distance, plat::SeekOrigin origin, uint64_t& newPosition) {
  return IsOpen() && plat::SeekFile(handle_, distance, origin, newPosition);
}

bool TInFile::Read(void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  return IsOpen() && plat::ReadFile(handle_, buffer, size, read);
}

bool TInFile::OpenSame(const TInFile& other) {
  Close();
  if (!other.IsOpen()) return false;
  handle_ = plat::DuplicateFile(other.handle_);
  return IsOpen();
}

bool TInFile::ReadAt(uint64_t position, void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  return IsOpen() && plat::ReadFileAt(handle_, position, buffer, size, read);
}

THeldPath& THeldPath::operator=(THeldPath&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, plat::kInvalidHandle);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool THeldPath::Delete() {
  if (!Held()) return false;
  return plat::DeleteHeld(std::exchange(handle_, plat::kInvalidHandle), path_);
}

void THeldPath::Release() {
  if (Held()) plat::CloseFile(std::exchange(handle_, plat::kInvalidHandle));
}

bool TOutFile::Write(const void* buffer, uint32_t size, uint32_t& written) {
  written = 0;
  return IsOpen() && plat::WriteFile(handle_, buffer, size, written);
}

bool TOutFile::Truncate() { return IsOpen() && plat::TruncateFile(handle_); }

bool TOutFile::SetLength(uint64_t length) {
  uint64_t position = 0;
  if (!Seek(static_cast<int64_t>(length), plat::SeekOrigin::Begin, position) || position != length) return false;
  return Truncate();
}

}  // namespace szsfx
