#include "platform/FileIO.h"

#include <utility>

namespace szsfx {

bool TFileBase::OpenFile(const std::u16string& name, plat::FileAccess access, plat::FileSharing sharing,
                         plat::FileCreation creation) {
  Close();
  Handle = plat::OpenFile(name, access, sharing, creation);
  Opened = Handle != 0 && Handle != plat::kInvalidHandle;
  return Opened;
}

bool TFileBase::Close() {
  if (Opened) {
    plat::CloseFile(Handle);
    Handle = plat::kInvalidHandle;
    Opened = false;
  }
  return true;
}

bool TFileBase::Seek(int64_t distance, plat::SeekOrigin origin, uint64_t& newPosition) {
  return Opened && plat::SeekFile(Handle, distance, origin, newPosition);
}

bool TInFile::Read(void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  return Opened && plat::ReadFile(Handle, buffer, size, read);
}

bool TInFile::OpenSame(const TInFile& other) {
  Close();
  if (!other.Opened) return false;
  Handle = plat::DuplicateFile(other.Handle);
  Opened = Handle != plat::kInvalidHandle;
  return Opened;
}

bool TInFile::ReadAt(uint64_t position, void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  return Opened && plat::ReadFileAt(Handle, position, buffer, size, read);
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
  return Opened && plat::WriteFile(Handle, buffer, size, written);
}

bool TOutFile::Truncate() { return Opened && plat::TruncateFile(Handle); }

bool TOutFile::SetLength(uint64_t length) {
  uint64_t position = 0;
  if (!Seek(static_cast<int64_t>(length), plat::SeekOrigin::Begin, position) || position != length) return false;
  return Truncate();
}

}  // namespace szsfx
