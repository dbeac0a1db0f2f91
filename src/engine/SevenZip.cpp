#include "engine/SevenZip.h"

#include "engine/ItemInfo.h"
#include "engine/Library.h"
#include "engine/PartialFile.h"
#include "engine/WindowsNames.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

// The folder of the running program, with its separator.
std::u16string ProgramFolder() {
  const std::u16string path = plat::ModuleFileName();
  size_t cut = path.size();
  while (cut > 0 && !plat::IsPathSeparator(path[cut - 1]) && path[cut - 1] != u':') --cut;
  return path.substr(0, cut);
}

// Reads one property into a zero-filled value whose tag is preset.
TPropValue Property(IInArchive* archive, uint32_t index, uint32_t id, uint16_t presetTag) {
  TPropValue value{};
  value.Tag = presetTag;
  archive->GetProperty(index, id, &value);
  return value;
}

}  // namespace

TSevenZip::TSevenZip() : DLLDir(ProgramFolder()) { ReplaceInStream(); }

TSevenZip::~TSevenZip() {
  CloseArchive();
  ReleaseHandler();
}

void TSevenZip::ReplaceInStream() { inStream_ = TComPtr<TInFileStream>(new TInFileStream(this)); }

bool TSevenZip::OpenArchive() {
  cancelRequested_ = false;
  archiveOpen_ = false;
  if (!BindArchiveLibrary(DLLDir)) return false;
  if (inArchive_) {  // a fresh handler for every open
    inArchive_->Close();
    inArchive_.Reset();
  }
  inArchive_ = TComPtr<IInArchive>::Adopt(CreateArchiveHandler());
  if (!inArchive_) return false;
  if (ArchiveFile) {
    inStream_->Open(*ArchiveFile, FileOffset);  // a file that cannot be read makes the handler's Open fail
  } else {
    if (!plat::FileExists(FileName)) return false;
    inStream_->Open(FileName, FileOffset);
  }
  TComPtr<TArchiveOpenCallback> callback(new TArchiveOpenCallback(*this));
  const HRes result = inArchive_->Open(inStream_.Get(), nullptr, callback.Get());
  uint32_t count = 0;
  inArchive_->GetNumberOfItems(&count);
  if (result != kOk || plat::OutOfMemory()) {
    inStream_->InFile.Close();
    return false;
  }
  archiveOpen_ = true;
  openedName_ = FileName;
  openedFile_ = ArchiveFile;
  openedOffset_ = FileOffset;
  return true;
}

std::vector<uint32_t> TSevenZip::SelectedIndices() const {
  const TItemSelection selection(FileSpec);
  std::vector<uint32_t> indices;
  const uint32_t count = ItemCount();
  for (uint32_t i = 0; i < count; ++i) {
    if (selection.Matches(ItemPath(i))) indices.push_back(i);
  }
  return indices;
}

HRes TSevenZip::ExtractArchive(const std::vector<uint32_t>* only) {
  cancelRequested_ = false;
  lastCompleted_ = 0;
  ErrorCount = 0;
  PasswordFailures.clear();
  EncryptedDone = 0;
  knownFolder_.clear();
  baseFolder_ = ExtractBaseDir.empty() ? ExtractBaseDir : plat::WithSeparator(ExtractBaseDir);
  // The archive listed before the run is extracted as it is; anything else is opened now.
  const bool listed =
      archiveOpen_ && openedName_ == FileName && openedFile_ == ArchiveFile && openedOffset_ == FileOffset;
  if (!listed && !OpenArchive()) return kFailure;
  TComPtr<TArchiveExtractCallback> callback(new TArchiveExtractCallback(*this));
  HRes result = kOk;
  if (only) {
    if (!only->empty())
      result = inArchive_->Extract(only->data(), static_cast<uint32_t>(only->size()), 0, callback.Get());
  } else if (FileSpec.empty()) {
    result = inArchive_->Extract(nullptr, 0xFFFFFFFFu, 0, callback.Get());
  } else {
    const std::vector<uint32_t> indices = SelectedIndices();
    if (!indices.empty()) {
      result = inArchive_->Extract(indices.data(), static_cast<uint32_t>(indices.size()), 0, callback.Get());
    }
  }
  callback.Reset();
  {
    plat::TLockGuard guard(callbackLock_);
    partial_.Discard();  // the library may stop mid-item without a result
  }
  CloseArchive();
  if (plat::OutOfMemory()) {  // whatever the library said: the run did not complete
    if (ErrorCount == 0) ErrorCount = 1;
    return kFailure;
  }
  if (cancelRequested_) return result != kOk ? result : kAborted;
  if (OnProgress) {
    bool cancel = false;
    OnProgress(100, 100, cancel);
  }
  return result;
}

void TSevenZip::CloseArchive() {
  archiveOpen_ = false;
  if (inArchive_) inArchive_->Close();
  inStream_->InFile.Close();
  ReplaceInStream();
}

void TSevenZip::ReleaseHandler() { inArchive_.Reset(); }

