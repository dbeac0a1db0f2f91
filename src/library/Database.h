// The 7z container: what the archive's header says about its folders (coder chains
// with their packed streams) and its items, read with every count and size checked.
#pragma once

#include <cstdint>

#include "library/Common.h"

namespace szlib {

constexpr uint32_t kNoFolder = 0xFFFFFFFFu;
constexpr uint32_t kMaxCodersPerFolder = 32;
constexpr uint32_t kMaxStreamsPerCoder = 32;
constexpr uint32_t kMaxMethodIdSize = 8;
constexpr uint32_t kMaxCoderProps = 1024;
// Overall limits of one archive, whatever its header says.
constexpr uint32_t kMaxFolders = 1u << 22;
constexpr uint32_t kMaxCoders = 1u << 22;
constexpr uint32_t kMaxPackStreams = 1u << 22;
constexpr uint32_t kMaxFiles = 1u << 22;
// What the records read from a header may take: a fixed allowance plus so much per byte
// of header in the archive (a packed header counts with its packed size).
constexpr uint64_t kDatabaseBaseMemory = uint64_t{64} << 20;
constexpr uint64_t kDatabaseMemoryPerHeaderByte = 64;

struct TCoderInfo {
  uint8_t Id[kMaxMethodIdSize];
  uint32_t IdSize;
  uint32_t NumInStreams;            // packed side; every coder has one unpacked stream
  uint32_t PropsOffset, PropsSize;  // in TDatabase::Props
};

struct TBindPair {
  uint32_t InIndex;   // a packed-side stream of some coder...
  uint32_t OutIndex;  // ...fed by the unpacked stream of this coder
};

struct TFolder {
  uint32_t FirstCoder, NumCoders;
  uint32_t FirstBindPair, NumBindPairs;
  uint32_t FirstPackedStream, NumPackedStreams;  // in TDatabase::PackedStreams: coder in-stream numbers
  uint32_t FirstPackStream;                      // in TDatabase::PackSizes / PackPositions
  uint32_t NumUnpackStreams;                     // files whose data the folder holds
  uint32_t FirstFile;                            // the item holding the folder's first bytes
  uint32_t UnpackCrc;
  bool HasUnpackCrc;
  bool Encrypted;
  bool IdleCoders;      // some coder feeds nothing that reaches the output: the folder cannot be decoded
  uint64_t UnpackSize;  // of the folder's main (unbound) stream
};

struct TFileInfo {
  uint32_t NameOffset, NameLength;  // UTF-16 units in TDatabase::Names
  uint32_t Folder;                  // kNoFolder for items without data
  uint32_t Crc, Attributes;
  uint64_t Size;
  uint64_t CTime, ATime, MTime;
  bool HasStream, IsDir, IsAnti, HasCrc, HasAttributes, HasCTime, HasATime, HasMTime;
};

struct TDatabase {
  TArray<TCoderInfo> Coders;
  TArray<TBindPair> BindPairs;
  TArray<uint32_t> PackedStreams;
  TArray<uint64_t> CoderUnpackSizes;  // one per coder, same order as Coders
  TArray<uint8_t> Props;
  TArray<uint64_t> PackSizes, PackPositions;  // positions are absolute in the archive stream
  TArray<TFolder> Folders;
  TArray<TFileInfo> Files;
  TArray<uint16_t> Names;
  uint64_t MemoryBudget = UINT64_MAX;  // for the arrays above, in bytes

  size_t Bytes() const {
    return Coders.Bytes() + BindPairs.Bytes() + PackedStreams.Bytes() + CoderUnpackSizes.Bytes() + Props.Bytes() +
           PackSizes.Bytes() + PackPositions.Bytes() + Folders.Bytes() + Files.Bytes() + Names.Bytes();
  }
  // Whether `more` bytes beyond what the arrays hold still fit the budget.
  bool Affords(uint64_t more = 0) const { return more <= MemoryBudget && Bytes() <= MemoryBudget - more; }

  void Clear() {
    Coders.Clear(), BindPairs.Clear(), PackedStreams.Clear(), CoderUnpackSizes.Clear(), Props.Clear();
    PackSizes.Clear(), PackPositions.Clear(), Folders.Clear(), Files.Clear(), Names.Clear();
  }
};

// Reads a header (a plain one, first byte 0x01) into `db`. `dataOffset` is where the
// packed streams start in the archive (32, after the signature header). Returns nullptr,
// or for anything malformed or beyond the limits a short text that says why it was refused.
const char* ReadHeader(const uint8_t* data, size_t size, uint64_t dataOffset, uint64_t archiveSize, TDatabase& db);

// Reads the streams description of an encoded header (first byte 0x17) into `db`,
// which then holds folders but no files. Returns nullptr or why it was refused.
const char* ReadEncodedHeader(const uint8_t* data, size_t size, uint64_t dataOffset, uint64_t archiveSize,
                              TDatabase& db);

// The coder index whose unpacked stream is the folder's output, or kNoFolder.
uint32_t MainCoder(const TDatabase& db, const TFolder& folder);

}  // namespace szlib
