// The 7z handler: IInArchive over our container reader and coder chain.
#pragma once

#include "interface/IArchive.h"

namespace szlib {

// A new handler with one reference, or null when memory is short.
szsfx::IInArchive* NewHandler();

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// The number of handlers alive, counted in the fuzzing build only (for its check of the
// reference counting).
long LiveHandlers();
#endif

}  // namespace szlib
