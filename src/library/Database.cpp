#include "library/Database.h"

#include "format/ByteOrder.h"

namespace szlib {

namespace {

enum : uint8_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kArchiveProperties = 0x02,
  kAdditionalStreamsInfo = 0x03,
  kMainStreamsInfo = 0x04,
  kFilesInfo = 0x05,
  kPackInfo = 0x06,
  kUnpackInfo = 0x07,
  kSubStreamsInfo = 0x08,
  kSize = 0x09,
  kCrc = 0x0A,
  kFolder = 0x0B,
  kCodersUnpackSize = 0x0C,
  kNumUnpackStream = 0x0D,
  kEmptyStream = 0x0E,
  kEmptyFile = 0x0F,
  kAnti = 0x10,
  kNames = 0x11,
  kCTime = 0x12,
  kATime = 0x13,
  kMTime = 0x14,
  kWinAttributes = 0x15,
  kEncodedHeader = 0x17,
};

// Reads the header's numbers and vectors; any read past the end marks it failed. The
// first refusal's reason is kept: the innermost check says most.
class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  bool Ok() const { return reason_ == nullptr; }
  const char* Reason() const { return reason_; }
  size_t Left() const { return left_; }
  // Marks the header refused (unless it already is) and returns false.
  bool Fail(const char* reason) {
    if (!reason_) reason_ = reason;
    return false;
  }

  uint8_t Byte() {
    if (left_ == 0) {
      Fail("the header ends early");
      return 0;
    }
    --left_;
    return *data_++;
  }
  // The variable-length number: the high bits of the first byte say how many bytes follow.
  uint64_t Number() {
    const uint8_t first = Byte();
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
      const uint8_t mask = static_cast<uint8_t>(0x80u >> i);
      if ((first & mask) == 0) {
        const uint64_t high = first & (mask - 1u);
        return value | high << (8 * i);
      }
      value |= static_cast<uint64_t>(Byte()) << (8 * i);
    }
    return value;
  }
  // A number that counts things each taking at least a byte of what is left.
  uint32_t Count(uint64_t limit) {
    const uint64_t n = Number();
    if (n > limit || n > left_) {
      Fail("a count is beyond its limit or the header");
      return 0;
    }
    return static_cast<uint32_t>(n);
  }
  uint32_t UInt32() {
    const uint8_t* p = Take(4);
    return p ? szsfx::LoadLe32(p) : 0;
  }
  uint64_t UInt64() {
    const uint8_t* p = Take(8);
    return p ? szsfx::LoadLe64(p) : 0;
  }
  const uint8_t* Take(uint64_t size) {
    if (size > left_) {
      Fail("the header ends early");
      return nullptr;
    }
    const uint8_t* at = data_;
    data_ += size;
    left_ -= static_cast<size_t>(size);
    return at;
  }
  bool Expect(uint8_t id, const char* reason) { return Byte() == id || Fail(reason); }

 private:
  const uint8_t* data_;
  size_t left_;
  const char* reason_ = nullptr;  // why the header was refused; none while it is fine
};

// A bit vector of `count` entries, most significant bit first; all true when `allDefined`.
bool ReadBits(TReader& r, size_t count, TArray<uint8_t>& bits) {
  if (count > r.Left() * 8 + 8 || !bits.Resize(count)) return r.Fail("a bit vector is longer than the header");
  uint8_t byte = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i % 8 == 0) byte = r.Byte();
    bits[i] = (byte & (0x80u >> (i % 8))) != 0;
  }
  return r.Ok();
}

bool ReadDefined(TReader& r, size_t count, TArray<uint8_t>& defined) {
  if (r.Byte() == 0) return ReadBits(r, count, defined);
  if (count > static_cast<size_t>(kMaxFiles) * 8u || !defined.Resize(count))
    return r.Fail("a defined vector is too long");
  for (size_t i = 0; i < count; ++i) defined[i] = 1;
  return r.Ok();
}

// Checksums for `count` entries: which are defined, and their values.
bool ReadDigests(TReader& r, size_t count, TArray<uint8_t>& defined, TArray<uint32_t>& values) {
  if (!ReadDefined(r, count, defined) || !values.Resize(count)) return r.Fail("a checksum vector is malformed");
  for (size_t i = 0; i < count; ++i) {
    if (defined[i]) values[i] = r.UInt32();
  }
  return r.Ok();
}