uint32_t TSevenZip::ItemCount() const {
  uint32_t count = 0;
  if (inArchive_) inArchive_->GetNumberOfItems(&count);
  return count;
}

std::u16string TSevenZip::ItemPath(uint32_t index) const {
  if (!inArchive_) return std::u16string();
  TPropValue value{};
  inArchive_->GetProperty(index, kPropPath, &value);
  if (value.Tag != kTagString) return std::u16string();
  std::u16string path = FromSystemString(value.String);
  FreeSystemString(value.String);
  return path;
}

// ---- What the callbacks and streams call --------------------------------------

void TSevenZip::MarkItemFailed() {
  if (!item_.Failed) ++ErrorCount;
  item_.Failed = true;
}

void TSevenZip::WriteFailed() {
  plat::TLockGuard guard(callbackLock_);
  MarkItemFailed();
}

// The password event may wait for another thread (a window asks the user): it is raised
// without the lock, so that whatever that thread does with the component cannot wait for
// this one.
HRes TSevenZip::AskPassword(TSystemString* password) {
  if (!password) return kFailure;
  std::u16string item;
  {
    plat::TLockGuard guard(callbackLock_);
    item = item_.Destination;
  }
  std::u16string text;
  if (OnPassword) OnPassword(item, text);
  *password = AllocSystemString(text);
  return *password ? kOk : kFailure;
}

void TSevenZip::SetTotal(uint64_t total) {
  plat::TLockGuard guard(callbackLock_);
  totalSize_ = total;
}

HRes TSevenZip::SetCompleted(uint64_t completed) {
  plat::TLockGuard guard(callbackLock_);
  item_.Done += completed - lastCompleted_;
  lastCompleted_ = completed;
  if (totalSize_ != 0 && item_.Size != 0 && OnProgress) {
    bool cancel = cancelRequested_;
    OnProgress(static_cast<uint8_t>(item_.Done * 100 / item_.Size), static_cast<uint8_t>(completed * 100 / totalSize_),
               cancel);
    cancelRequested_ = cancel;
  }
  // A cancel also stops the library here, not only at its next read of the archive.
  return CancelRequested() ? kAborted : kOk;
}

// Three steps: the item's facts are gathered under the lock, the begin event (which may
// wait for the user's answer on another thread) is raised without it, and the answer is
// applied under the lock again. The item's description (locale calls) is made only when
// a handler asks for it, never under the lock.
HRes TSevenZip::GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) {
  std::u16string destination;
  TItemFacts facts;
  bool existed = false;
  {
    plat::TLockGuard guard(callbackLock_);
    if (!PrepareItem(index, askMode, destination)) return kOk;
    existed = plat::FileExists(destination);
    facts = TItemFacts{item_.Size, item_.ModifiedUtc, item_.HasTime};
  }
  bool proceed = !existed;
  if (OnBegin) OnBegin(facts, destination, proceed);
  plat::TLockGuard guard(callbackLock_);
  return OpenItem(existed, proceed, stream);
}

// Under callbackLock_: reads the item's properties and works out its destination. False
// when nothing is to be written (a test or skip, a cancel, a refused path, a folder).
bool TSevenZip::PrepareItem(uint32_t index, int32_t askMode, std::u16string& destination) {
  partial_.Discard();  // the previous item never got its result
  IInArchive* archive = inArchive_.Get();
  TPropValue path = Property(archive, index, kPropPath, kTagEmpty);
  TPropValue folder = Property(archive, index, kPropIsFolder, kTagBool);
  TPropValue attributes = Property(archive, index, kPropAttributes, kTagUInt64Preset);
  TPropValue size = Property(archive, index, kPropSize, kTagUInt64Preset);
  TPropValue modified = Property(archive, index, kPropModified, kTagEmpty);
  TPropValue encrypted = Property(archive, index, kPropEncrypted, kTagBool);
  const std::u16string itemPath = path.Tag == kTagString ? FromSystemString(path.String) : u"";
  if (path.Tag == kTagString) FreeSystemString(path.String);
  item_ = TItem{};
  item_.Index = index;
  item_.Encrypted = encrypted.Tag == kTagBool && encrypted.Bool != 0;
  item_.Attributes = attributes.UInt32;
  item_.Size = size.UInt64;
  item_.HasTime = modified.Tag == kTagFileTime;
  item_.ModifiedUtc = item_.HasTime ? modified.UInt64 : 0;

  if (askMode > kAskExtract || CancelRequested()) return false;
  // Never written outside the destination, and never a path the file calls cannot take.
  if (!plat::WithinLongPathLimit(baseFolder_ + itemPath) || !ItemPathIsSafe(itemPath)) {
    MarkItemFailed();
    return false;
  }
  // Device names and names ending in a dot or a space are stored under safe names.
  const std::u16string safePath = SafeItemPath(itemPath);
  if (folder.Bool != 0) {
    if (UseFolderNames) plat::CreateFolderTree(baseFolder_ + safePath);
    return false;
  }
  std::u16string folderPart, namePart;
  SplitItemPath(safePath, folderPart, namePart);
  item_.Folder = UseFolderNames ? baseFolder_ + folderPart : baseFolder_;
  item_.Destination = item_.Folder + namePart;
  destination = item_.Destination;
  return true;
}

