// Item names that Windows treats specially. A path component that is a reserved device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, also with an extension and in
// any case) would send the item's bytes to a device; one that ends in a dot or a space
// loses that ending, so "a." and "a" would become one file. Such components are stored
// under a safe name instead, on every platform alike:
//   a device name gets a leading "_"        CON -> _CON, nul.txt -> _nul.txt
//   a trailing dot or space gets a "_" after it   trail. -> trail._, "x " -> "x _"
#pragma once

#include <string>

namespace szsfx {

bool IsReservedDeviceName(const std::u16string& component);
std::u16string SafeComponent(const std::u16string& component);
// Every component of an item path (separators "\" and "/") made safe; separators kept.
std::u16string SafeItemPath(const std::u16string& path);

}  // namespace szsfx
