#include "library/ThreadedLzma2.h"

#include <atomic>

#include "library/CoderThread.h"
#include "library/ThreadSync.h"

extern "C" {
#include "Lzma2DecMt.h"
}

namespace szlib {

namespace {

// Below this much output one thread is as quick as several.
constexpr uint64_t kMinThreadedSize = uint64_t{1} << 21;
// Each thread holds a whole block's output (and its packed input, up to 1/16 more);
// larger blocks decode on one thread.
constexpr size_t kMaxBlockSize = size_t{1} << 26;
// What the threads' block outputs may take together, whatever the thread count.
constexpr uint64_t kBlockMemory = uint64_t{1} << 27;
constexpr unsigned kMaxThreads = 4;
constexpr uint64_t kMinBlockSize = uint64_t{1} << 20;

// The compressor makes blocks of four dictionaries, at least 1 MB: the threads that pay
// off, or 0 for one.
unsigned ThreadsFor(uint8_t prop, uint64_t outSize) {
  if (prop > 40 || outSize < kMinThreadedSize) return 0;
  const uint64_t dictionary = prop == 40 ? 0xFFFFFFFFu : uint64_t{2u | (prop & 1u)} << (prop / 2 + 11);
  const uint64_t block = dictionary * 4 > kMinBlockSize ? dictionary * 4 : kMinBlockSize;
  if (block > kMaxBlockSize) return 0;
  unsigned threads = Processors();
  if (threads > kMaxThreads) threads = kMaxThreads;
  if (threads * block > kBlockMemory) threads = static_cast<unsigned>(kBlockMemory / block);
  if (threads < 2) threads = Processors() >= 2 ? 2 : 0;
  return threads;
}

// A thread's share of the block memory, whatever size the stream's blocks have.
size_t BlockLimit(unsigned threads) {
  const uint64_t share = kBlockMemory / threads;
  return static_cast<size_t>(share < kMaxBlockSize ? share : kMaxBlockSize);
}

// The decoder runs on a thread of its own (and the threads it starts). Its output is
// handed over one write at a time: the writing thread waits until the reader has taken
// all of it, so the bytes need no second buffer.
class TThreadedLzma2Coder final : public TSource {
 public:
  TThreadedLzma2Coder(TSource* packed, uint64_t outSize) : packed_(packed), outSize_(outSize) {
    in_.vt.Read = ReadPacked;
    in_.owner = this;
    out_.vt.Write = WriteDecoded;
    out_.owner = this;
    Thread_CONSTRUCT(&thread_);
  }
  ~TThreadedLzma2Coder() override {
    Stop();
    if (decoder_) Lzma2DecMt_Destroy(decoder_);
    delete alone_;
  }
  HRes Prepare(uint8_t prop, unsigned threads);
  HRes Start() override;
  HRes Read(uint8_t* data, size_t size, size_t& processed) override;

 private:
  struct TInStream {
    ISeqInStream vt;
    TThreadedLzma2Coder* owner;
  };
  struct TOutStream {
    ISeqOutStream vt;
    TThreadedLzma2Coder* owner;
  };
  static SRes ReadPacked(ISeqInStreamPtr stream, void* data, size_t* size);
  static size_t WriteDecoded(ISeqOutStreamPtr stream, const void* data, size_t size);
  static THREAD_FUNC_DECL Run(void* self);
  size_t HandOver(const uint8_t* data, size_t size);
  HRes Outcome() const;
  void Stop();