// Under callbackLock_, after the begin event: an existing file stays unless the handler
// set `proceed` (it is then replaced once the item is complete) or removed it itself.
// A failure reported meanwhile (a cancel, a failed write) still counts.
HRes TSevenZip::OpenItem(bool existed, bool proceed, ISequentialOutStream** stream) {
  item_.ReplacesExisting = existed && plat::FileExists(item_.Destination);
  if (!proceed && item_.ReplacesExisting) return kOk;  // an existing file is kept
  if (CancelRequested() || item_.Failed) return kOk;
  if (item_.Folder != knownFolder_) {  // items come folder by folder: one look per folder
    if (!plat::FolderExists(item_.Folder)) plat::CreateFolderTree(item_.Folder);
    knownFolder_ = item_.Folder;
  }
  if (!partial_.Create(item_.Folder, this)) {
    MarkItemFailed();
    return kOk;
  }
  *stream = TComPtr<TSequentialOutStream>(new TSequentialOutStream(partial_.Stream())).Detach();
  return kOk;
}

// A complete item takes its real name, replacing the existing file in one step where
// the begin event allowed that; a failed one loses its partial file.
void TSevenZip::SetOperationResult(int32_t result) {
  plat::TLockGuard guard(callbackLock_);
  if (item_.Encrypted && !item_.Failed) {
    if (result != 0) PasswordFailures.push_back(item_.Index);
    if (result == 0) ++EncryptedDone;
  }
  if (result != 0) MarkItemFailed();
  if (partial_.IsOpen() && !item_.Failed) {
    if (partial_.Commit(item_.Destination, item_.ReplacesExisting, item_.ModifiedUtc, item_.HasTime)) {
      ApplyAttributes();
    } else {
      MarkItemFailed();
    }
  }
  partial_.Discard();
}

// A new file has the archive attribute and nothing else: only other attributes cost a call.
void TSevenZip::ApplyAttributes() const {
  const uint32_t attributes = WindowsAttributes(item_.Attributes);
  if (attributes != kAttributeArchive) plat::SetAttributes(item_.Destination, attributes);
}

// ---- Selecting items --------------------------------------------------------------

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == plat::kPathSeparator; }
bool HasDot(const std::u16string& text) { return text.find(u'.') != std::u16string::npos; }

// Whether a folder line selects the path: one of them is the path up to one of its
// separators. Both are in lower case.
bool InSelectedFolder(const std::unordered_set<std::u16string>& folders, const std::u16string& path) {
  if (folders.empty()) return false;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && folders.count(path.substr(0, i + 1)) != 0) return true;
  }
  return false;
}

// Wildcard matching of a name and a mask that are both in lower case.
bool MatchesMask(const std::u16string& n, const std::u16string& m) {
  size_t i = 0, j = 0, star = std::u16string::npos, resume = 0;
  while (i < n.size()) {
    if (j < m.size() && m[j] == u'*') {  // a star before anything else, even against a "*" in the name
      star = j++;
      resume = i;
    } else if (j < m.size() && (m[j] == u'?' || m[j] == n[i])) {
      ++i;
      ++j;
    } else if (star != std::u16string::npos) {
      j = star + 1;  // let the last "*" take one more character
      i = ++resume;
    } else {
      return false;
    }
  }
  while (j < m.size() && m[j] == u'*') ++j;
  return j == m.size();
}

}  // namespace

bool WildcardMatch(const std::u16string& name, const std::u16string& mask) {
  return MatchesMask(plat::LowerCase(name), plat::LowerCase(mask));
}

TItemSelection::TItemSelection(const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) {
    if (line.empty()) continue;  // names nothing
    std::u16string lower = plat::LowerCase(line);
    if (IsSeparator(line.back())) {
      folders_.insert(std::move(lower));
    } else if (line.find_first_of(u"*?") != std::u16string::npos) {
      masks_.push_back(TMask{std::move(lower), HasDot(line)});
    } else {
      names_.insert(std::move(lower));
    }
  }
}

bool TItemSelection::Matches(const std::u16string& path) const {
  if (path.empty()) return false;
  const std::u16string lower = plat::LowerCase(path);
  const bool dotted = HasDot(path);
  // A line with a dot matches an item without one as if the item ended in a dot.
  if (names_.count(lower) != 0 || (!dotted && names_.count(lower + u".") != 0)) return true;
  if (InSelectedFolder(folders_, lower)) return true;
  for (const TMask& mask : masks_) {
    if (MatchesMask(mask.Dotted && !dotted ? lower + u"." : lower, mask.Text)) return true;
  }
  return false;
}

}  // namespace szsfx
