// What the payload builder checks of its inputs before it writes anything: the stub and
// the library image are Windows images of one architecture, the archive is a complete 7z
// archive. Each function returns "" or the error to show.
#pragma once

#include <cstdint>
#include <string>

namespace szsfx {

// The headers of a Windows image (PE) that matter here.
struct TImageKind {
  bool IsImage = false;  // "MZ", a PE header inside the file
  uint16_t Machine = 0;  // 0x14C x86, 0x8664 x86-64, ...
  bool IsDll = false;
};
TImageKind ReadImageKind(const std::string& path);
// "32-bit x86", "64-bit x86-64", ... or "machine type 0xNNNN".
std::string MachineName(uint16_t machine);

std::string CheckStubAndLibrary(const std::string& stubPath, const std::string& libraryPath);
// Signature, version, start header, next header inside the file, both checksums.
std::string CheckSevenZipArchive(const std::string& path);

// The size of a file of any length (64-bit positions on every target).
bool FileSize(const std::string& path, uint64_t& size);

// The CRC-32 of the 7z container, continued from `crc` (0 to start): 7-Zip's own code, the
// one our archive library checks archives with.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace szsfx
