// The shell's calls (folder browser, opening a link or a file) want COM set up on the
// calling thread. The stub loads shell32 and ole32 on their first call, so COM is set up
// there too, once, on the window thread: a run that uses none of them loads neither (Win32).
#pragma once

#include <windows.h>

#include <objbase.h>

namespace szsfx {

// Before any shell call on the window thread; the first call sets up the thread's apartment.
inline void PrepareShellCalls() {
  static bool prepared = false;  // the window thread only
  if (!prepared) prepared = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

}  // namespace szsfx
