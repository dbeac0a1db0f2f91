// A file written under a name of its own beside its destination until it is complete,
// so that neither a failure nor a cancel leaves a partial file under the real name or
// costs the file it was to replace.
#pragma once

#include <string>

#include "engine/FileStreams.h"
#include "interface/ComPtr.h"

namespace szsfx {

class TPartialFile {
 public:
  TPartialFile() = default;
  ~TPartialFile() { Discard(); }
  TPartialFile(const TPartialFile&) = delete;
  TPartialFile& operator=(const TPartialFile&) = delete;

  // Creates "~szsfx<pid>-<n>.tmp" in `folder` (a folder path with its separator), trying
  // further numbers while the name is taken. False when the folder refuses new files.
  bool Create(const std::u16string& folder, IStreamOwner* owner);
  bool IsOpen() const { return !path_.empty(); }
  // The stream the library writes to; valid while IsOpen().
  TComPtr<TOutFileStream> Stream() const { return stream_; }
  const std::u16string& Path() const { return path_; }

  // Sets the last-write time (UTC) and gives the file its real name in one step,
  // replacing an existing file only if `replace` (a read-only one too). False when the
  // rename failed: the partial file is then gone and an existing file is unchanged.
  bool Commit(const std::u16string& destination, bool replace, uint64_t modifiedUtc, bool hasTime);
  // Closes and deletes an uncommitted file; nothing when none is open.
  void Discard();

 private:
  bool MoveIntoPlace(const std::u16string& destination, bool replace) const;

  TComPtr<TOutFileStream> stream_;
  std::u16string path_;
};

}  // namespace szsfx
