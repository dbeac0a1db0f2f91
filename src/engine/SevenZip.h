// TSevenZip: opens the archive through the archive library, selects items and drives
// the extraction, reporting through three events.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/Callbacks.h"
#include "engine/FileStreams.h"
#include "engine/ItemInfo.h"
#include "engine/PartialFile.h"
#include "interface/ComPtr.h"
#include "interface/IArchive.h"
#include "platform/MemoryReserve.h"
#include "platform/Platform.h"

namespace szsfx {

using TProgressEvent = std::function<void(uint8_t FileProgress, uint8_t TotalProgress, bool& Cancel)>;
// Proceed comes in true when no file exists at the destination; a handler sets it to
// have an existing file replaced. Item.Description() formats the item's size and time
// when a handler wants to show them.
using TBeginEvent =
    std::function<void(const TItemFacts& Item, const std::u16string& DestinationFileName, bool& Proceed)>;
using TOnPasswordEvent = std::function<void(const std::u16string& FileName, std::u16string& Password)>;

// The component: what it is given (file, selection, destination, events) is public; its
// working state is private and reached by the callbacks and streams it makes through
// IArchiveEvents and IStreamOwner.
class TSevenZip final : public IStreamOwner, private IArchiveEvents {
 public:
  TSevenZip();
  ~TSevenZip();
  TSevenZip(const TSevenZip&) = delete;
  TSevenZip& operator=(const TSevenZip&) = delete;

  bool OpenArchive();
  // Extracts the items FileSpec selects (all when it is empty), or exactly those in `only`.
  HRes ExtractArchive(const std::vector<uint32_t>* only = nullptr);
  void CloseArchive();
  // Lets go of the library's handler, so that the library can be released.
  void ReleaseHandler();
  // Asks a running Open or Extract to stop (or withdraws the request).
  void RequestCancel(bool cancel) { cancelRequested_ = cancel; }

  // Item count and path of the opened archive (0 and empty when nothing is open).
  uint32_t ItemCount() const;
  std::u16string ItemPath(uint32_t index) const;

  std::u16string FileName;
  // When set, the archive is read from this open file (the program's own), not by name.
  const TInFile* ArchiveFile = nullptr;
  uint64_t FileOffset = 0;  // where the archive starts in the file
  std::vector<std::u16string> FileSpec;
  std::u16string ExtractBaseDir;
  std::u16string DLLDir;  // the folder of the archive library, with its separator
  bool UseFolderNames = false;
  TProgressEvent OnProgress;
  TBeginEvent OnBegin;
  TOnPasswordEvent OnPassword;
  uint32_t ErrorCount = 0;  // items of the last extraction that failed
  // Those of them that were encrypted: a wrong password fails them, and another password
  // may extract them. With a right password damaged data fails them too; an encrypted
  // item that succeeded (EncryptedDone) shows that the password was right.
  std::vector<uint32_t> PasswordFailures;
  uint32_t EncryptedDone = 0;

  // IStreamOwner: the streams read the cancel request on the library's threads.
  // Memory running out stops the library as a cancel does (and fails the run).
  bool CancelRequested() const override { return cancelRequested_ || plat::OutOfMemory(); }
  void WriteFailed() override;

 private:
  // IArchiveEvents: the callbacks' calls, one at a time under callbackLock_. The lock is
  // never held while an event handler may wait for another thread (the begin and password
  // events): facts are gathered under it, the event is raised without it, and the answer
  // is applied under it again. The progress event is raised under it and must not wait.
  HRes AskPassword(TSystemString* password) override;
  void SetTotal(uint64_t total) override;
  HRes SetCompleted(uint64_t completed) override;
  HRes GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) override;
  void SetOperationResult(int32_t result) override;

  // Counts the current item in ErrorCount, once however often it fails.
  void MarkItemFailed();
  bool PrepareItem(uint32_t index, int32_t askMode, std::u16string& destination);
  HRes OpenItem(bool existed, bool proceed, ISequentialOutStream** stream);
  void ApplyAttributes() const;
  void ReplaceInStream();
  std::vector<uint32_t> SelectedIndices() const;

  TComPtr<IInArchive> inArchive_;
  TComPtr<TInFileStream> inStream_;
  std::atomic<bool> cancelRequested_{false};  // read by the input stream on the library's threads
  uint64_t totalSize_ = 0, lastCompleted_ = 0;
  // The archive that is open, if one is.
  bool archiveOpen_ = false;
  std::u16string openedName_;
  const TInFile* openedFile_ = nullptr;
  uint64_t openedOffset_ = 0;
  std::u16string baseFolder_;   // ExtractBaseDir with its separator, for the run
  std::u16string knownFolder_;  // the last destination folder known to exist

  // The item the library is writing, from GetStream to its result.
  struct TItem {
    std::u16string Destination;  // its real path
    std::u16string Folder;       // the destination's folder, with its separator
    uint64_t Size = 0, Done = 0;
    uint64_t ModifiedUtc = 0;  // the archive's time, set on the file as it is
    bool HasTime = false;      // without one the file keeps the time it was written at
    uint32_t Attributes = 0;
    bool ReplacesExisting = false;  // an existing file is replaced once the item is complete
    bool Failed = false;            // the item already counts in ErrorCount
    uint32_t Index = 0;
    bool Encrypted = false;
  };
  TItem item_;
  TPartialFile partial_;  // the item's file until it is complete
  // The library calls back from its own decoder threads as well as from the caller's:
  // the callbacks take this lock, so they run one at a time. The begin and password events
  // are raised outside it (see above).
  plat::TLock callbackLock_;
};

// Wildcard matching of item names: "*" any run, "?" any one character, no case.
bool WildcardMatch(const std::u16string& name, const std::u16string& mask);

// The selected lines (TSevenZip::FileSpec), prepared once for a run so that an item costs
// about one lookup. A line ending in a separator selects everything below that folder; a
// line with "*" or "?" is a mask; any other line names one item. Case does not count, and
// a line with a dot matches an item without one as if the item ended in a dot.
class TItemSelection {
 public:
  explicit TItemSelection(const std::vector<std::u16string>& lines);
  bool Matches(const std::u16string& path) const;

 private:
  struct TMask {
    std::u16string Text;  // in lower case
    bool Dotted = false;
  };
  std::unordered_set<std::u16string> names_;    // plain lines, in lower case
  std::unordered_set<std::u16string> folders_;  // folder lines with their separator, in lower case
  std::vector<TMask> masks_;
};

// Releases the archive library (start-up's clean-up calls this before deleting it).
void ReleaseArchiveLibrary();

}  // namespace szsfx
