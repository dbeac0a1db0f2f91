#include "engine/PartialFile.h"

#include <atomic>

#include "engine/ItemInfo.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

constexpr int kNameAttempts = 16;
std::atomic<uint32_t> partialCount{0};  // numbers the process's partial files

}  // namespace

bool TPartialFile::Create(const std::u16string& folder, IStreamOwner* owner) {
  Discard();
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::u16string path = folder + PartialFileName(plat::ProcessId(), ++partialCount);
    TComPtr<TOutFileStream> stream(new TOutFileStream(owner));
    if (stream->OpenNew(path)) {
      stream_ = stream;
      path_ = path;
      return true;
    }
    if (!plat::FileExists(path)) break;  // no clash of names: the folder refuses files
  }
  return false;
}

bool TPartialFile::Commit(const std::u16string& destination, bool replace, uint64_t modifiedUtc, bool hasTime) {
  if (!IsOpen()) return false;
  if (hasTime) stream_->OutFile.SetModifiedTime(modifiedUtc);  // after the last byte: the rename keeps it
  stream_->OutFile.Close();
  if (!MoveIntoPlace(destination, replace)) {
    Discard();
    return false;
  }
  stream_.Reset();
  path_.clear();
  return true;
}

bool TPartialFile::MoveIntoPlace(const std::u16string& destination, bool replace) const {
  if (plat::RenameFile(path_, destination, replace)) return true;
  // A read-only file refuses to be replaced; overwriting it was chosen all the same.
  uint32_t old = 0;
  if (!replace || !plat::GetAttributes(destination, old) || !(old & plat::kAttributeReadOnly)) return false;
  plat::SetAttributes(destination, old & ~plat::kAttributeReadOnly);
  if (plat::RenameFile(path_, destination, true)) return true;
  plat::SetAttributes(destination, old);
  return false;
}

void TPartialFile::Discard() {
  if (stream_) stream_->OutFile.Close();
  if (!path_.empty()) plat::DeleteFileNamed(path_);
  stream_.Reset();
  path_.clear();
}

}  // namespace szsfx
