// The library's system strings: UTF-16 code units, one per wchar_t, in the platform's
// allocation (OLEAUT32 on Windows; natively `[u32 byte length][wchar_t...][u32 0]`).
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface/IArchive.h"

namespace szlib {

szsfx::TSystemString NewSystemString(const uint16_t* units, size_t count);
// A string that carries `size` raw bytes (identifiers, signatures).
szsfx::TSystemString NewBinaryString(const uint8_t* bytes, size_t size);
void DeleteSystemString(szsfx::TSystemString text);
size_t SystemStringLength(szsfx::TSystemString text);

}  // namespace szlib
