#include "engine/Callbacks.h"

namespace szsfx {

HRes TArchiveOpenCallback::QueryInterface(const TGuid& iid, void** object) {
  if (iid == IID_ICryptoGetTextPassword) {
    return AnswerQuery(static_cast<ICryptoGetTextPassword*>(this), iid, object, {IID_ICryptoGetTextPassword});
  }
  return AnswerQuery(static_cast<IArchiveOpenCallback*>(this), iid, object, {IID_IUnknown, IID_IArchiveOpenCallback});
}

HRes TArchiveOpenCallback::CryptoGetTextPassword(TSystemString* password) { return component_.AskPassword(password); }

HRes TArchiveExtractCallback::QueryInterface(const TGuid& iid, void** object) {
  if (iid == IID_ICryptoGetTextPassword) {
    return AnswerQuery(static_cast<ICryptoGetTextPassword*>(this), iid, object, {IID_ICryptoGetTextPassword});
  }
  return AnswerQuery(static_cast<IArchiveExtractCallback*>(this), iid, object,
                     {IID_IUnknown, IID_IArchiveExtractCallback});
}

HRes TArchiveExtractCallback::CryptoGetTextPassword(TSystemString* password) {
  return component_.AskPassword(password);
}

HRes TArchiveExtractCallback::SetTotal(uint64_t total) {
  component_.SetTotal(total);
  return kOk;
}

HRes TArchiveExtractCallback::SetCompleted(const uint64_t* completed) {
  return completed ? component_.SetCompleted(*completed) : kOk;
}

HRes TArchiveExtractCallback::GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) {
  if (!stream) return kFailure;
  *stream = nullptr;
  return component_.GetStream(index, stream, askMode);
}

HRes TArchiveExtractCallback::SetOperationResult(int32_t result) {
  component_.SetOperationResult(result);
  return kOk;
}

HRes TSequentialOutStream::QueryInterface(const TGuid& iid, void** object) {
  return target_->QueryInterface(iid, object);
}

HRes TSequentialOutStream::Write(const void* data, uint32_t size, uint32_t* processed) {
  return target_->Write(data, size, processed);
}

}  // namespace szsfx
