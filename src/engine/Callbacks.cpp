#include "engine/Callbacks.h"

#include "engine/ItemInfo.h"
#include "engine/Library.h"
#include "engine/SevenZip.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

HRes AskPassword(TSystemString* password) {
  if (!password) return kFailure;
  TSevenZip* c = CurrentComponent();
  plat::TLockGuard guard(c->CallbackLock);
  std::u16string text;
  if (c && c->OnPassword) c->OnPassword(c, c->CurrentDestination, text);
  *password = AllocSystemString(text);
  return *password ? kOk : kFailure;
}

// Reads one property into a zero-filled value whose tag is preset.
TPropValue Property(IInArchive* archive, uint32_t index, uint32_t id, uint16_t presetTag) {
  TPropValue value{};
  value.Tag = presetTag;
  archive->GetProperty(index, id, &value);
  return value;
}

uint64_t LocalItemTime(const TPropValue& modified) {
  uint64_t local = 0;
  if (modified.Tag == kTagFileTime && plat::UtcToLocal(modified.UInt64, local)) return local;
  return plat::LocalNow();
}

// Time first, attributes second, so that read-only files get their time too.
void ApplyTimeAndAttributes(const TSevenZip* c) {
  uint64_t packed = 0, utc = 0;
  if (PackedLocalTime(c->ItemTime, packed) && plat::LocalToUtc(packed, utc)) {
    plat::SetModifiedTimeW(c->CurrentDestination, utc);
  }
  plat::SetAttributesW(c->CurrentDestination, WindowsAttributes(c->ItemAttributes));
}

}  // namespace

HRes TArchiveOpenCallback::QueryInterface(const TGuid& iid, void** object) {
  if (iid == IID_ICryptoGetTextPassword) {
    return AnswerQuery(static_cast<ICryptoGetTextPassword*>(this), iid, object, {IID_ICryptoGetTextPassword});
  }
  return AnswerQuery(static_cast<IArchiveOpenCallback*>(this), iid, object, {IID_IUnknown, IID_IArchiveOpenCallback});
}

HRes TArchiveOpenCallback::CryptoGetTextPassword(TSystemString* password) { return AskPassword(password); }

HRes TArchiveExtractCallback::QueryInterface(const TGuid& iid, void** object) {
  if (iid == IID_ICryptoGetTextPassword) {
    return AnswerQuery(static_cast<ICryptoGetTextPassword*>(this), iid, object, {IID_ICryptoGetTextPassword});
  }
  return AnswerQuery(static_cast<IArchiveExtractCallback*>(this), iid, object,
                     {IID_IUnknown, IID_IArchiveExtractCallback});
}

HRes TArchiveExtractCallback::CryptoGetTextPassword(TSystemString* password) { return AskPassword(password); }

HRes TArchiveExtractCallback::SetTotal(uint64_t total) {
  TSevenZip* c = CurrentComponent();
  plat::TLockGuard guard(c->CallbackLock);
  c->TotalSize = total;
  return kOk;
}

HRes TArchiveExtractCallback::SetCompleted(const uint64_t* completed) {
  TSevenZip* c = CurrentComponent();
  if (!completed) return kOk;
  plat::TLockGuard guard(c->CallbackLock);
  c->ItemDone += *completed - c->LastCompleted;
  c->LastCompleted = *completed;
  if (c->TotalSize != 0 && c->ItemSize != 0 && c->OnProgress) {
    bool cancel = c->CancelRequested;
    c->OnProgress(c, static_cast<uint8_t>(c->ItemDone * 100 / c->ItemSize),
                  static_cast<uint8_t>(*completed * 100 / c->TotalSize), cancel);
    c->CancelRequested = cancel;
  }
  // A cancel also stops the library here, not only at its next read of the archive.
  return c->CancelRequested ? kAborted : kOk;
}

HRes TArchiveExtractCallback::GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) {
  if (!stream) return kFailure;
  *stream = nullptr;
  TSevenZip* c = CurrentComponent();
  plat::TLockGuard guard(c->CallbackLock);
  c->ItemOpened = false;
  c->ItemFailed = false;
  TPropValue path = Property(c->InArchive, index, kPropPath, kTagEmpty);
  TPropValue folder = Property(c->InArchive, index, kPropIsFolder, kTagBool);
  TPropValue attributes = Property(c->InArchive, index, kPropAttributes, kTagUInt64Preset);
  TPropValue size = Property(c->InArchive, index, kPropSize, kTagUInt64Preset);
  TPropValue modified = Property(c->InArchive, index, kPropModified, kTagFileTime);
  const std::u16string itemPath = path.Tag == kTagString ? FromSystemString(path.String) : u"";
  if (path.Tag == kTagString) FreeSystemString(path.String);

  c->ItemAttributes = attributes.UInt32;
  const bool isFolder = folder.Bool != 0;
  if (!c->ExtractBaseDir.empty() && c->ExtractBaseDir.back() != plat::kPathSeparator) {
    c->ExtractBaseDir += static_cast<char16_t>(plat::kPathSeparator);
  }
  c->ItemSize = size.UInt64;
  c->ItemTime = LocalItemTime(modified);
  c->ItemDone = 0;
  std::u16string folderPart, namePart;
  SplitItemPath(itemPath, folderPart, namePart);

  if (askMode > kAskExtract || c->CancelRequested) return kOk;
  if (!ItemPathIsSafe(itemPath)) {  // never written outside the destination
    c->MarkItemFailed();
    return kOk;
  }
  if (isFolder) {
    if (c->UseFolderNames) ForceFolders(c->ExtractBaseDir + itemPath);
    return kOk;
  }
  const std::u16string destFolder = c->UseFolderNames ? c->ExtractBaseDir + folderPart : c->ExtractBaseDir;
  const std::u16string destination = destFolder + namePart;
  if (c->OnBegin) {
    bool proceed = true;
    c->OnBegin(c, 0, plat::FromSystemCodePage(ItemDescription(c->ItemSize, c->ItemTime)), destination, proceed);
  }
  if (plat::FileExistsW(destination)) return kOk;  // kept: the begin handler decides by deleting
  if (!plat::FolderExistsW(destFolder)) ForceFolders(destFolder);
  if (!c->OutStream->Open(destination)) {
    c->MarkItemFailed();
    return kOk;
  }
  c->CurrentDestination = destination;
  c->ItemOpened = true;
  auto* out = new TSequentialOutStream();
  out->AddRef();
  *stream = out;
  return kOk;
}

HRes TArchiveExtractCallback::SetOperationResult(int32_t result) {
  TSevenZip* c = CurrentComponent();
  plat::TLockGuard guard(c->CallbackLock);
  if (result != 0) c->MarkItemFailed();
  c->OutStream->OutFile.Close();
  if (c->ItemOpened) ApplyTimeAndAttributes(c);
  c->ItemOpened = false;
  return kOk;
}

HRes TSequentialOutStream::QueryInterface(const TGuid& iid, void** object) {
  return CurrentComponent()->OutStream->QueryInterface(iid, object);
}

HRes TSequentialOutStream::Write(const void* data, uint32_t size, uint32_t* processed) {
  return CurrentComponent()->OutStream->Write(data, size, processed);
}

}  // namespace szsfx
