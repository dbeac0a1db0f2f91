#include "library/Handler.h"

#include <atomic>

#include "format/SevenZipStart.h"
#include "library/Common.h"
#include "library/Database.h"
#include "library/FolderDecoder.h"
#include "library/SystemString.h"

extern "C" {
#include "7zCrc.h"
}

namespace szlib {

namespace {

using namespace szsfx;

constexpr uint64_t kMaxHeaderSize = uint64_t{1} << 28;
// The extraction reads the folder this much at a time: a block that LZMA2's threads hand
// over is then taken in one copy, and its thread is free again at once.
constexpr size_t kChunkSize = size_t{1} << 20;
// A packed header decodes to at most this much plus so many times its packed size.
constexpr uint64_t kHeaderBaseSize = uint64_t{32} << 20;
constexpr uint64_t kMaxHeaderRatio = 64;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kCheckHeaderCrc = false;  // lets the fuzzer past the checksums into the parser
#else
constexpr bool kCheckHeaderCrc = true;
#endif

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
std::atomic<long> g_liveHandlers{0};
#endif

HRes ReadFully(IInStream* stream, uint8_t* data, size_t size) {
  while (size > 0) {
    const uint32_t want = size < (1u << 30) ? static_cast<uint32_t>(size) : 1u << 30;
    uint32_t got = 0;
    HRes r = stream->Read(data, want, &got);
    if (r != kOk) return r;
    if (got == 0 || got > want) return kDataError;
    data += got;
    size -= got;
  }
  return kOk;
}

int32_t OperationResult(HRes r) {
  if (r == kUnsupported) return kResultUnsupportedMethod;
  if (r == kCrcError) return kResultCrcError;
  return kResultDataError;
}

// The course of one Extract call.
struct TExtractState {
  IArchiveExtractCallback* Callback;
  TFolderDecoder* Decoder;
  HRes Folder = kOk;  // kOk, or the data failure that ended the open folder
  uint64_t Completed = 0;
};

// One Extract or Open call: the password source, and the keys through the archive's
// cache. Before each derivation the caller may cancel through its progress call.
class TPasswordKeys final : public TKeySource {
 public:
  TPasswordKeys(IArchiveOpenCallback* callback, TKeyCache& cache)
      : callback_(callback), opening_(callback), cache_(cache) {}
  TPasswordKeys(IArchiveExtractCallback* callback, const uint64_t* completed, TKeyCache& cache)
      : callback_(callback), extracting_(callback), completed_(completed), cache_(cache) {}
  ~TPasswordKeys() {
    if (password_.Size()) std::memset(password_.Data(), 0, password_.Size());
  }

  HRes Prepare() override {
    if (!asked_) {
      HRes r = AskPassword();
      if (r != kOk) return r;
    }
    return havePassword_ ? kOk : kUnsupported;
  }
  HRes Key(const TAesParams& params, uint8_t key[kKeySize]) override {
    HRes r = Prepare();
    if (r != kOk) return r;
    if (!cache_.Cached(password_, params) && (r = StillWanted()) != kOk) return r;
    return cache_.Key(password_, params, key) ? kOk : kUnsupported;
  }

 private:
  HRes StillWanted() {
    if (extracting_) return extracting_->SetCompleted(completed_);
    if (opening_) return opening_->SetCompleted(nullptr, nullptr);
    return kOk;
  }
  // The password as UTF-16LE bytes; the callback's string is ours to free.
  HRes AskPassword() {
    asked_ = true;
    TComPtr<ICryptoGetTextPassword> source;
    if (!QueryFor(callback_, IID_ICryptoGetTextPassword, source)) return kOk;
    TSystemString text = nullptr;
    HRes r = source->CryptoGetTextPassword(&text);
    if (r != kOk) {
      DeleteSystemString(text);
      return r;
    }
    const size_t length = SystemStringLength(text);
    bool stored = password_.Resize(length * 2);
    for (size_t i = 0; stored && i < length; ++i) {
      const uint32_t unit = static_cast<uint32_t>(text[i]) & 0xFFFF;
      password_[2 * i] = static_cast<uint8_t>(unit);
      password_[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
    DeleteSystemString(text);
    havePassword_ = stored;
    return stored ? kOk : kOutOfMemory;
  }

  IUnknownSlots* callback_;
  IArchiveOpenCallback* opening_ = nullptr;
  IArchiveExtractCallback* extracting_ = nullptr;
  const uint64_t* completed_ = nullptr;
  TKeyCache& cache_;
  TArray<uint8_t> password_;
  bool asked_ = false, havePassword_ = false;
};

// A short ASCII text as a string value.
void SetText(TPropValue* value, const char* text) {
  uint16_t units[128];
  size_t count = 0;
  for (; text[count] != 0 && count < sizeof units / sizeof units[0]; ++count)
    units[count] = static_cast<uint8_t>(text[count]);
  value->String = NewSystemString(units, count);
  if (value->String) value->Tag = kTagString;
}

class THandler final : public IInArchiveFull, public szsfx::TRefCounted<THandler> {
 public:
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  THandler() { ++g_liveHandlers; }
  ~THandler() { --g_liveHandlers; }
#endif

  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override {
    if (!object) return kFailure;
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IInArchive)) return kNoInterface;
    *object = static_cast<IInArchive*>(this);
    AddRef();
    return kOk;
  }
  uint32_t SZ_STDCALL AddRef() override { return AddRefImpl(); }
  uint32_t SZ_STDCALL Release() override { return ReleaseImpl(); }