// The records are appended as they are read, so what they take grows with the header
// bytes that really hold them, never with a count the header claims.
bool ReadPackInfo(TReader& r, uint64_t dataOffset, uint64_t archiveSize, TDatabase& db) {
  const uint64_t packPos = r.Number();
  const uint32_t count = r.Count(kMaxPackStreams);
  if (!r.Ok() || packPos > archiveSize || db.PackSizes.Size() != 0)
    return r.Fail("the packed streams' start is beyond the archive");
  uint8_t id = r.Byte();
  if (id == kSize) {
    uint64_t position = dataOffset + packPos;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t size = r.Number();
      if (!r.Ok() || size > archiveSize || position > archiveSize - size)
        return r.Fail("a packed stream lies beyond the archive");
      if (!db.PackSizes.Append(size) || !db.PackPositions.Append(position) || !db.Affords())
        return r.Fail("too many packed streams for the header's memory");
      position += size;
    }
    id = r.Byte();
  } else if (count != 0) {
    return r.Fail("packed streams without sizes");
  }
  if (id == kCrc) {
    TArray<uint8_t> defined;
    TArray<uint32_t> values;
    if (!ReadDigests(r, count, defined, values)) return false;
    id = r.Byte();
  }
  return id == kEnd && r.Ok();
}

// Finds the one coder stream of the folder's packed side that no bind pair feeds.
bool SinglePackedStream(const TDatabase& db, const TFolder& f, uint32_t numInTotal, uint32_t& stream) {
  uint32_t found = 0, count = 0;
  for (uint32_t in = 0; in < numInTotal; ++in) {
    bool bound = false;
    for (uint32_t b = 0; b < f.NumBindPairs; ++b) bound |= db.BindPairs[f.FirstBindPair + b].InIndex == in;
    if (!bound) found = in, ++count;
  }
  stream = found;
  return count == 1;
}

// Follows the bind pairs from the folder's output: every coder must be reached exactly
// once, so no coder is left unread and none feeds itself through others.
bool EveryCoderFeedsTheOutput(const TDatabase& db, const TFolder& f) {
  const uint32_t main = MainCoder(db, f);
  if (main == kNoFolder) return false;
  uint32_t pending[kMaxCodersPerFolder];
  uint32_t pendingCount = 0, reached = 0;
  uint64_t seen = 0;
  pending[pendingCount++] = main;
  while (pendingCount > 0) {
    const uint32_t coder = pending[--pendingCount];
    if (seen & (uint64_t{1} << coder)) return false;
    seen |= uint64_t{1} << coder;
    ++reached;
    uint32_t firstIn = 0;
    for (uint32_t c = 0; c < coder; ++c) firstIn += db.Coders[f.FirstCoder + c].NumInStreams;
    const uint32_t inCount = db.Coders[f.FirstCoder + coder].NumInStreams;
    for (uint32_t b = 0; b < f.NumBindPairs; ++b) {
      const TBindPair& p = db.BindPairs[f.FirstBindPair + b];
      if (p.InIndex < firstIn || p.InIndex >= firstIn + inCount) continue;
      if (pendingCount == kMaxCodersPerFolder) return false;
      pending[pendingCount++] = p.OutIndex;
    }
  }
  return reached == f.NumCoders;
}

// Every coder output is used at most once, every coder input is fed at most once.
bool FolderIsConsistent(const TDatabase& db, const TFolder& f, uint32_t numInTotal) {
  uint64_t inUsed = 0, outUsed = 0;
  auto use = [](uint64_t& used, uint32_t index) {
    const uint64_t bit = uint64_t{1} << index;
    if (used & bit) return false;
    used |= bit;
    return true;
  };
  for (uint32_t b = 0; b < f.NumBindPairs; ++b) {
    const TBindPair& p = db.BindPairs[f.FirstBindPair + b];
    if (p.InIndex >= numInTotal || p.OutIndex >= f.NumCoders) return false;
    if (!use(inUsed, p.InIndex) || !use(outUsed, p.OutIndex)) return false;
  }
  for (uint32_t s = 0; s < f.NumPackedStreams; ++s) {
    const uint32_t in = db.PackedStreams[f.FirstPackedStream + s];
    if (in >= numInTotal || !use(inUsed, in)) return false;
  }
  return MainCoder(db, f) != kNoFolder;
}

bool IsAes(const TCoderInfo& c) {
  return c.IdSize == 4 && c.Id[0] == 0x06 && c.Id[1] == 0xF1 && c.Id[2] == 0x07 && c.Id[3] == 0x01;
}