  TSource* packed_;
  uint64_t outSize_;
  uint8_t prop_ = 0;
  CLzma2DecMtProps props_{};
  CLzma2DecMtHandle decoder_ = nullptr;
  TInStream in_;
  TOutStream out_;
  CThread thread_;
  TCriticalSection lock_;
  TAutoResetEvent ready_;  // output handed over, or the decoding ended
  TAutoResetEvent taken_;  // the output was taken, or the reader stopped
  // Under lock_: the output waiting to be taken, and how the decoding ended.
  const uint8_t* pending_ = nullptr;
  size_t pendingSize_ = 0;
  bool finished_ = false;
  SRes result_ = SZ_OK;
  HRes readFailure_ = kOk;  // written by the reading thread before the decoding ends
  std::atomic<bool> stopped_{false};
  TSource* alone_ = nullptr;  // the ordinary coder, when no thread could be had
};

HRes TThreadedLzma2Coder::Prepare(uint8_t prop, unsigned threads) {
  prop_ = prop;
  Lzma2DecMtProps_Init(&props_);
  props_.numThreads = threads;
  props_.outBlockMax = BlockLimit(threads);
  props_.inBlockMax = props_.outBlockMax + props_.outBlockMax / 16;
  decoder_ = Lzma2DecMt_Create(&kDecoderAlloc, &kDecoderAlloc);
  if (!decoder_) return kOutOfMemory;
  if (!lock_.Create() || !ready_.Create() || !taken_.Create()) return kOutOfMemory;
  return kOk;
}

// The thread starts here, on the extracting thread, once the coders below have started
// (an AES key is derived there, never on the decoder's threads).
HRes TThreadedLzma2Coder::Start() {
  if (Thread_WasCreated(&thread_) || alone_) return kOk;
  if (Thread_Create(&thread_, Run, this) == 0) return kOk;
  Thread_CONSTRUCT(&thread_);
  HRes result = kOk;
  alone_ = NewSingleInputCoder(kMethodLzma2, &prop_, 1, packed_, outSize_, result);
  return result;
}

THREAD_FUNC_DECL TThreadedLzma2Coder::Run(void* self) {
  auto* coder = static_cast<TThreadedLzma2Coder*>(self);
  UInt64 outSize = coder->outSize_, inProcessed = 0;
  int threaded = 0;
  const SRes result = Lzma2DecMt_Decode(coder->decoder_, coder->prop_, &coder->props_, &coder->out_.vt, &outSize, 0,
                                        &coder->in_.vt, &inProcessed, &threaded, nullptr);
  coder->lock_.Enter();
  coder->finished_ = true;
  coder->result_ = result;
  coder->lock_.Leave();
  coder->ready_.Set();
  return THREAD_FUNC_RET_ZERO;
}

SRes TThreadedLzma2Coder::ReadPacked(ISeqInStreamPtr stream, void* data, size_t* size) {
  TThreadedLzma2Coder* self = reinterpret_cast<const TInStream*>(stream)->owner;
  const size_t want = *size;
  *size = 0;
  if (self->stopped_) return SZ_ERROR_READ;
  HRes r = self->packed_->Read(static_cast<uint8_t*>(data), want, *size);
  if (r == kOk) return SZ_OK;
  self->readFailure_ = r;
  return SZ_ERROR_READ;
}

size_t TThreadedLzma2Coder::WriteDecoded(ISeqOutStreamPtr stream, const void* data, size_t size) {
  return reinterpret_cast<const TOutStream*>(stream)->owner->HandOver(static_cast<const uint8_t*>(data), size);
}

// Waits until the reader has taken all of `data`; 0 when it stopped reading.
size_t TThreadedLzma2Coder::HandOver(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  lock_.Enter();
  const bool stopped = stopped_;
  if (!stopped) pending_ = data, pendingSize_ = size;
  lock_.Leave();
  if (stopped) return 0;
  ready_.Set();
  taken_.Wait();
  return stopped_ ? 0 : size;
}

HRes TThreadedLzma2Coder::Read(uint8_t* data, size_t size, size_t& processed) {
  processed = 0;
  if (!Thread_WasCreated(&thread_) && !alone_) {
    HRes r = Start();
    if (r != kOk) return r;
  }
  if (alone_) return alone_->Read(data, size, processed);
  if (size == 0) return kOk;
  for (;;) {
    lock_.Enter();
    if (pendingSize_ > 0) {
      processed = pendingSize_ < size ? pendingSize_ : size;
      std::memcpy(data, pending_, processed);
      pending_ += processed;
      pendingSize_ -= processed;
      const bool taken = pendingSize_ == 0;
      lock_.Leave();
      if (taken) taken_.Set();
      return kOk;
    }
    const bool finished = finished_;
    lock_.Leave();
    if (finished) return Outcome();
    ready_.Wait();
  }
}

// The end of the output: kOk when the decoding ended well (a stream that ends early shows
// as missing bytes), otherwise why it failed.
HRes TThreadedLzma2Coder::Outcome() const {
  if (result_ == SZ_OK) return kOk;
  if (readFailure_ != kOk) return readFailure_;
  return result_ == SZ_ERROR_MEM ? kOutOfMemory : kDataError;
}

// Ends the decoding early when the reader leaves before the end, and waits for its threads.
void TThreadedLzma2Coder::Stop() {
  if (!Thread_WasCreated(&thread_)) return;
  lock_.Enter();
  stopped_ = true;
  lock_.Leave();
  taken_.Set();
  Thread_Wait_Close(&thread_);
}

}  // namespace

// The multithreaded decoder fills its input blocks with this: as much as the stream has,
// up to *processedSize bytes.
extern "C" SRes SeqInStream_ReadMax(ISeqInStreamPtr stream, void* data, size_t* processedSize) {
  const size_t size = *processedSize;
  *processedSize = 0;
  while (*processedSize < size) {
    size_t got = size - *processedSize;
    const SRes result = stream->Read(stream, static_cast<uint8_t*>(data) + *processedSize, &got);
    *processedSize += got;
    if (result != SZ_OK) return result;
    if (got == 0) break;
  }
  return SZ_OK;
}

uint64_t ThreadedLzma2Memory(const uint8_t* props, size_t propsSize, uint64_t outSize) {
  if (propsSize != 1) return 0;
  const unsigned threads = ThreadsFor(props[0], outSize);
  if (threads == 0) return 0;
  const uint64_t block = BlockLimit(threads);
  return threads * (block + block / 16);
}

TSource* NewThreadedLzma2Coder(const uint8_t* props, size_t propsSize, TSource* packed, uint64_t outSize,
                               HRes& result) {
  result = kUnsupported;
  if (propsSize != 1 || props[0] > 40) return nullptr;
  result = kOk;
  const unsigned threads = ThreadsFor(props[0], outSize);
  if (threads == 0) return nullptr;
  auto* coder = new (std::nothrow) TThreadedLzma2Coder(packed, outSize);
  if (coder && coder->Prepare(props[0], threads) == kOk) return coder;
  delete coder;  // without its threads, the ordinary coder does the work
  return nullptr;
}

}  // namespace szlib
