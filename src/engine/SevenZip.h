// TSevenZip: opens the archive through the archive library, selects items and drives
// the extraction, reporting through three events.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/IArchive.h"
#include "platform/Platform.h"

namespace szsfx {

class TSevenZip;
class TInFileStream;
class TOutFileStream;

using TProgressEvent = std::function<void(TSevenZip* Sender, uint8_t FileProgress, uint8_t TotalProgress, bool& Cancel)>;
using TBeginEvent = std::function<void(TSevenZip* Sender, uint8_t Mode, const std::u16string& FileName,
                                       const std::u16string& DestinationFileName, bool& Proceed)>;
using TOnPasswordEvent = std::function<void(TSevenZip* Sender, const std::u16string& FileName, std::u16string& Password)>;

class TSevenZip {
 public:
  TSevenZip();
  ~TSevenZip();
  TSevenZip(const TSevenZip&) = delete;
  TSevenZip& operator=(const TSevenZip&) = delete;

  bool OpenArchive();
  HRes ExtractArchive();
  void CloseArchive();
  // Lets go of the library's handler, so that the library can be released.
  void ReleaseHandler();
  bool MatchesFileSpec(const std::u16string& path) const;
  // Counts the current item in ErrorCount, once however often it fails.
  void MarkItemFailed() {
    if (!ItemFailed) ++ErrorCount;
    ItemFailed = true;
  }

  // Item count and path of the opened archive (0 and empty when nothing is open).
  uint32_t ItemCount() const;
  std::u16string ItemPath(uint32_t index) const;

  std::u16string FileName;
  std::vector<std::u16string> FileSpec;
  std::u16string ExtractBaseDir;
  std::string DLLDir;
  bool UseFolderNames = false;
  TProgressEvent OnProgress;
  TBeginEvent OnBegin;
  TOnPasswordEvent OnPassword;

  // Working state, shared with the callback objects.
  IInArchive* InArchive = nullptr;
  TInFileStream* InStream = nullptr;
  TOutFileStream* OutStream = nullptr;
  std::atomic<bool> CancelRequested{false};  // read by the input stream on the library's threads
  uint32_t ErrorCount = 0;
  uint64_t TotalSize = 0, LastCompleted = 0, ItemSize = 0, ItemDone = 0;
  uint32_t ItemAttributes = 0;
  uint64_t ItemTime = 0;  // local time, 100 ns units since 1601
  std::u16string CurrentDestination;
  bool ItemOpened = false;  // GetStream opened a file for the current item
  bool ItemFailed = false;  // the current item already counts in ErrorCount
  // The library calls back from its own decoder threads as well as from the caller's:
  // the callbacks take this lock, so they run one at a time, and so do the events.
  plat::TLock CallbackLock;

 private:
  void ReplaceInStream();
  void ReplaceOutStream();
  std::vector<uint32_t> SelectedIndices() const;
};

// The component that is opening or extracting; callbacks and streams reach it here.
TSevenZip* CurrentComponent();

// Wildcard matching of item names: "*" any run, "?" any one character, no case.
bool WildcardMatch(const std::u16string& name, const std::u16string& mask);

// Releases the archive library (start-up's clean-up calls this before deleting it).
void ReleaseArchiveLibrary();

}  // namespace szsfx
