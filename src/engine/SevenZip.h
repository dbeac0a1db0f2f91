// TSevenZip: opens the archive through the archive library, selects items and drives
// the extraction, reporting to the caller's ISevenZipEvents.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/Callbacks.h"
#include "engine/FileStreams.h"
#include "engine/ItemInfo.h"
#include "engine/Library.h"
#include "engine/PartialFile.h"
#include "interface/ComPtr.h"
#include "interface/IArchive.h"
#include "platform/MemoryReserve.h"
#include "platform/Platform.h"

namespace szsfx {

// Where an archive lies: a file by name, or an open file (the program's own) when File
// is set; Offset is where the archive starts in the file.
struct TArchiveSource {
  std::u16string FileName;
  const TInFile* File = nullptr;
  uint64_t Offset = 0;
  bool operator==(const TArchiveSource&) const = default;
};

// One extraction: the archive, the folder the items go to and which items.
struct TExtractRequest {
  TArchiveSource Source;
  std::u16string Destination;
  // Lines that select items (TItemSelection; all items when there are none), or, when
  // Only is set, exactly the items with those indices.
  std::vector<std::u16string> Selection;
  std::optional<std::vector<uint32_t>> Only;
  bool UseFolderNames = true;  // false: every file lands in Destination itself, and no folder is made
};

// How an extraction ended.
struct TExtractOutcome {
  HRes Result = kOk;
  uint32_t ErrorCount = 0;  // items that failed
  // Those of them that were encrypted: a wrong password fails them, and another password
  // may extract them. With a right password damaged data fails them too; an encrypted
  // item that succeeded (EncryptedDone) shows that the password was right.
  std::vector<uint32_t> PasswordFailures;
  uint32_t EncryptedDone = 0;
};

// What the component asks and tells its caller during Open and Extract. OnBegin and
// OnProgress come on the library's threads; OnBegin and OnPassword may wait for another
// thread (a window asking the user), OnProgress must not.
class ISevenZipEvents {
 public:
  // An item is about to be written to `destination`; `fileExists` says whether a file is
  // there already. The answer says whether that file may be replaced (it is, once the
  // item is complete); without a file there the item is written whatever it says.
  // `item` holds the item's size and time.
  virtual bool OnBegin(const TItemFacts& item, const std::u16string& destination, bool fileExists) = 0;
  // The current item's and the whole run's progress in percent; false asks the run to stop.
  virtual bool OnProgress(uint8_t itemPercent, uint8_t totalPercent) = 0;
  // The password for an encrypted item (`item` its destination, empty for encrypted headers).
  virtual std::u16string OnPassword(const std::u16string& item) = 0;

 protected:
  ~ISevenZipEvents() = default;
};

// The component: opens an archive through the archive library it is given, lists it,
// and extracts it as a request says. Its working state is private and reached by the
// callbacks and streams it makes through IArchiveEvents and IStreamOwner.
class TSevenZip final : public IStreamOwner, private IArchiveEvents {
 public:
  // The library must outlive the component.
  explicit TSevenZip(const TArchiveLibrary& library);
  ~TSevenZip();
  TSevenZip(const TSevenZip&) = delete;
  TSevenZip& operator=(const TSevenZip&) = delete;

  // Opens the archive for the list (and for an extraction of the same source). False
  // when the library or the archive cannot be read, or a password was wrong.
  bool Open(const TArchiveSource& source, ISevenZipEvents& events);
  // Extracts what the request selects from the archive that is open when it is the
  // request's source, else from the source opened anew; the archive is closed afterwards.
  TExtractOutcome Extract(const TExtractRequest& request, ISevenZipEvents& events);
  // Closes the archive and lets go of the library's handler.
  void Close();
  // Asks a running Open or Extract to stop (or withdraws the request).
  void RequestCancel(bool cancel) { cancelRequested_ = cancel; }

  // Why the library refused the archive at the last Open, where it says (ours does).
  // A test and measuring aid: it calls a slot of the handler beyond those a run uses.
  std::u16string OpenRefusal() const;
  // Item count and path of the opened archive (0 and empty when nothing is open).
  uint32_t ItemCount() const;
  std::u16string ItemPath(uint32_t index) const;

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

  bool OpenSource(const TArchiveSource& source);
  HRes ExtractSelected(const TExtractRequest& request);
  // Counts the current item in the outcome's ErrorCount, once however often it fails.
  void MarkItemFailed();
  bool PrepareItem(uint32_t index, int32_t askMode, std::u16string& destination);
  HRes OpenItem(bool existed, bool proceed, ISequentialOutStream** stream);
  void ApplyAttributes() const;
  void ReplaceInStream();
  std::vector<uint32_t> SelectedIndices(const std::vector<std::u16string>& selection) const;

  const TArchiveLibrary& library_;
  TComPtr<IInArchive> inArchive_;
  TComPtr<TInFileStream> inStream_;
  std::atomic<bool> cancelRequested_{false};  // read by the input stream on the library's threads
  std::optional<TArchiveSource> opened_;      // the archive that is open, if one is

  // What the current Open or Extract works with and records; each Extract starts afresh.
  struct TCall {
    ISevenZipEvents* Events = nullptr;
    std::u16string BaseFolder;  // the destination with its separator
    bool UseFolderNames = true;
    std::u16string KnownFolder;  // the last destination folder known to exist
    uint64_t TotalSize = 0, LastCompleted = 0;
    TExtractOutcome Outcome;
  };
  TCall call_;

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

// The selected lines (TExtractRequest::Selection), prepared once for a run so that an item costs
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

}  // namespace szsfx
