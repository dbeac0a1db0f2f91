// The objects the archive library calls back during Open and Extract. They keep no
// state of their own: each holds the component that made it and hands every call on.
#pragma once

#include "engine/FileStreams.h"
#include "interface/ComPtr.h"
#include "interface/IArchive.h"

namespace szsfx {

// What the callback objects need of the component that made them.
class IArchiveEvents {
 public:
  virtual HRes AskPassword(TSystemString* password) = 0;
  virtual void SetTotal(uint64_t total) = 0;
  virtual HRes SetCompleted(uint64_t completed) = 0;
  virtual HRes GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) = 0;
  virtual void SetOperationResult(int32_t result) = 0;

 protected:
  ~IArchiveEvents() = default;
};

class TArchiveOpenCallback final : public IArchiveOpenCallback,
                                   public ICryptoGetTextPassword,
                                   public TRefCounted<TArchiveOpenCallback> {
 public:
  explicit TArchiveOpenCallback(IArchiveEvents& component) : component_(component) {}
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL SetTotal(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL SetCompleted(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override;

 private:
  IArchiveEvents& component_;
};

class TArchiveExtractCallback final : public IArchiveExtractCallback,
                                      public ICryptoGetTextPassword,
                                      public TRefCounted<TArchiveExtractCallback> {
 public:
  explicit TArchiveExtractCallback(IArchiveEvents& component) : component_(component) {}
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL SetTotal(uint64_t total) override;
  HRes SZ_STDCALL SetCompleted(const uint64_t* completed) override;
  HRes SZ_STDCALL GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) override;
  HRes SZ_STDCALL PrepareOperation(int32_t) override { return kOk; }
  HRes SZ_STDCALL SetOperationResult(int32_t result) override;
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override;

 private:
  IArchiveEvents& component_;
};

// Hands every write to the output file stream of the component that made it.
class TSequentialOutStream final : public IOutStream, public TRefCounted<TSequentialOutStream> {
 public:
  explicit TSequentialOutStream(TComPtr<TOutFileStream> target) : target_(std::move(target)) {}
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL Write(const void* data, uint32_t size, uint32_t* processed) override;
  HRes SZ_STDCALL Seek(int64_t, uint32_t, uint64_t*) override { return kOk; }
  HRes SZ_STDCALL SetSize(uint64_t) override { return kOk; }

 private:
  TComPtr<TOutFileStream> target_;
};

}  // namespace szsfx
