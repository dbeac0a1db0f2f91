// The archive library module: loaded by its owner, released when the owner lets it go.
#pragma once

#include <string>

#include "interface/IArchive.h"

namespace szsfx {

// The archive library "7z.dll" of one folder, loaded for as long as this object lives.
// Every handler it made must be released before it is.
class TArchiveLibrary {
 public:
  // Loads `folder` + "7z.dll" (`folder` ends with its separator).
  explicit TArchiveLibrary(const std::u16string& folder);
  ~TArchiveLibrary();
  TArchiveLibrary(const TArchiveLibrary&) = delete;
  TArchiveLibrary& operator=(const TArchiveLibrary&) = delete;

  // False when the library could not be loaded or lacks CreateObject or the string allocator.
  bool Loaded() const { return createObject_ && alloc_ && free_; }
  // A new 7z handler, or nullptr.
  IInArchive* CreateHandler() const;
  // Strings the library takes or gives, in its own allocator.
  TSystemString AllocString(const std::u16string& text) const;
  void FreeString(TSystemString text) const;

 private:
  void* module_ = nullptr;
  TCreateObject createObject_ = nullptr;
  TSysAllocString alloc_ = nullptr;
  TSysFreeString free_ = nullptr;
};

std::u16string FromSystemString(const wchar_t* text);

}  // namespace szsfx
