// Reading the payload behind the stub: library image, message blocks, settings record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/PayloadFormat.h"
#include "platform/FileIO.h"

namespace szsfx {

// 32 blocks of 100 strings; block n of the payload (from 1) fills row n.
class TMessageTable {
 public:
  // Splits a string area into row `block` (1..32). `area` must hold areaLength + 1
  // bytes, the last one NUL: a final string without its own NUL still counts.
  // Strings past the 100th are dropped.
  void StoreBlock(int block, const uint8_t* area, size_t areaLength);
  // The string at `index` of row `block`; empty when the row has no such string.
  const std::string& Get(int block, int index) const;

 private:
  using Row = std::array<std::string, kMaxStringsPerBlock>;
  std::array<Row, kMaxBlocks> rows_;
};

// One buffer of 76,288 bytes, used for the library image, every block and the archive copy.
using TCopyBuffer = std::vector<uint8_t>;
inline TCopyBuffer MakeCopyBuffer() { return TCopyBuffer(kLibraryImageSize); }

// Reads up to `size` bytes, repeating short reads; `read` gets what arrived.
// False only when the system read itself failed.
bool ReadFully(TInFile& file, void* buffer, uint32_t size, uint32_t& read);

// Creates `target` new and writes the 76,288 bytes at the library image position into
// it, whatever the read returned; `buffer` keeps them. False on a failed seek or read, when
// a file of that name exists, and when the image cannot be written in full.
bool WriteLibraryImage(TInFile& stub, const std::u16string& target, TCopyBuffer& buffer);

// Reads the message blocks from the first block position on. Returns the number of
// blocks stored (at most 32; later blocks are passed over). Leaves the file at the
// start of the settings record. False on a failed seek or read.
bool ReadMessageBlocks(TInFile& stub, TMessageTable& table, TCopyBuffer& buffer, int& blockCount);

// Reads the 832-byte record over `record` (bytes past the end of the file keep their
// value) and gives the archive offset, always 832 bytes past the record start.
bool ReadSettingsRecord(TInFile& stub, TSettingsRecord& record, uint64_t& archiveOffset);

// The first (length byte + 1) bytes of the record must be 03 "B" "S" "Z".
bool SignatureMatches(const TSettingsRecord& record);

}  // namespace szsfx
