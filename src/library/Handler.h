// The 7z handler: IInArchive over our container reader and coder chain.
#pragma once

#include "interface/IArchive.h"

namespace szlib {

// A new handler with one reference, or null when memory is short.
szsfx::IInArchive* NewHandler();

// The number of handlers alive (for tests of reference counting).
long LiveHandlers();

}  // namespace szlib
