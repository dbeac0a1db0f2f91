// The archive library module: loaded once per process, released at the clean-up.
#pragma once

#include <string>

#include "interface/IArchive.h"

namespace szsfx {

// Loads `folder` + "7z.dll" unless a library is loaded already; false when it cannot
// be loaded or lacks CreateObject or the string allocator.
bool BindArchiveLibrary(const std::u16string& folder);
// A new 7z handler, or nullptr.
IInArchive* CreateArchiveHandler();

TSystemString AllocSystemString(const std::u16string& text);
void FreeSystemString(TSystemString text);
std::u16string FromSystemString(const wchar_t* text);

}  // namespace szsfx