bool ReadCoder(TReader& r, TDatabase& db, TFolder& f, uint32_t& numInTotal) {
  TCoderInfo c{};
  const uint8_t flags = r.Byte();
  if ((flags & 0xC0) != 0) return r.Fail("a coder with alternative methods");  // no writer makes them
  c.IdSize = flags & 0x0F;
  if (c.IdSize > kMaxMethodIdSize) return r.Fail("a method identifier is too long");
  const uint8_t* id = r.Take(c.IdSize);
  if (!id) return false;
  std::memcpy(c.Id, id, c.IdSize);
  c.NumInStreams = 1;
  if (flags & 0x10) {
    c.NumInStreams = static_cast<uint32_t>(r.Count(kMaxStreamsPerCoder));
    if (r.Number() != 1 || c.NumInStreams == 0) return r.Fail("a coder with several outputs or no input");
  }
  if (flags & 0x20) {
    c.PropsSize = r.Count(kMaxCoderProps);
    const uint8_t* props = r.Take(c.PropsSize);
    if (!props) return false;
    c.PropsOffset = static_cast<uint32_t>(db.Props.Size());
    for (uint32_t i = 0; i < c.PropsSize; ++i) {
      if (!db.Props.Append(props[i])) return r.Fail("too many coder properties for the header's memory");
    }
  }
  numInTotal += c.NumInStreams;
  f.Encrypted |= IsAes(c);
  return r.Ok() && numInTotal <= 64 && db.Coders.Size() < kMaxCoders && db.Coders.Append(c);
}

bool ReadFolder(TReader& r, TDatabase& db, TFolder& f) {
  f.FirstCoder = static_cast<uint32_t>(db.Coders.Size());
  f.NumCoders = r.Count(kMaxCodersPerFolder);
  if (f.NumCoders == 0) return r.Fail("a folder without coders");
  uint32_t numInTotal = 0;
  for (uint32_t i = 0; i < f.NumCoders; ++i) {
    if (!ReadCoder(r, db, f, numInTotal)) return r.Fail("a coder record is malformed");
  }
  f.FirstBindPair = static_cast<uint32_t>(db.BindPairs.Size());
  f.NumBindPairs = f.NumCoders - 1;
  for (uint32_t i = 0; i < f.NumBindPairs; ++i) {
    TBindPair p{};
    p.InIndex = static_cast<uint32_t>(r.Count(64));
    p.OutIndex = static_cast<uint32_t>(r.Count(64));
    if (!r.Ok() || !db.BindPairs.Append(p)) return r.Fail("a bind pair is malformed");
  }
  if (numInTotal < f.NumBindPairs + 1) return r.Fail("fewer coder inputs than bind pairs need");
  f.FirstPackedStream = static_cast<uint32_t>(db.PackedStreams.Size());
  f.NumPackedStreams = numInTotal - f.NumBindPairs;
  for (uint32_t i = 0; i < f.NumPackedStreams; ++i) {
    uint32_t in = 0;
    if (f.NumPackedStreams == 1) {
      if (!SinglePackedStream(db, f, numInTotal, in)) return r.Fail("a folder's packed stream cannot be found");
    } else {
      in = static_cast<uint32_t>(r.Count(64));
    }
    if (!r.Ok() || !db.PackedStreams.Append(in)) return r.Fail("a packed stream index is malformed");
  }
  if (!FolderIsConsistent(db, f, numInTotal) || !db.Affords())
    return r.Fail("a folder's coders are not connected as one chain");
  f.IdleCoders = !EveryCoderFeedsTheOutput(db, f);
  return true;
}