  HRes SZ_STDCALL Open(IInStream* stream, const uint64_t*, IArchiveOpenCallback* callback) override {
    Close();
    refusal_ = nullptr;
    if (!stream) return kFailure;
    HRes r = ReadArchive(stream, callback);
    if (r == kOk) {
      *stream_.Receive() = stream;
      stream->AddRef();
      return kOk;
    }
    Close();
    return IsDataFailure(r) || r == kOutOfMemory ? kFalse : r;
  }

  HRes SZ_STDCALL Close() override {
    stream_.Reset();
    db_.Clear();
    return kOk;
  }

  HRes SZ_STDCALL GetNumberOfItems(uint32_t* count) override {
    if (!count) return kFailure;
    *count = static_cast<uint32_t>(db_.Files.Size());
    return kOk;
  }

  HRes SZ_STDCALL GetProperty(uint32_t index, uint32_t propId, TPropValue* value) override;
  HRes SZ_STDCALL Extract(const uint32_t* indices, uint32_t count, int32_t testMode,
                          IArchiveExtractCallback* callback) override;

  HRes SZ_STDCALL GetArchiveProperty(uint32_t propId, TPropValue* value) override {
    if (!value) return kOk;
    *value = TPropValue{};
    if (propId == kArchivePropRefusal && refusal_) SetText(value, refusal_);
    return kOk;
  }
  HRes SZ_STDCALL GetNumberOfProperties(uint32_t* count) override {
    if (count) *count = 0;
    return kNotImplemented;
  }
  HRes SZ_STDCALL GetPropertyInfo(uint32_t, TSystemString*, uint32_t*, uint16_t*) override { return kNotImplemented; }
  HRes SZ_STDCALL GetNumberOfArchiveProperties(uint32_t* count) override {
    if (count) *count = 0;
    return kNotImplemented;
  }
  HRes SZ_STDCALL GetArchivePropertyInfo(uint32_t, TSystemString*, uint32_t*, uint16_t*) override {
    return kNotImplemented;
  }

 private:
  HRes ReadArchive(IInStream* stream, IArchiveOpenCallback* callback);
  HRes DecodeHeader(IInStream* stream, TBuffer& header, TKeySource& keys, uint64_t archiveSize, uint64_t& headerBytes);
  HRes ExtractItems(const uint32_t* sorted, size_t count, bool test, IArchiveExtractCallback* callback);
  HRes ExtractItem(uint32_t index, int32_t askMode, TExtractState& state);
  void SetPath(const TFileInfo& f, TPropValue* value) const;
  uint64_t FolderPackedSize(uint32_t folder) const {
    const TFolder& f = db_.Folders[folder];
    uint64_t size = 0;
    for (uint32_t s = 0; s < f.NumPackedStreams; ++s) size += db_.PackSizes[f.FirstPackStream + s];
    return size;
  }

  // Remembers why the archive is refused and returns `result`.
  HRes Refuse(const char* reason, HRes result = kDataError) {
    refusal_ = reason;
    return result;
  }

