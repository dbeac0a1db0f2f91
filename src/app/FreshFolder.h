// Folders this process makes for itself in the temp path: the work folder and the
// %temp-unique% folder.
#pragma once

#include <string>

#include "platform/FileIO.h"

namespace szsfx {

// Random names are drawn at most this often; with 64 random bits a second draw already
// means that someone else is making such names.
constexpr int kMaxFolderDraws = 16;

// 16 lower-case hexadecimal digits from 64 bits of the system's cryptographic generator;
// empty when it gives none.
std::u16string RandomNamePart();

// A new private folder `parent` + `prefix` + RandomNamePart(), made by this process and
// held so that nobody can rename, replace or remove it (its path, in Path(), ends with a
// separator). Never an existing folder or a link. Not held when no draw could be made.
THeldPath CreateFreshFolder(const std::u16string& parent, const std::u16string& prefix);

}  // namespace szsfx