bool ReadUnpackInfo(TReader& r, TDatabase& db) {
  if (!r.Expect(kFolder, "the folders are missing")) return false;
  const uint32_t count = r.Count(kMaxFolders);
  if (r.Byte() != 0 || !r.Ok() || db.Folders.Size() != 0)
    return r.Fail("external folder records, or folders read twice");
  uint32_t packStream = 0;
  for (uint32_t i = 0; i < count; ++i) {
    TFolder f{};
    if (!ReadFolder(r, db, f)) return false;
    f.FirstPackStream = packStream;
    if (f.NumPackedStreams > db.PackSizes.Size() - packStream)
      return r.Fail("a folder uses more packed streams than there are");
    packStream += f.NumPackedStreams;
    f.NumUnpackStreams = 1;
    if (!db.Folders.Append(f) || !db.Affords()) return r.Fail("too many folders for the header's memory");
  }
  if (!r.Expect(kCodersUnpackSize, "the coders' sizes are missing") || !db.CoderUnpackSizes.Resize(db.Coders.Size()))
    return r.Fail("the coders' sizes are missing");
  for (size_t i = 0; i < db.Coders.Size(); ++i) db.CoderUnpackSizes[i] = r.Number();
  for (uint32_t i = 0; i < count; ++i) {
    TFolder& f = db.Folders[i];
    f.UnpackSize = db.CoderUnpackSizes[f.FirstCoder + MainCoder(db, f)];
  }
  uint8_t id = r.Byte();
  if (id == kCrc) {
    TArray<uint8_t> defined;
    TArray<uint32_t> values;
    if (!ReadDigests(r, count, defined, values)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      db.Folders[i].HasUnpackCrc = defined[i];
      db.Folders[i].UnpackCrc = values[i];
    }
    id = r.Byte();
  }
  return id == kEnd && r.Ok();
}

// The sizes and checksums of the files inside the folders.
struct TSubStreams {
  TArray<uint64_t> Sizes;
  TArray<uint8_t> HasCrc;
  TArray<uint32_t> Crcs;
};

bool ReadSubStreamsInfo(TReader& r, TDatabase& db, TSubStreams& sub) {
  uint8_t id = r.Byte();
  uint64_t total = db.Folders.Size();
  if (id == kNumUnpackStream) {
    total = 0;
    for (size_t i = 0; i < db.Folders.Size(); ++i) {
      db.Folders[i].NumUnpackStreams = r.Count(kMaxFiles);
      total += db.Folders[i].NumUnpackStreams;
    }
    if (total > kMaxFiles) return r.Fail("too many files in the folders");
    id = r.Byte();
  }
  if (!r.Ok()) return false;
  for (size_t i = 0; i < db.Folders.Size(); ++i) {
    const TFolder& f = db.Folders[i];
    if (f.NumUnpackStreams == 0) continue;
    uint64_t sum = 0;
    for (uint32_t j = 1; j < f.NumUnpackStreams && id == kSize; ++j) {
      const uint64_t size = r.Number();
      if (!r.Ok() || size > f.UnpackSize - sum || !sub.Sizes.Append(size))
        return r.Fail("a file's size is beyond its folder's");
      sum += size;
    }
    if (id != kSize && f.NumUnpackStreams > 1) return r.Fail("files of a folder without sizes");
    if (!sub.Sizes.Append(f.UnpackSize - sum) || !db.Affords(sub.Sizes.Bytes()))
      return r.Fail("too many file sizes for the header's memory");
  }
  if (id == kSize) id = r.Byte();
  // Checksums come for every stream whose checksum the folder does not already give.
  if (!sub.HasCrc.Resize(static_cast<size_t>(total)) || !sub.Crcs.Resize(static_cast<size_t>(total)))
    return r.Fail("too many checksums for the header's memory");
  size_t unknown = 0;
  for (size_t i = 0; i < db.Folders.Size(); ++i) {
    const TFolder& f = db.Folders[i];
    if (!(f.NumUnpackStreams == 1 && f.HasUnpackCrc)) unknown += f.NumUnpackStreams;
  }
  TArray<uint8_t> defined;
  TArray<uint32_t> values;
  if (id == kCrc) {
    if (!ReadDigests(r, unknown, defined, values)) return false;
    id = r.Byte();
  }
  size_t k = 0, u = 0;
  for (size_t i = 0; i < db.Folders.Size(); ++i) {
    const TFolder& f = db.Folders[i];
    if (f.NumUnpackStreams == 1 && f.HasUnpackCrc) {
      sub.HasCrc[k] = 1;
      sub.Crcs[k++] = f.UnpackCrc;
      continue;
    }
    for (uint32_t j = 0; j < f.NumUnpackStreams; ++j, ++k, ++u) {
      if (defined.Size() > u && defined[u]) sub.HasCrc[k] = 1, sub.Crcs[k] = values[u];
    }
  }
  return id == kEnd && r.Ok();
}

