#include "platform/FileIO.h"

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
