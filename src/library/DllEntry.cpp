// The DLL's own start-up on Windows. No C or C++ runtime start-up code is linked in (the
// library must fit its slot), so the few pieces of the C++ runtime the library uses are
// here, over msvcrt's heap, and the generated tables are made once while the loader holds
// its lock, before any caller's thread can reach an export.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "library/Crypto.h"

namespace std {
const nothrow_t nothrow{};
}

void* operator new(size_t size, const std::nothrow_t&) noexcept { return std::malloc(size); }
void operator delete(void* address) noexcept { std::free(address); }
void operator delete(void* address, size_t) noexcept { std::free(address); }

// Reached only through a broken object (a pure function called during construction).
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler's tables call
extern "C" void __cxa_pure_virtual() { std::abort(); }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) szlib::PrepareTables();
  return TRUE;
}
