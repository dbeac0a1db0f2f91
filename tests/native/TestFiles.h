// Scratch folders and payload files for the native tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/FileBytes.h"
#include "common/ScratchDir.h"
#include "payload/Payload.h"
#include "payload/PayloadFormat.h"

namespace szsfx::test {

bool Exists(const std::string& path);

// A path between the tests' 8-bit form (UTF-8) and the program's UTF-16.
std::u16string Wide(const std::string& path);
std::string Narrow(const std::u16string& path);

Bytes ToBytes(const std::string& text);
// "{SLF}", a 32-bit length (the area's size + 9 unless given) and the area.
Bytes Block(const Bytes& area, int64_t length = -1);
Bytes RecordBytes(const TSettingsRecord& record);
TSettingsRecord ValidRecord();
// The bytes of a whole self-extractor: a zero stub, a library image padded to its
// slot, then `tail` (blocks, record, archive).
Bytes SelfExtractor(const Bytes& library, const Bytes& tail);
// The first bytes of every 7z archive.
Bytes SevenZipSignature();
// The headers of a Windows image, padded with zeros to `size`: machine 0x14C (x86) or
// 0x8664 (x86-64), a program or a DLL.
constexpr uint16_t kMachineX86 = 0x14C, kMachineX64 = 0x8664;
Bytes PeImage(uint16_t machine, bool dll, size_t size);
// A 7z archive as the builder sees it: signature, start header with its checksum, the
// packed data, then the header with its checksum.
Bytes SevenZipArchive(const Bytes& packed, const Bytes& header);

// A self-extractor's message blocks and settings record as start-up reads them.
struct PayloadReadBack {
  bool ok = false;  // the file opened and both parts were read
  int blocks = 0;
  TMessageTable table;
  TSettingsRecord record{};
  uint64_t archiveOffset = 0;
};
PayloadReadBack ReadPayload(const std::string& path);

}  // namespace szsfx::test
