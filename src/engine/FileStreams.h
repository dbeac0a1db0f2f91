// The streams the archive library reads the archive from and writes files to.
#pragma once

#include <atomic>
#include <string>

#include "platform/FileIO.h"
#include "engine/IArchive.h"

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

class TInFileStream final : public IInStream, public TRefCounted<TInFileStream> {
 public:
  bool Open(const std::u16string& name) { return InFile.Open(name); }

  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL Read(void* data, uint32_t size, uint32_t* processed) override;
  HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;

  TInFile InFile;
};

class TOutFileStream final : public IOutStream, public TRefCounted<TOutFileStream> {
 public:
  // Creates the file, or empties an existing one, for writing; others may read it.
  bool Open(const std::u16string& name) {
    OutFile.SetCreateAlways();
    return OutFile.Open(name);
  }

  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  // Writes the whole buffer; a failed or empty system write (a full disk) stops it
  // with kFailure instead of repeating forever.
  HRes SZ_STDCALL Write(const void* data, uint32_t size, uint32_t* processed) override;
  HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;
  HRes SZ_STDCALL SetSize(uint64_t newSize) override;

  TOutFile OutFile;
};

// Seek shared by both streams: origins above 2 are an invalid function.
HRes SeekFile(TFileBase& file, int64_t offset, uint32_t origin, uint64_t* newPosition);

}  // namespace szsfx
