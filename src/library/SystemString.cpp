#include "library/SystemString.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>
#endif

namespace szlib {

#ifdef _WIN32

szsfx::TSystemString NewSystemString(const uint16_t* units, size_t count) {
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(count));
  if (!text) return nullptr;
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<wchar_t>(units[i]);
  return text;
}

szsfx::TSystemString NewBinaryString(const uint8_t* bytes, size_t size) {
  return SysAllocStringByteLen(reinterpret_cast<const char*>(bytes), static_cast<UINT>(size));
}

void DeleteSystemString(szsfx::TSystemString text) { SysFreeString(text); }

size_t SystemStringLength(szsfx::TSystemString text) { return text ? SysStringLen(text) : 0; }

#else

szsfx::TSystemString NewSystemString(const uint16_t* units, size_t count) {
  if (count > (UINT32_MAX - 8) / sizeof(wchar_t)) return nullptr;
  const uint32_t bytes = static_cast<uint32_t>(count * sizeof(wchar_t));
  auto* block = static_cast<uint8_t*>(std::malloc(4 + bytes + sizeof(wchar_t)));
  if (!block) return nullptr;
  std::memcpy(block, &bytes, 4);
  auto* text = reinterpret_cast<wchar_t*>(block + 4);
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<wchar_t>(units ? units[i] : 0);
  text[count] = 0;
  return text;
}

szsfx::TSystemString NewBinaryString(const uint8_t* bytes, size_t size) {
  if (size > UINT32_MAX - 8) return nullptr;
  auto* block = static_cast<uint8_t*>(std::calloc(4 + size + sizeof(wchar_t), 1));
  if (!block) return nullptr;
  const uint32_t length = static_cast<uint32_t>(size);
  std::memcpy(block, &length, 4);
  std::memcpy(block + 4, bytes, size);
  return reinterpret_cast<wchar_t*>(block + 4);
}

void DeleteSystemString(szsfx::TSystemString text) {
  if (text) std::free(reinterpret_cast<uint8_t*>(text) - 4);
}

size_t SystemStringLength(szsfx::TSystemString text) {
  if (!text) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<uint8_t*>(text) - 4, 4);
  return bytes / sizeof(wchar_t);
}

#endif

}  // namespace szlib
