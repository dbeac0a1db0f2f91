#include "TestFiles.h"

#include "payload/InputChecks.h"
#include "platform/FileIO.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace szsfx::test {

std::u16string Wide(const std::string& path) { return std::filesystem::path(path).u16string(); }
std::string Narrow(const std::u16string& path) { return std::filesystem::path(path).string(); }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Block(const Bytes& area, int64_t length) {
  Bytes block = ToBytes("{SLF}");
  uint32_t n = length < 0 ? static_cast<uint32_t>(area.size() + 9) : static_cast<uint32_t>(length);
  for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<uint8_t>(n >> shift));
  block.insert(block.end(), area.begin(), area.end());
  return block;
}

Bytes RecordBytes(const TSettingsRecord& record) {
  Bytes bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

TSettingsRecord ValidRecord() {
  TSettingsRecord record;
  std::memset(&record, 0, sizeof record);
  record.Signature.Set("BSZ");
  return record;
}

Bytes SelfExtractor(const Bytes& library, const Bytes& tail) {
  Bytes file(kStubImageSize, 0);
  file.insert(file.end(), library.begin(), library.end());
  file.resize(kFirstBlockPosition, 0);
  file.insert(file.end(), tail.begin(), tail.end());
  return file;
}

Bytes SevenZipSignature() { return {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4}; }

namespace {
void Put(Bytes& bytes, size_t at, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}
}  // namespace

Bytes PeImage(uint16_t machine, bool dll, size_t size) {
  Bytes image(size, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put(image, 0x3C, 0x80, 4);        // the PE header's position
  Put(image, 0x80, 0x00004550, 4);  // "PE\0\0"
  Put(image, 0x84, machine, 2);
  Put(image, 0x80 + 22, dll ? 0x2102 : 0x0102, 2);  // executable, 32-bit words, DLL or not
  return image;
}

Bytes SevenZipArchive(const Bytes& packed, const Bytes& header) {
  Bytes archive = SevenZipSignature();
  archive.resize(32, 0);
  Put(archive, 12, packed.size(), 8);
  Put(archive, 20, header.size(), 8);
  Put(archive, 28, Crc32(0, header.data(), header.size()), 4);
  Put(archive, 8, Crc32(0, archive.data() + 12, 20), 4);
  archive.insert(archive.end(), packed.begin(), packed.end());
  archive.insert(archive.end(), header.begin(), header.end());
  return archive;
}

PayloadReadBack ReadPayload(const std::string& path) {
  PayloadReadBack r;
  TInFile file;
  if (!file.Open(Wide(path))) return r;
  TCopyBuffer buffer = MakeCopyBuffer();
  r.ok = ReadMessageBlocks(file, r.table, buffer, r.blocks) && ReadSettingsRecord(file, r.record, r.archiveOffset);
  return r;
}

}  // namespace szsfx::test