  TComPtr<IInStream> stream_;
  const char* refusal_ = nullptr;  // why the last Open refused the archive
  TDatabase db_;
  TBuffer chunk_;
  TKeyCache keys_;
};

HRes THandler::ReadArchive(IInStream* stream, IArchiveOpenCallback* callback) {
  uint64_t archiveSize = 0, position = 0;
  HRes r = stream->Seek(0, 2, &archiveSize);
  if (r != kOk) return r;
  if ((r = stream->Seek(0, 0, &position)) != kOk) return r;
  uint8_t start[kSevenZipStartSize];
  if (archiveSize < kSevenZipStartSize) return Refuse("shorter than the start header");
  if ((r = ReadFully(stream, start, sizeof start)) != kOk) return r;
  const TSevenZipStart fields = ReadSevenZipStart(start);
  if (!fields.HasSignature) return Refuse("no 7z signature");
  if (fields.MajorVersion != kSevenZipMajorVersion) return Refuse("an unknown format version");
  if (kCheckHeaderCrc && CrcCalc(start + kStartHeaderCheckedAt, kStartHeaderCheckedSize) != fields.StartHeaderCrc)
    return Refuse("the start header's checksum is wrong");
  const uint64_t offset = fields.NextHeaderOffset, size = fields.NextHeaderSize;
  const uint32_t crc = fields.NextHeaderCrc;
  if (size == 0) return offset == 0 ? kOk : Refuse("an empty header away from the start");  // an empty archive
  const uint64_t room = archiveSize - kSevenZipStartSize;
  if (offset > room || size > room - offset || size > kMaxHeaderSize)
    return Refuse("the header lies beyond the archive");
  TBuffer header;
  if (!header.Allocate(static_cast<size_t>(size))) return kOutOfMemory;
  if ((r = stream->Seek(static_cast<int64_t>(kSevenZipStartSize + offset), 0, &position)) != kOk) return r;
  if ((r = ReadFully(stream, header.Data(), header.Size())) != kOk) return r;
  if (kCheckHeaderCrc && CrcCalc(header.Data(), header.Size()) != crc) return Refuse("the header's checksum is wrong");
  keys_.Reset();
  TPasswordKeys keys(callback, keys_);
  uint64_t headerBytes = header.Size();  // what the header takes in the archive
  if ((r = DecodeHeader(stream, header, keys, archiveSize, headerBytes)) != kOk) return r;
  db_.MemoryBudget = kDatabaseBaseMemory + kDatabaseMemoryPerHeaderByte * headerBytes;
  const char* refused = ReadHeader(header.Data(), header.Size(), kSevenZipStartSize, archiveSize, db_);
  return refused ? Refuse(refused) : kOk;
}

// A compressed (maybe encrypted) header is the first folder of its own small database,
// and decodes to a plain header: a packed header inside a packed header is refused.
HRes THandler::DecodeHeader(IInStream* stream, TBuffer& header, TKeySource& keys, uint64_t archiveSize,
                            uint64_t& headerBytes) {
  if (header.Size() > 0 && header.Data()[0] == 0x17) {
    TDatabase packed;
    const char* refused = ReadEncodedHeader(header.Data(), header.Size(), kSevenZipStartSize, archiveSize, packed);
    if (refused) return Refuse(refused);
    const TFolder& f = packed.Folders[0];
    // A header compresses well, but not beyond this: its size is no licence to allocate.
    uint64_t packedSize = 0;
    for (uint32_t s = 0; s < f.NumPackedStreams; ++s) packedSize += packed.PackSizes[f.FirstPackStream + s];
    if (f.UnpackSize > kMaxHeaderSize || f.UnpackSize > packedSize * kMaxHeaderRatio + kHeaderBaseSize) {
      return Refuse("the packed header unpacks too large", kUnsupported);
    }
    headerBytes += packedSize;
    TBuffer plain;
    if (!plain.Allocate(static_cast<size_t>(f.UnpackSize))) return kOutOfMemory;
    TFolderDecoder folder;
    HRes r = folder.Open(packed, 0, stream, keys);
    if (r == kOk) r = folder.ReadExactly(plain.Data(), plain.Size());
    if (r != kOk) return Refuse("the packed header cannot be decoded (a wrong password?)", r);
    if (f.HasUnpackCrc && CrcCalc(plain.Data(), plain.Size()) != f.UnpackCrc) {
      return Refuse("the packed header's checksum is wrong (a wrong password?)", kCrcError);
    }
    header.Swap(plain);
    if (header.Size() > 0 && header.Data()[0] == 0x17) return Refuse("a packed header inside a packed header");
  }
  return kOk;
}

void SetBool(TPropValue* value, bool on) {
  value->Tag = kTagBool;
  value->Bool = on ? -1 : 0;
}
void SetUInt64(TPropValue* value, uint64_t v) {
  value->Tag = kTagUInt64;
  value->UInt64 = v;
}
void SetUInt32(TPropValue* value, uint32_t v) {
  value->Tag = kTagUInt32;
  value->UInt64 = 0;
  value->UInt32 = v;
}
void SetTime(TPropValue* value, bool defined, uint64_t time) {
  if (!defined) return;
  value->Tag = kTagFileTime;
  value->UInt64 = time;
}

// Stored paths use '/'; on Windows it becomes '\', and a stored '\' an ordinary character.
void THandler::SetPath(const TFileInfo& f, TPropValue* value) const {
  const uint16_t* name = f.NameLength ? &db_.Names[f.NameOffset] : nullptr;
  TSystemString text = NewSystemString(name, f.NameLength);
  if (!text) return;
#ifdef _WIN32
  for (uint32_t i = 0; i < f.NameLength; ++i) {
    if (text[i] == L'/')
      text[i] = L'\\';
    else if (text[i] == L'\\')
      text[i] = static_cast<wchar_t>(0xF05C);
  }
#endif
  value->Tag = kTagString;
  value->String = text;
}

HRes THandler::GetProperty(uint32_t index, uint32_t propId, TPropValue* value) {
  if (!value) return kFailure;
  *value = TPropValue{};
  if (index >= db_.Files.Size()) return kFailure;
  const TFileInfo& f = db_.Files[index];
  switch (propId) {
    case kPropPath:
      SetPath(f, value);
      break;
    case kPropIsFolder:
      SetBool(value, f.IsDir);
      break;
    case kPropSize:
      SetUInt64(value, f.Size);
      break;
    case kPropPackedSize:  // the folder's packed size shows on its first item only
      if (f.Folder == kNoFolder)
        SetUInt64(value, 0);
      else if (index == 0 || db_.Files[index - 1].Folder != f.Folder)
        SetUInt64(value, FolderPackedSize(f.Folder));
      break;
    case kPropAttributes:
      if (f.HasAttributes) SetUInt32(value, f.Attributes);
      break;
    case kPropCreated:
      SetTime(value, f.HasCTime, f.CTime);
      break;
    case kPropAccessed:
      SetTime(value, f.HasATime, f.ATime);
      break;
    case kPropModified:
      SetTime(value, f.HasMTime, f.MTime);
      break;
    case kPropEncrypted:
      SetBool(value, f.Folder != kNoFolder && db_.Folders[f.Folder].Encrypted);
      break;
    case kPropCrc:
      if (f.HasCrc) SetUInt32(value, f.Crc);
      break;
    case kPropIsAnti:
      SetBool(value, f.IsAnti);
      break;
    default:
      break;
  }
  return kOk;
}

int CompareIndices(const void* a, const void* b) {
  const uint32_t x = *static_cast<const uint32_t*>(a), y = *static_cast<const uint32_t*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

HRes THandler::Extract(const uint32_t* indices, uint32_t count, int32_t testMode, IArchiveExtractCallback* callback) {
  if (!callback) return kFailure;
  const bool all = !indices && count == 0xFFFFFFFFu;
  if (!all && count > 0 && !indices) return kFailure;
  const size_t n = all ? db_.Files.Size() : count;
  TArray<uint32_t> sorted;
  if (!sorted.Resize(n)) return kOutOfMemory;
  for (size_t i = 0; i < n; ++i) {
    sorted[i] = all ? static_cast<uint32_t>(i) : indices[i];
    if (sorted[i] >= db_.Files.Size()) return kFailure;
  }
  std::qsort(sorted.Data(), n, sizeof(uint32_t), CompareIndices);
  size_t unique = 0;
  for (size_t i = 0; i < n; ++i) {
    if (unique == 0 || sorted[unique - 1] != sorted[i]) sorted[unique++] = sorted[i];
  }
  if (!chunk_.Data() && !chunk_.Allocate(kChunkSize)) return kOutOfMemory;
  return ExtractItems(sorted.Data(), unique, testMode != 0, callback);
}

HRes THandler::ExtractItems(const uint32_t* sorted, size_t count, bool test, IArchiveExtractCallback* callback) {
  // The total is what will be decoded: the folders, up to the end of their last chosen item.
  uint64_t total = 0;
  uint32_t lastFolder = kNoFolder;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t folder = db_.Files[sorted[i]].Folder;
    if (folder != kNoFolder && folder != lastFolder) total += db_.Folders[folder].UnpackSize;
    if (folder != kNoFolder) lastFolder = folder;
  }
  HRes r = callback->SetTotal(total);
  if (r != kOk) return r;
  TExtractState state{callback, nullptr};
  TPasswordKeys keys(callback, &state.Completed, keys_);
  TFolderDecoder decoder;  // its AES coders use the keys: it goes first
  state.Decoder = &decoder;
  uint32_t openFolder = kNoFolder;
  uint32_t cursor = 0;  // the next item whose data the open folder delivers
  for (size_t i = 0; i < count; ++i) {
    const uint32_t index = sorted[i];
    const TFileInfo& f = db_.Files[index];
    if (f.Folder != kNoFolder && f.Folder != openFolder) {
      decoder.Reset();
      openFolder = f.Folder;
      cursor = db_.Folders[f.Folder].FirstFile;
      state.Folder = decoder.Open(db_, f.Folder, stream_.Get(), keys);
      if (!IsDataFailure(state.Folder) && state.Folder != kOk && state.Folder != kOutOfMemory) return state.Folder;
      if (state.Folder == kOutOfMemory) state.Folder = kUnsupported;
    }
    // Items before this one in the folder are decoded and reported as skipped.
    for (; f.Folder != kNoFolder && cursor < index; ++cursor) {
      if (db_.Files[cursor].Folder != f.Folder) continue;
      if ((r = ExtractItem(cursor, kAskSkip, state)) != kOk) return r;
    }
    if (f.Folder != kNoFolder) cursor = index + 1;
    if ((r = ExtractItem(index, test ? kAskTest : kAskExtract, state)) != kOk) return r;
  }
  return kOk;
}

HRes WriteAll(ISequentialOutStream* out, const uint8_t* data, size_t size) {
  while (size > 0) {
    uint32_t written = 0;
    HRes r = out->Write(data, static_cast<uint32_t>(size), &written);
    if (r != kOk) return r;
    if (written == 0 || written > size) return kFailure;
    data += written;
    size -= written;
  }
  return kOk;
}

// One item: its stream, its data through the checksum, and its result. A data failure
// is the item's result and stays with the rest of its folder; any other failure ends
// the extraction and is returned.
HRes THandler::ExtractItem(uint32_t index, int32_t askMode, TExtractState& state) {
  const TFileInfo& f = db_.Files[index];
  IArchiveExtractCallback* callback = state.Callback;
  TComPtr<ISequentialOutStream> out;
  HRes r = callback->GetStream(index, out.Receive(), askMode);
  if (r != kOk) return r;
  if (askMode != kAskExtract)
    out.Reset();
  else if (!out)
    askMode = kAskSkip;
  if ((r = callback->PrepareOperation(askMode)) != kOk) return r;
  HRes data = f.Folder != kNoFolder ? state.Folder : kOk;
  uint32_t crc = CRC_INIT_VAL;
  for (uint64_t left = f.Size; data == kOk && left > 0;) {
    const size_t n = left < chunk_.Size() ? static_cast<size_t>(left) : chunk_.Size();
    data = state.Decoder->ReadExactly(chunk_.Data(), n);
    if (data != kOk) break;
    crc = CrcUpdate(crc, chunk_.Data(), n);
    if (out && (r = WriteAll(out.Get(), chunk_.Data(), n)) != kOk) return r;
    left -= n;
    state.Completed += n;
    if ((r = callback->SetCompleted(&state.Completed)) != kOk) return r;
  }
  if (!IsDataFailure(data) && data != kOk) return data;
  if (data == kOk && f.HasCrc && CRC_GET_DIGEST(crc) != f.Crc) data = kCrcError;
  if (f.Folder != kNoFolder) state.Folder = data;  // the rest of the folder cannot be trusted
  out.Reset();
  return callback->SetOperationResult(data == kOk ? kResultOk : OperationResult(data));
}

}  // namespace

IInArchive* NewHandler() {
  auto* handler = new (std::nothrow) THandler();
  if (handler) handler->AddRef();
  return handler;
}

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
long LiveHandlers() { return g_liveHandlers.load(); }
#endif

}  // namespace szlib
