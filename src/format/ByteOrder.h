// Little-endian values in byte buffers: the payload, the settings record, the 7z container
// and the Windows image headers all store them so, whatever the machine's order.
#pragma once

#include <cstdint>

namespace szsfx {

constexpr uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
constexpr uint32_t LoadLe32(const uint8_t* p) { return LoadLe16(p) | static_cast<uint32_t>(LoadLe16(p + 2)) << 16; }
constexpr uint64_t LoadLe64(const uint8_t* p) { return LoadLe32(p) | static_cast<uint64_t>(LoadLe32(p + 4)) << 32; }

}  // namespace szsfx
