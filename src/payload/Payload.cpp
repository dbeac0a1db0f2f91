#include "payload/Payload.h"

#include <algorithm>
#include <cstring>

#include "format/ByteOrder.h"
#include "payload/RunSetup.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

const std::string kEmpty;
const std::u16string kEmptyText;

// Reads a little-endian 32-bit value; bytes missing at the end of the file read as 0.
bool ReadU32(TInFile& file, uint32_t& value, uint32_t& read) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (!ReadFully(file, bytes, 4, read)) return false;
  value = LoadLe32(bytes);
  return true;
}

bool SkipForward(TInFile& file, uint64_t distance) {
  uint64_t position = 0;
  return distance == 0 || file.Seek(static_cast<int64_t>(distance), plat::SeekOrigin::Current, position);
}

}  // namespace

void TMessageTable::StoreBlock(int block, const uint8_t* area, size_t areaLength) {
  if (block < 1 || block > kMaxBlocks) return;
  Row& row = rows_[static_cast<size_t>(block - 1)];
  size_t slot = 0, start = 0;
  for (size_t i = 0; i <= areaLength && slot < row.size(); ++i) {
    if (area[i] != 0) continue;
    // Zero bytes end strings; non-zero bytes belong to the current one.
    row[slot++].assign(reinterpret_cast<const char*>(area + start), i - start);
    start = i + 1;
  }
}

const std::string& TMessageTable::Get(int block, int index) const {
  if (block < 1 || block > kMaxBlocks || index < 0 || index >= kMaxStringsPerBlock) return kEmpty;
  return rows_[static_cast<size_t>(block - 1)][static_cast<size_t>(index)];
}

void TMessages::Decode(const TMessageTable& table, int block) {
  for (size_t i = 0; i < strings_.size(); ++i)
    strings_[i] = plat::FromSystemCodePage(table.Get(block, static_cast<int>(i)));
}

const std::u16string& TMessages::Get(int index) const {
  return index < 0 || index >= kMaxStringsPerBlock ? kEmptyText : strings_[static_cast<size_t>(index)];
}

bool ReadFully(TInFile& file, void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (read < size) {
    uint32_t n = 0;
    if (!file.Read(bytes + read, size - read, n)) return false;
    if (n == 0) break;
    read += n;
  }
  return true;
}

bool WriteLibraryImage(TInFile& stub, const std::u16string& target, TCopyBuffer& buffer) {
  uint64_t position = 0;
  if (!stub.Seek(kStubImageSize, plat::SeekOrigin::Begin, position)) return false;
  std::fill(buffer.begin(), buffer.end(), 0);
  uint32_t read = 0;
  if (!ReadFully(stub, buffer.data(), kLibraryImageSize, read)) return false;
  TOutFile out;
  out.Creation = plat::FileCreation::CreateNew;
  if (!out.Open(target)) return false;
  uint32_t done = 0;
  for (uint32_t written = 0; written < kLibraryImageSize; written += done) {
    if (!out.Write(buffer.data() + written, kLibraryImageSize - written, done) || done == 0) return false;
  }
  return true;
}

bool ReadMessageBlocks(TInFile& stub, TMessageTable& table, TCopyBuffer& buffer, int& blockCount) {
  blockCount = 0;
  uint64_t position = 0;
  if (!stub.Seek(kFirstBlockPosition, plat::SeekOrigin::Begin, position)) return false;
  for (;;) {
    char marker[sizeof kBlockMarker] = {};
    uint32_t read = 0;
    if (!ReadFully(stub, marker, sizeof marker, read)) return false;
    if (read < sizeof marker) return true;
    if (std::memcmp(marker, kBlockMarker, sizeof marker) != 0) {
      return stub.Seek(-static_cast<int64_t>(sizeof marker), plat::SeekOrigin::Current, position);
    }
    uint32_t length = 0;
    if (!ReadU32(stub, length, read)) return false;
    // A length below the 9-byte head reads as an empty block that ends right behind its head.
    uint64_t area = length > kBlockHeadSize ? length - kBlockHeadSize : 0;
    uint32_t kept = static_cast<uint32_t>(std::min<uint64_t>(area, kMaxStringArea));
    uint64_t areaStart = 0;
    if (!stub.GetPosition(areaStart)) return false;
    std::fill(buffer.begin(), buffer.end(), 0);
    if (!ReadFully(stub, buffer.data(), kept, read)) return false;
    // Whatever was kept or could be read, the next block starts where the length says.
    if (!stub.Seek(static_cast<int64_t>(areaStart + area), plat::SeekOrigin::Begin, position)) return false;
    if (blockCount < kMaxBlocks) table.StoreBlock(++blockCount, buffer.data(), kept);
  }
}

bool ReadSettingsRecord(TInFile& stub, TSettingsRecord& record, uint64_t& archiveOffset) {
  uint8_t bytes[kSettingsRecordSize];
  std::memcpy(bytes, &record, kSettingsRecordSize);
  uint32_t read = 0;
  if (!ReadFully(stub, bytes, kSettingsRecordSize, read)) return false;
  std::memcpy(&record, bytes, kSettingsRecordSize);
  if (!SkipForward(stub, kSettingsRecordSize - read)) return false;
  return stub.GetPosition(archiveOffset);
}

bool SignatureMatches(const TSettingsRecord& record) {
  return record.Signature.Length == kSignature.size() &&
         std::memcmp(record.Signature.Chars, kSignature.data(), kSignature.size()) == 0;
}

}  // namespace szsfx
