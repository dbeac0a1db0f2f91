#include "engine/FileStreams.h"

namespace szsfx {

HRes SeekFile(TFileBase& file, int64_t offset, uint32_t origin, uint64_t* newPosition) {
  if (origin > static_cast<uint32_t>(plat::SeekOrigin::End)) return kInvalidFunction;
  uint64_t position = 0;
  if (!file.Seek(offset, static_cast<plat::SeekOrigin>(origin), position)) return kFailure;
  if (newPosition) *newPosition = position;
  return kOk;
}

// Others may read and write the file meanwhile: a running program's own file is open
// in the system's loader.
bool TInFileStream::Open(const std::u16string& name, uint64_t start) {
  start_ = position_ = start;
  return InFile.Open(name, plat::FileSharing::ReadWrite);
}

bool TInFileStream::Open(const TInFile& file, uint64_t start) {
  start_ = position_ = start;
  return InFile.OpenSame(file);
}

HRes TInFileStream::QueryInterface(const TGuid& iid, void** object) {
  return AnswerQuery(static_cast<IInStream*>(this), iid, object,
                     {IID_IUnknown, IID_ISequentialInStream, IID_IInStream});
}

HRes TInFileStream::Read(void* data, uint32_t size, uint32_t* processed) {
  if (processed) *processed = 0;
  if (owner_ && owner_->CancelRequested()) return kAborted;
  uint32_t read = 0;
  InFile.ReadAt(position_, data, size, read);  // a failed read is a short read to the library
  position_ += read;
  if (processed) *processed = read;
  return kOk;
}

// Positions count from the start; nothing before it can be reached, as nothing before a
// file's first byte can.
HRes TInFileStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) {
  if (origin > static_cast<uint32_t>(plat::SeekOrigin::End)) return kInvalidFunction;
  uint64_t base = start_;
  if (origin == static_cast<uint32_t>(plat::SeekOrigin::Current)) base = position_;
  if (origin == static_cast<uint32_t>(plat::SeekOrigin::End) && !InFile.Size(base)) return kFailure;
  const uint64_t distance = offset < 0 ? 0 - static_cast<uint64_t>(offset) : static_cast<uint64_t>(offset);
  if (offset < 0 && (base < distance || base - distance < start_)) return kFailure;
  if (offset > 0 && distance > UINT64_MAX - base) return kFailure;
  position_ = offset < 0 ? base - distance : base + distance;
  if (newPosition) *newPosition = position_ - start_;
  return kOk;
}

HRes TOutFileStream::QueryInterface(const TGuid& iid, void** object) {
  return AnswerQuery(static_cast<IOutStream*>(this), iid, object,
                     {IID_IUnknown, IID_ISequentialOutStream, IID_IOutStream});
}

HRes TOutFileStream::Write(const void* data, uint32_t size, uint32_t* processed) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t done = 0;
  while (done < size) {
    uint32_t written = 0;
    if (!OutFile.Write(bytes + done, size - done, written) || written == 0) {
      if (processed) *processed = done;
      if (owner_) owner_->WriteFailed();
      return kFailure;
    }
    done += written;
  }
  if (processed) *processed = size;
  return kOk;
}

HRes TOutFileStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) {
  return SeekFile(OutFile, offset, origin, newPosition);
}

HRes TOutFileStream::SetSize(uint64_t newSize) {
  uint64_t position = 0;
  if (!OutFile.GetPosition(position)) return kFailure;
  OutFile.SetLength(newSize);
  uint64_t ignored = 0;
  OutFile.Seek(static_cast<int64_t>(position), plat::SeekOrigin::Begin, ignored);
  return kOk;
}

}  // namespace szsfx
