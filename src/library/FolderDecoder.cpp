#include "library/FolderDecoder.h"

#include "library/ThreadedLzma2.h"

namespace szlib {

namespace {

uint64_t MethodId(const TCoderInfo& c) {
  uint64_t id = 0;
  for (uint32_t i = 0; i < c.IdSize; ++i) id = id << 8 | c.Id[i];
  return id;
}

// The number of the coder's first input among all inputs of the folder.
uint32_t FirstInStream(const TDatabase& db, const TFolder& f, uint32_t coder) {
  uint32_t n = 0;
  for (uint32_t c = 0; c < coder; ++c) n += db.Coders[f.FirstCoder + c].NumInStreams;
  return n;
}

// The coder that reads `coder`'s output, or kNoFolder when it is the folder's output.
uint32_t ConsumerOf(const TDatabase& db, const TFolder& f, uint32_t coder) {
  for (uint32_t b = 0; b < f.NumBindPairs; ++b) {
    const TBindPair& p = db.BindPairs[f.FirstBindPair + b];
    if (p.OutIndex != coder) continue;
    for (uint32_t c = 0; c < f.NumCoders; ++c) {
      const uint32_t first = FirstInStream(db, f, c);
      if (p.InIndex >= first && p.InIndex - first < db.Coders[f.FirstCoder + c].NumInStreams) return c;
    }
  }
  return kNoFolder;
}

// LZMA2 decodes on several threads when its blocks pay for them and nothing but its own
// input reads the archive stream meanwhile (the folder has one packed stream).
bool DecodesOnThreads(const TDatabase& db, const TFolder& f, uint32_t coder) {
  const TCoderInfo& c = db.Coders[f.FirstCoder + coder];
  const uint8_t* props = c.PropsSize ? &db.Props[c.PropsOffset] : nullptr;
  return f.NumPackedStreams == 1 && MethodId(c) == kMethodLzma2 &&
         ThreadedLzma2Memory(props, c.PropsSize, db.CoderUnpackSizes[f.FirstCoder + coder]) > 0;
}

// A coder that feeds another one is worth a thread of its own with this much output, when
// the coder above has work of its own to overlap: not Copy, and not LZMA2 on several
// threads, which read their input in turns while the others decode.
bool WorthAThread(const TDatabase& db, const TFolder& f, uint32_t coder) {
  const uint32_t consumer = ConsumerOf(db, f, coder);
  return consumer != kNoFolder && db.CoderUnpackSizes[f.FirstCoder + coder] >= kMinCoderThreadOutput &&
         MethodId(db.Coders[f.FirstCoder + consumer]) != kMethodCopy && !DecodesOnThreads(db, f, consumer);
}

// The coders that decode on threads of their own: those that feed another coder and are
// worth a thread, up to kMaxCoderThreads; none on one processor.
unsigned CoderThreads(const TDatabase& db, const TFolder& f) {
  if (f.NumCoders < 2 || Processors() < 2) return 0;
  unsigned threads = 0;
  for (uint32_t c = 0; c < f.NumCoders; ++c) {
    if (WorthAThread(db, f, c)) ++threads;
  }
  return threads < kMaxCoderThreads ? threads : kMaxCoderThreads;
}

// What the folder's coders take together, threads included.
uint64_t FolderMemory(const TDatabase& db, const TFolder& f) {
  uint64_t total = uint64_t{CoderThreads(db, f)} * kCoderThreadBuffer;
  for (uint32_t c = 0; c < f.NumCoders; ++c) {
    const TCoderInfo& info = db.Coders[f.FirstCoder + c];
    const uint8_t* props = info.PropsSize ? &db.Props[info.PropsOffset] : nullptr;
    const uint64_t outSize = db.CoderUnpackSizes[f.FirstCoder + c];
    total += CoderMemory(MethodId(info), props, info.PropsSize, outSize);
    if (DecodesOnThreads(db, f, c)) total += ThreadedLzma2Memory(props, info.PropsSize, outSize);
  }
  return total;
}

}  // namespace

void TFolderDecoder::Reset() {
  // Consumers before the sources they read: a threaded coder stops its threads, which
  // read its input, before that input goes.
  while (count_ > 0) delete sources_[--count_];
  output_ = nullptr;
  threadsLeft_ = 0;
  lockReads_ = false;
  started_ = false;
  startResult_ = kOk;
}

bool TFolderDecoder::Own(TSource* source) {
  if (!source) return false;
  if (count_ == kMaxSources) {
    delete source;
    return false;
  }
  sources_[count_++] = source;
  return true;
}

HRes TFolderDecoder::Open(const TDatabase& db, uint32_t folder, szsfx::IInStream* stream, TKeySource& keys) {
  Reset();
  db_ = &db;
  folder_ = &db.Folders[folder];
  stream_ = stream;
  keys_ = &keys;
  const uint32_t main = MainCoder(db, *folder_);
  if (main == kNoFolder || folder_->IdleCoders || FolderMemory(db, *folder_) > kMaxFolderMemory) return kUnsupported;
  threadsLeft_ = CoderThreads(db, *folder_);
  if (threadsLeft_ > 0 && !streamLock_.Create()) threadsLeft_ = 0;
  lockReads_ = threadsLeft_ > 0;
  TSource* made = nullptr;
  HRes r = Build(main, made);
  if (r != kOk) {
    Reset();
    return r;
  }
  output_ = made;
  return kOk;
}

HRes TFolderDecoder::BuildInput(uint32_t inStream, TSource*& made) {
  const TFolder& f = *folder_;
  for (uint32_t b = 0; b < f.NumBindPairs; ++b) {
    const TBindPair& p = db_->BindPairs[f.FirstBindPair + b];
    if (p.InIndex != inStream) continue;
    HRes r = Build(p.OutIndex, made);
    if (r == kOk && threadsLeft_ > 0 && WorthAThread(*db_, f, p.OutIndex)) {
      made = OnItsThread(made);
      if (!made) return kOutOfMemory;
    }
    return r;
  }
  for (uint32_t s = 0; s < f.NumPackedStreams; ++s) {
    if (db_->PackedStreams[f.FirstPackedStream + s] != inStream) continue;
    const uint32_t pack = f.FirstPackStream + s;
    made = NewPackSource(stream_, db_->PackPositions[pack], db_->PackSizes[pack], lockReads_ ? &streamLock_ : nullptr);
    return Own(made) ? kOk : kOutOfMemory;
  }
  return kUnsupported;
}

HRes TFolderDecoder::Build(uint32_t coder, TSource*& made) {
  const TFolder& f = *folder_;
  const TCoderInfo& c = db_->Coders[f.FirstCoder + coder];
  const uint64_t outSize = db_->CoderUnpackSizes[f.FirstCoder + coder];
  const uint8_t* props = c.PropsSize ? &db_->Props[c.PropsOffset] : nullptr;
  const uint64_t id = MethodId(c);
  if ((id == kMethodBcj2) != (c.NumInStreams == 4) || (id != kMethodBcj2 && c.NumInStreams != 1)) {
    return kUnsupported;
  }
  TSource* inputs[4] = {};
  const uint32_t first = FirstInStream(*db_, f, coder);
  for (uint32_t i = 0; i < c.NumInStreams; ++i) {
    HRes r = BuildInput(first + i, inputs[i]);
    if (r != kOk) return r;
  }
  HRes result = kUnsupported;
  if (id == kMethodBcj2) {
    made = NewBcj2Coder(inputs, outSize, result);
  } else if (id == kMethodAes) {
    TAesParams params;
    if (!ReadAesParams(props, c.PropsSize, params)) return kUnsupported;
    HRes r = keys_->Prepare();
    if (r != kOk) return r;
    made = NewAesCoder(inputs[0], *keys_, params, outSize, result);
  } else {
    made = nullptr;
    if (DecodesOnThreads(*db_, f, coder)) made = NewThreadedLzma2Coder(props, c.PropsSize, inputs[0], outSize, result);
    if (!made) made = NewSingleInputCoder(id, props, c.PropsSize, inputs[0], outSize, result);
  }
  if (result != kOk) return result;
  return Own(made) ? kOk : kOutOfMemory;
}

TSource* TFolderDecoder::OnItsThread(TSource* coder) {
  TSource* thread = NewCoderThread(coder);
  if (!Own(thread)) return nullptr;
  --threadsLeft_;
  return thread;
}

// Sources were made inputs first: each starts after what it reads.
HRes TFolderDecoder::StartAll() {
  started_ = true;
  for (size_t i = 0; i < count_ && startResult_ == kOk; ++i) startResult_ = sources_[i]->Start();
  return startResult_;
}

HRes TFolderDecoder::ReadExactly(uint8_t* data, size_t size) {
  if (!started_) StartAll();
  if (startResult_ != kOk) return startResult_;
  while (size > 0) {
    size_t got = 0;
    HRes r = output_->Read(data, size, got);
    if (r != kOk) return r;
    if (got == 0) return kDataError;
    data += got;
    size -= got;
  }
  return kOk;
}

}  // namespace szlib
