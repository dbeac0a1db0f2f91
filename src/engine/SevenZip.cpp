#include "engine/SevenZip.h"

#include <cassert>

#include "engine/ItemInfo.h"
#include "engine/PartialFile.h"
#include "engine/WindowsNames.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

// Reads one property into a zero-filled value whose tag is preset.
TPropValue Property(IInArchive* archive, uint32_t index, uint32_t id, uint16_t presetTag) {
  TPropValue value{};
  value.Tag = presetTag;
  archive->GetProperty(index, id, &value);
  return value;
}

}  // namespace

TSevenZip::TSevenZip(const TArchiveLibrary& library) : library_(library) { ReplaceInStream(); }

TSevenZip::~TSevenZip() { Close(); }

void TSevenZip::ReplaceInStream() { inStream_ = TComPtr<TInFileStream>(new TInFileStream(this)); }

bool TSevenZip::Open(const TArchiveSource& source, ISevenZipEvents& events) {
  cancelRequested_ = false;
  call_.Events = &events;
  return OpenSource(source);
}

bool TSevenZip::OpenSource(const TArchiveSource& source) {
  Close();  // a fresh handler for every open
  inArchive_ = TComPtr<IInArchive>::Adopt(library_.CreateHandler());
  if (!inArchive_) return false;
  if (source.File) {
    inStream_->Open(*source.File, source.Offset);  // a file that cannot be read makes the handler's Open fail
  } else {
    if (!plat::FileExists(source.FileName)) return false;
    inStream_->Open(source.FileName, source.Offset);
  }
  TComPtr<TArchiveOpenCallback> callback(new TArchiveOpenCallback(*this));
  const HRes result = inArchive_->Open(inStream_.Get(), nullptr, callback.Get());
  if (result != kOk || plat::OutOfMemory()) {
    inStream_->InFile.Close();
    return false;
  }
  opened_ = source;
  return true;
}

std::vector<uint32_t> TSevenZip::SelectedIndices(const std::vector<std::u16string>& lines) const {
  const TItemSelection selection(lines);
  std::vector<uint32_t> indices;
  const uint32_t count = ItemCount();
  for (uint32_t i = 0; i < count; ++i) {
    if (selection.Matches(ItemPath(i))) indices.push_back(i);
  }
  return indices;
}

TExtractOutcome TSevenZip::Extract(const TExtractRequest& request, ISevenZipEvents& events) {
  cancelRequested_ = false;
  call_ = TCall{};
  call_.Events = &events;
  call_.BaseFolder = request.Destination.empty() ? request.Destination : plat::WithSeparator(request.Destination);
  call_.UseFolderNames = request.UseFolderNames;
  TExtractOutcome& outcome = call_.Outcome;
  // The archive listed before the run is extracted as it is; anything else is opened now.
  if (opened_ != request.Source && !OpenSource(request.Source)) {
    outcome.Result = kFailure;
    return std::move(outcome);
  }
  outcome.Result = ExtractSelected(request);
  {
    plat::TLockGuard guard(callbackLock_);
    partial_.Discard();  // the library may stop mid-item without a result
  }
  Close();
  if (plat::OutOfMemory()) {  // whatever the library said: the run did not complete
    if (outcome.ErrorCount == 0) outcome.ErrorCount = 1;
    outcome.Result = kFailure;
  } else if (cancelRequested_) {
    if (outcome.Result == kOk) outcome.Result = kAborted;
  } else {
    events.OnProgress(100, 100);
  }
  return std::move(outcome);
}

HRes TSevenZip::ExtractSelected(const TExtractRequest& request) {
  TComPtr<TArchiveExtractCallback> callback(new TArchiveExtractCallback(*this));
  if (request.Only) {
    const std::vector<uint32_t>& only = *request.Only;
    if (only.empty()) return kOk;
    return inArchive_->Extract(only.data(), static_cast<uint32_t>(only.size()), 0, callback.Get());
  }
  if (request.Selection.empty()) return inArchive_->Extract(nullptr, 0xFFFFFFFFu, 0, callback.Get());
  const std::vector<uint32_t> indices = SelectedIndices(request.Selection);
  if (indices.empty()) return kOk;
  return inArchive_->Extract(indices.data(), static_cast<uint32_t>(indices.size()), 0, callback.Get());
}

void TSevenZip::Close() {
  opened_.reset();
  if (inArchive_) inArchive_->Close();
  inArchive_.Reset();
  inStream_->InFile.Close();
  ReplaceInStream();
}

std::u16string TSevenZip::OpenRefusal() const {
  if (!inArchive_) return std::u16string();
  TPropValue value{};
  static_cast<IInArchiveFull*>(inArchive_.Get())->GetArchiveProperty(kArchivePropRefusal, &value);
  if (value.Tag != kTagString) return std::u16string();
  std::u16string text = FromSystemString(value.String);
  library_.FreeString(value.String);
  return text;
}

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
  library_.FreeString(value.String);
  return path;
}

