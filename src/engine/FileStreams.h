// The streams the archive library reads the archive from and writes files to.
#pragma once

#include <string>

#include "interface/ComPtr.h"
#include "interface/IArchive.h"
#include "platform/FileIO.h"

namespace szsfx {

// What a stream needs of the component that made it: whether to stop reading, and
// where a failed write is counted.
class IStreamOwner {
 public:
  virtual bool CancelRequested() const = 0;
  virtual void WriteFailed() = 0;

 protected:
  ~IStreamOwner() = default;
};

// Streams made without an owner (tests, tools) never stop and count nothing.
// An input stream may start inside its file (the archive behind the self-extractor's
// payload): positions count from `start`, and nothing before it can be reached.
class TInFileStream final : public IInStream, public TRefCounted<TInFileStream> {
 public:
  explicit TInFileStream(IStreamOwner* owner = nullptr) : owner_(owner) {}
  // Opens the file of that name (tools and tests).
  bool Open(const std::u16string& name, uint64_t start = 0);
  // Reads the file `file` has open, through a handle of its own: never a file that took
  // its name since.
  bool Open(const TInFile& file, uint64_t start);

  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL Read(void* data, uint32_t size, uint32_t* processed) override;
  HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;

  TInFile InFile;

 private:
  IStreamOwner* owner_;
  uint64_t start_ = 0;
  uint64_t position_ = 0;  // in the file; each read says where, so handles can be shared
};

class TOutFileStream final : public IOutStream, public TRefCounted<TOutFileStream> {
 public:
  explicit TOutFileStream(IStreamOwner* owner = nullptr) : owner_(owner) {}
  // Creates the file, or empties an existing one, for writing; others may read it.
  bool Open(const std::u16string& name) {
    OutFile.Creation = plat::FileCreation::CreateAlways;
    return OutFile.Open(name);
  }
  // Creates a new file; fails when one of that name exists.
  bool OpenNew(const std::u16string& name) {
    OutFile.Creation = plat::FileCreation::CreateNew;
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

 private:
  IStreamOwner* owner_;
};

// Seek shared by both streams: origins above 2 are an invalid function.
HRes SeekFile(TFileBase& file, int64_t offset, uint32_t origin, uint64_t* newPosition);

}  // namespace szsfx
