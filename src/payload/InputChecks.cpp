#include "payload/InputChecks.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "format/SevenZipStart.h"

extern "C" {
#include "7zCrc.h"
}

namespace szsfx {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenForReading(const std::string& path) { return File(std::fopen(path.c_str(), "rb"), &std::fclose); }

bool ReadAt(std::FILE* f, uint64_t position, void* buffer, size_t size) {
  if (position > static_cast<uint64_t>(INT64_MAX)) return false;
#ifdef _WIN32
  if (_fseeki64(f, static_cast<int64_t>(position), SEEK_SET) != 0) return false;
#else
  if (fseeko(f, static_cast<off_t>(position), SEEK_SET) != 0) return false;
#endif
  return std::fread(buffer, 1, size, f) == size;
}

uint64_t SizeOf(std::FILE* f) {
#ifdef _WIN32
  if (_fseeki64(f, 0, SEEK_END) != 0) return 0;
  int64_t n = _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return 0;
  int64_t n = ftello(f);
#endif
  return n > 0 ? static_cast<uint64_t>(n) : 0;
}

}  // namespace

bool FileSize(const std::string& path, uint64_t& size) {
  File f = OpenForReading(path);
  if (!f) return false;
  size = SizeOf(f.get());
  return true;
}

namespace {

constexpr uint16_t kFileIsDll = 0x2000;
constexpr uint16_t kFileIsExecutable = 0x0002;

bool IsProgram(const TImageKind& kind) { return kind.IsImage && !kind.IsDll; }

// The CRC of `size` bytes of `f` from `position`, read in pieces.
bool CrcOfRange(std::FILE* f, uint64_t position, uint64_t size, uint32_t& crc) {
  std::vector<uint8_t> piece(1 << 16);
  crc = 0;
  while (size > 0) {
    size_t n = size < piece.size() ? static_cast<size_t>(size) : piece.size();
    if (!ReadAt(f, position, piece.data(), n)) return false;
    crc = Crc32(crc, piece.data(), n);
    position += n;
    size -= n;
  }
  return true;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  if (size == 0) return crc;  // 7-Zip's code may not be handed an empty vector's null data
  static const bool tableReady = (CrcGenerateTable(), true);
  (void)tableReady;
  return CrcUpdate(crc ^ CRC_INIT_VAL, data, size) ^ CRC_INIT_VAL;
}

TImageKind ReadImageKind(const std::string& path) {
  TImageKind kind;
  File f = OpenForReading(path);
  uint8_t dos[64], pe[24];
  if (!f || !ReadAt(f.get(), 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return kind;
  if (!ReadAt(f.get(), LoadLe32(dos + 0x3C), pe, sizeof pe)) return kind;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return kind;
  const uint16_t characteristics = LoadLe16(pe + 22);
  kind.IsImage = (characteristics & kFileIsExecutable) != 0;
  kind.Machine = LoadLe16(pe + 4);
  kind.IsDll = (characteristics & kFileIsDll) != 0;
  return kind;
}

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case 0x014C:
      return "32-bit x86";
    case 0x8664:
      return "64-bit x86-64";
    case 0xAA64:
      return "64-bit ARM64";
    case 0x01C4:
      return "32-bit ARM";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "machine type 0x%04X", machine);
      return text;
    }
  }
}

std::string CheckStubAndLibrary(const std::string& stubPath, const std::string& libraryPath) {
  const TImageKind stub = ReadImageKind(stubPath), library = ReadImageKind(libraryPath);
  if (!IsProgram(stub)) return "the stub " + stubPath + " is not a Windows program";
  if (!library.IsImage || !library.IsDll) return "the library image " + libraryPath + " is not a Windows DLL";
  if (stub.Machine != library.Machine) {
    return "the stub " + stubPath + " is a " + MachineName(stub.Machine) + " program but the library image " +
           libraryPath + " is a " + MachineName(library.Machine) + " DLL; both must be built for one architecture";
  }
  return "";
}

std::string CheckSevenZipArchive(const std::string& path) {
  File f = OpenForReading(path);
  if (!f) return "cannot read the archive " + path;
  const uint64_t size = SizeOf(f.get());
  uint8_t head[kSevenZipStartSize];
  if (size < sizeof head || !ReadAt(f.get(), 0, head, sizeof head))
    return "the archive " + path + " is not a 7z archive";
  const TSevenZipStart start = ReadSevenZipStart(head);
  if (!start.HasSignature) return "the archive " + path + " is not a 7z archive";
  if (start.MajorVersion != kSevenZipMajorVersion) {
    return "the archive " + path + " has 7z format version " + std::to_string(start.MajorVersion) + ", not " +
           std::to_string(kSevenZipMajorVersion);
  }
  if (Crc32(0, head + kStartHeaderCheckedAt, kStartHeaderCheckedSize) != start.StartHeaderCrc)
    return "the archive " + path + " is damaged: its start header is wrong";
  const uint64_t offset = start.NextHeaderOffset, length = start.NextHeaderSize;
  if (offset > size - sizeof head || length > size - sizeof head - offset) {
    return "the archive " + path + " is incomplete: its header lies beyond the end of the file";
  }
  uint32_t crc = 0;
  if (!CrcOfRange(f.get(), sizeof head + offset, length, crc)) return "cannot read the archive " + path;
  if (crc != start.NextHeaderCrc) return "the archive " + path + " is damaged: its header checksum is wrong";
  return "";
}

}  // namespace szsfx
