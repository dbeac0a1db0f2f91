// What every Win32 file shares: texts between UTF-16 and wchar_t, and system calls
// looked up at run time (calls that older systems lack).
#pragma once

#include <windows.h>

#include <string>

namespace plat {

inline std::u16string WideText(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The function `name` of the already loaded system module `module` as a `Function`
// pointer; nullptr where the system lacks it.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  const HMODULE loaded = GetModuleHandleW(module);
  return loaded ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

}  // namespace plat