bool ReadStreamsInfo(TReader& r, uint64_t dataOffset, uint64_t archiveSize, TDatabase& db, TSubStreams& sub) {
  uint8_t id = r.Byte();
  if (id == kPackInfo) {
    if (!ReadPackInfo(r, dataOffset, archiveSize, db)) return false;
    id = r.Byte();
  }
  if (id == kUnpackInfo) {
    if (!ReadUnpackInfo(r, db)) return false;
    id = r.Byte();
  }
  bool hasSub = false;
  if (id == kSubStreamsInfo) {
    if (!ReadSubStreamsInfo(r, db, sub)) return false;
    hasSub = true;
    id = r.Byte();
  }
  if (!hasSub) {  // one file per folder, with the folder's checksum
    const size_t n = db.Folders.Size();
    if (!sub.Sizes.Resize(n) || !sub.HasCrc.Resize(n) || !sub.Crcs.Resize(n))
      return r.Fail("too many files for the header's memory");
    for (size_t i = 0; i < n; ++i) {
      sub.Sizes[i] = db.Folders[i].UnpackSize;
      sub.HasCrc[i] = db.Folders[i].HasUnpackCrc;
      sub.Crcs[i] = db.Folders[i].UnpackCrc;
    }
  }
  return id == kEnd && r.Ok();
}

bool ReadNames(TReader& r, uint64_t size, TDatabase& db) {
  if (r.Byte() != 0 || size < 1 || (size - 1) % 2 != 0) return r.Fail("the names are malformed");
  const uint8_t* data = r.Take(size - 1);
  const size_t units = static_cast<size_t>((size - 1) / 2);
  if (!data || !db.Affords(units * sizeof(uint16_t)) || !db.Names.Resize(units))
    return r.Fail("the names do not fit the header's memory");
  size_t file = 0, start = 0;
  for (size_t i = 0; i < units; ++i) {
    db.Names[i] = szsfx::LoadLe16(data + 2 * i);
    if (db.Names[i] != 0) continue;
    if (file >= db.Files.Size()) return r.Fail("more names than files");
    db.Files[file].NameOffset = static_cast<uint32_t>(start);
    db.Files[file++].NameLength = static_cast<uint32_t>(i - start);
    start = i + 1;
  }
  return (file == db.Files.Size() && start == units) || r.Fail("fewer names than files");
}

// Times or attributes: a defined vector, an "external" byte (must be 0), then the values.
template <typename Store>
bool ReadFileValues(TReader& r, TDatabase& db, unsigned width, Store store) {
  TArray<uint8_t> defined;
  if (!ReadDefined(r, db.Files.Size(), defined) || r.Byte() != 0)
    return r.Fail("a file time or attribute vector is malformed");
  for (size_t i = 0; i < db.Files.Size(); ++i) {
    if (defined[i]) store(db.Files[i], width == 8 ? r.UInt64() : r.UInt32());
  }
  return r.Ok();
}

// The bit vectors of the items without data: which they are, then among those which are
// empty files (not folders) and which are deletion markers.
struct TEmptyItems {
  TArray<uint8_t> Stream, File, Anti;
  size_t Count = 0;
};

bool ReadFileProperty(TReader& r, uint8_t type, uint64_t size, TDatabase& db, TEmptyItems& empty) {
  switch (type) {
    case kEmptyStream:
      if (!ReadBits(r, db.Files.Size(), empty.Stream)) return false;
      empty.Count = 0;
      for (size_t i = 0; i < empty.Stream.Size(); ++i) empty.Count += empty.Stream[i];
      return true;
    case kEmptyFile:
      return ReadBits(r, empty.Count, empty.File);
    case kAnti:
      return ReadBits(r, empty.Count, empty.Anti);
    case kNames:
      return ReadNames(r, size, db);
    case kCTime:
      return ReadFileValues(r, db, 8, [](TFileInfo& f, uint64_t v) { f.CTime = v, f.HasCTime = true; });
    case kATime:
      return ReadFileValues(r, db, 8, [](TFileInfo& f, uint64_t v) { f.ATime = v, f.HasATime = true; });
    case kMTime:
      return ReadFileValues(r, db, 8, [](TFileInfo& f, uint64_t v) { f.MTime = v, f.HasMTime = true; });
    case kWinAttributes:
      return ReadFileValues(
          r, db, 4, [](TFileInfo& f, uint64_t v) { f.Attributes = static_cast<uint32_t>(v), f.HasAttributes = true; });
    default:
      return r.Take(size) != nullptr;  // start positions, padding and later additions
  }
}

