// The fixed start of every 7z archive: the signature, the format version and the start
// header, which says where the archive's own header lies and holds both checksums.
// Read by our archive library when it opens an archive and by the payload builder when it
// checks one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/ByteOrder.h"

namespace szsfx {

constexpr uint8_t kSevenZipSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint8_t kSevenZipMajorVersion = 0;
// Signature (6 bytes), version (2), start header checksum (4), then the 20 bytes it covers:
// the next header's offset (8), size (8) and checksum (4).
constexpr size_t kSevenZipStartSize = 32;
constexpr size_t kStartHeaderCheckedAt = 12;
constexpr size_t kStartHeaderCheckedSize = 20;

// What the first kSevenZipStartSize bytes of an archive say.
struct TSevenZipStart {
  bool HasSignature = false;
  uint8_t MajorVersion = 0;
  uint32_t StartHeaderCrc = 0;    // of the kStartHeaderCheckedSize bytes at kStartHeaderCheckedAt
  uint64_t NextHeaderOffset = 0;  // counted from the end of the start
  uint64_t NextHeaderSize = 0;
  uint32_t NextHeaderCrc = 0;
};

constexpr TSevenZipStart ReadSevenZipStart(const uint8_t* start) {
  TSevenZipStart s;
  s.HasSignature = true;
  for (size_t i = 0; i < sizeof kSevenZipSignature; ++i)
    s.HasSignature = s.HasSignature && start[i] == kSevenZipSignature[i];
  s.MajorVersion = start[6];
  s.StartHeaderCrc = LoadLe32(start + 8);
  s.NextHeaderOffset = LoadLe64(start + 12);
  s.NextHeaderSize = LoadLe64(start + 20);
  s.NextHeaderCrc = LoadLe32(start + 28);
  return s;
}

}  // namespace szsfx