// ---- What the callbacks and streams call --------------------------------------

void TSevenZip::MarkItemFailed() {
  assert(callbackLock_.HeldByThisThread());
  if (!item_.Failed) ++call_.Outcome.ErrorCount;
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
  *password = library_.AllocString(call_.Events->OnPassword(item));
  return *password ? kOk : kFailure;
}

void TSevenZip::SetTotal(uint64_t total) {
  plat::TLockGuard guard(callbackLock_);
  call_.TotalSize = total;
}

HRes TSevenZip::SetCompleted(uint64_t completed) {
  plat::TLockGuard guard(callbackLock_);
  item_.Done += completed - call_.LastCompleted;
  call_.LastCompleted = completed;
  if (call_.TotalSize != 0 && item_.Size != 0) {
    const bool goOn = call_.Events->OnProgress(static_cast<uint8_t>(item_.Done * 100 / item_.Size),
                                               static_cast<uint8_t>(completed * 100 / call_.TotalSize));
    if (!goOn) cancelRequested_ = true;
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
  const bool proceed = call_.Events->OnBegin(facts, destination, existed);
  plat::TLockGuard guard(callbackLock_);
  return OpenItem(existed, proceed, stream);
}

// Under callbackLock_: reads the item's properties and works out its destination. False
// when nothing is to be written (a test or skip, a cancel, a refused path, a folder).
bool TSevenZip::PrepareItem(uint32_t index, int32_t askMode, std::u16string& destination) {
  assert(callbackLock_.HeldByThisThread());
  partial_.Discard();  // the previous item never got its result
  IInArchive* archive = inArchive_.Get();
  TPropValue path = Property(archive, index, kPropPath, kTagEmpty);
  TPropValue folder = Property(archive, index, kPropIsFolder, kTagBool);
  TPropValue attributes = Property(archive, index, kPropAttributes, kTagUInt64Preset);
  TPropValue size = Property(archive, index, kPropSize, kTagUInt64Preset);
  TPropValue modified = Property(archive, index, kPropModified, kTagEmpty);
  TPropValue encrypted = Property(archive, index, kPropEncrypted, kTagBool);
  const std::u16string itemPath = path.Tag == kTagString ? FromSystemString(path.String) : u"";
  if (path.Tag == kTagString) library_.FreeString(path.String);
  item_ = TItem{};
  item_.Index = index;
  item_.Encrypted = encrypted.Tag == kTagBool && encrypted.Bool != 0;
  item_.Attributes = attributes.UInt32;
  item_.Size = size.UInt64;
  item_.HasTime = modified.Tag == kTagFileTime;
  item_.ModifiedUtc = item_.HasTime ? modified.UInt64 : 0;

  if (askMode > kAskExtract || CancelRequested()) return false;
  // Never written outside the destination, and never a path the file calls cannot take.
  if (!plat::WithinLongPathLimit(call_.BaseFolder + itemPath) || !ItemPathIsSafe(itemPath)) {
    MarkItemFailed();
    return false;
  }
  // Device names and names ending in a dot or a space are stored under safe names.
  const std::u16string safePath = SafeItemPath(itemPath);
  if (folder.Bool != 0) {
    if (call_.UseFolderNames) plat::CreateFolderTree(call_.BaseFolder + safePath);
    return false;
  }
  std::u16string folderPart, namePart;
  SplitItemPath(safePath, folderPart, namePart);
  item_.Folder = call_.UseFolderNames ? call_.BaseFolder + folderPart : call_.BaseFolder;
  item_.Destination = item_.Folder + namePart;
  destination = item_.Destination;
  return true;
}

// Under callbackLock_, after the begin event: an existing file stays unless the handler
// set `proceed` (it is then replaced once the item is complete) or removed it itself.
// A failure reported meanwhile (a cancel, a failed write) still counts.
HRes TSevenZip::OpenItem(bool existed, bool proceed, ISequentialOutStream** stream) {
  assert(callbackLock_.HeldByThisThread());
  item_.ReplacesExisting = existed && plat::FileExists(item_.Destination);
  if (!proceed && item_.ReplacesExisting) return kOk;  // an existing file is kept
  if (CancelRequested() || item_.Failed) return kOk;
  if (item_.Folder != call_.KnownFolder) {  // items come folder by folder: one look per folder
    if (!plat::FolderExists(item_.Folder)) plat::CreateFolderTree(item_.Folder);
    call_.KnownFolder = item_.Folder;
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
    if (result != 0) call_.Outcome.PasswordFailures.push_back(item_.Index);
    if (result == 0) ++call_.Outcome.EncryptedDone;
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
