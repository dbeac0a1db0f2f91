// The objects the archive library calls back during Open and Extract. They keep no
// state of their own: everything goes through CurrentComponent().
#pragma once

#include "engine/FileStreams.h"
#include "engine/IArchive.h"

namespace szsfx {

class TArchiveOpenCallback final : public IArchiveOpenCallback,
                                   public ICryptoGetTextPassword,
                                   public TRefCounted<TArchiveOpenCallback> {
 public:
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL SetTotal(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL SetCompleted(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override;
};

class TArchiveExtractCallback final : public IArchiveExtractCallback,
                                      public ICryptoGetTextPassword,
                                      public TRefCounted<TArchiveExtractCallback> {
 public:
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL SetTotal(uint64_t total) override;
  HRes SZ_STDCALL SetCompleted(const uint64_t* completed) override;
  HRes SZ_STDCALL GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) override;
  HRes SZ_STDCALL PrepareOperation(int32_t) override { return kOk; }
  HRes SZ_STDCALL SetOperationResult(int32_t result) override;
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override;
};

// Hands every write to the component's output file stream.
class TSequentialOutStream final : public IOutStream, public TRefCounted<TSequentialOutStream> {
 public:
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override;
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }
  HRes SZ_STDCALL Write(const void* data, uint32_t size, uint32_t* processed) override;
  HRes SZ_STDCALL Seek(int64_t, uint32_t, uint64_t*) override { return kOk; }
  HRes SZ_STDCALL SetSize(uint64_t) override { return kOk; }
};

}  // namespace szsfx