// Gives each item with data its folder, size and checksum, in order.
bool AssignStreams(TDatabase& db, const TEmptyItems& e, const TSubStreams& sub) {
  size_t folder = 0, inFolder = 0, stream = 0, empty = 0;
  for (size_t i = 0; i < db.Files.Size(); ++i) {
    TFileInfo& f = db.Files[i];
    f.Folder = kNoFolder;
    f.HasStream = e.Stream.Size() == 0 || !e.Stream[i];
    if (!f.HasStream) {
      f.IsDir = e.File.Size() <= empty || !e.File[empty];
      f.IsAnti = e.Anti.Size() > empty && e.Anti[empty];
      ++empty;
      continue;
    }
    while (folder < db.Folders.Size() && inFolder == db.Folders[folder].NumUnpackStreams) ++folder, inFolder = 0;
    if (folder >= db.Folders.Size() || stream >= sub.Sizes.Size()) return false;
    f.Folder = static_cast<uint32_t>(folder);
    if (inFolder == 0) db.Folders[folder].FirstFile = static_cast<uint32_t>(i);
    f.Size = sub.Sizes[stream];
    f.HasCrc = sub.HasCrc[stream];
    f.Crc = sub.Crcs[stream];
    ++stream, ++inFolder;
  }
  return stream == sub.Sizes.Size();
}

bool ReadFilesInfo(TReader& r, TDatabase& db, const TSubStreams& sub) {
  const uint64_t count = r.Number();
  if (!r.Ok() || count > kMaxFiles || count > r.Left() * 8 + sub.Sizes.Size() ||
      !db.Affords(count * sizeof(TFileInfo)) || !db.Files.Resize(static_cast<size_t>(count))) {
    return r.Fail("too many files for the header");
  }
  TEmptyItems empty;
  for (;;) {
    const uint8_t type = r.Byte();
    if (!r.Ok()) return false;
    if (type == kEnd) break;
    const uint64_t size = r.Number();
    if (!r.Ok() || size > r.Left()) return r.Fail("a file property is longer than the header");
    TReader property(r.Take(size), static_cast<size_t>(size));
    if (!ReadFileProperty(property, type, size, db, empty)) {
      return r.Fail(property.Reason() ? property.Reason() : "a file property is malformed");
    }
  }
  return AssignStreams(db, empty, sub) || r.Fail("the files do not match the folders' streams");
}

void SkipArchiveProperties(TReader& r) {
  while (r.Ok()) {
    if (r.Byte() == kEnd) return;
    r.Take(r.Number());
  }
}

}  // namespace

uint32_t MainCoder(const TDatabase& db, const TFolder& folder) {
  uint32_t found = kNoFolder;
  for (uint32_t c = 0; c < folder.NumCoders; ++c) {
    bool bound = false;
    for (uint32_t b = 0; b < folder.NumBindPairs; ++b) bound |= db.BindPairs[folder.FirstBindPair + b].OutIndex == c;
    if (!bound) {
      if (found != kNoFolder) return kNoFolder;
      found = c;
    }
  }
  return found;
}

const char* ReadHeader(const uint8_t* data, size_t size, uint64_t dataOffset, uint64_t archiveSize, TDatabase& db) {
  TReader r(data, size);
  if (!r.Expect(kHeader, "no header where the start header points")) return r.Reason();
  uint8_t id = r.Byte();
  if (id == kArchiveProperties) {
    SkipArchiveProperties(r);
    id = r.Byte();
  }
  if (id == kAdditionalStreamsInfo) return "additional streams are not supported";
  TSubStreams sub;
  if (id == kMainStreamsInfo) {
    if (!ReadStreamsInfo(r, dataOffset, archiveSize, db, sub)) r.Fail("the streams are malformed");
    id = r.Byte();
  }
  if (r.Ok() && id == kFilesInfo) {
    if (!ReadFilesInfo(r, db, sub)) r.Fail("the files are malformed");
    id = r.Byte();
  } else if (sub.Sizes.Size() != 0) {
    r.Fail("streams without files");
  }
  if (id != kEnd) r.Fail("unknown data after the files");
  return r.Reason();
}

const char* ReadEncodedHeader(const uint8_t* data, size_t size, uint64_t dataOffset, uint64_t archiveSize,
                              TDatabase& db) {
  TReader r(data, size);
  TSubStreams sub;
  if (!r.Expect(kEncodedHeader, "no header where the start header points")) return r.Reason();
  if (!ReadStreamsInfo(r, dataOffset, archiveSize, db, sub)) r.Fail("the packed header's streams are malformed");
  if (db.Folders.Size() == 0) r.Fail("a packed header without a folder");
  return r.Reason();
}

}  // namespace szlib
