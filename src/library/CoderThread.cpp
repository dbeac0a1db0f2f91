#include "library/CoderThread.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include "library/ThreadSync.h"

namespace szlib {

unsigned Processors() {
#ifdef _WIN32
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<unsigned>(info.dwNumberOfProcessors);
#else
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
#endif
}

struct TStreamLock::TSection {
  TCriticalSection Section;
};

TStreamLock::~TStreamLock() { delete section_; }

bool TStreamLock::Create() {
  if (section_) return true;
  section_ = new (std::nothrow) TSection;
  if (section_ && section_->Section.Create()) return true;
  delete section_;
  section_ = nullptr;
  return false;
}

void TStreamLock::Enter() { section_->Section.Enter(); }
void TStreamLock::Leave() { section_->Section.Leave(); }

namespace {

// The coder's thread writes into the free part of the ring and the reader takes from the
// filled part, each without the lock; the counters, the end and the waiting flags are under
// it. A side that has to wait says so and waits on its event after leaving the lock; the
// other side sets the event when it has made room (a quarter of the ring) or bytes.
class TCoderThread final : public TSource {
 public:
  explicit TCoderThread(TSource* coder) : coder_(coder) { Thread_CONSTRUCT(&thread_); }
  ~TCoderThread() override { Stop(); }
  bool Allocate() { return ring_.Allocate(kCoderThreadBuffer); }
  HRes Start() override;
  HRes Read(uint8_t* data, size_t size, size_t& processed) override;

 private:
  static constexpr size_t kRoom = kCoderThreadBuffer / 4;
  static THREAD_FUNC_DECL Run(void* self);
  void Produce();
  void Stop();

  TSource* coder_;
  TBuffer ring_;
  CThread thread_;
  TCriticalSection lock_;
  TAutoResetEvent bytesReady_;  // bytes written, or the coder ended
  TAutoResetEvent roomReady_;   // room made, or the reader left
  // Under lock_.
  size_t written_ = 0, taken_ = 0;  // counted from the start, modulo SIZE_MAX + 1
  bool ended_ = false, stopped_ = false;
  bool readerWaits_ = false, writerWaits_ = false;
  HRes result_ = kOk;
};

HRes TCoderThread::Start() {
  if (!lock_.Create() || !bytesReady_.Create() || !roomReady_.Create()) return kOk;  // decodes where read
  if (Thread_Create(&thread_, Run, this) != 0) Thread_CONSTRUCT(&thread_);
  return kOk;
}

THREAD_FUNC_DECL TCoderThread::Run(void* self) {
  static_cast<TCoderThread*>(self)->Produce();
  return THREAD_FUNC_RET_ZERO;
}

void TCoderThread::Produce() {
  const size_t size = ring_.Size();
  for (;;) {
    lock_.Enter();
    const size_t room = size - (written_ - taken_);
    const bool stopped = stopped_, wait = !stopped && room < kRoom;
    writerWaits_ = wait;
    const size_t at = written_ % size;
    lock_.Leave();
    if (stopped) return;
    if (wait) {
      roomReady_.Wait();
      continue;
    }
    size_t got = 0;
    const size_t want = room < size - at ? room : size - at;
    const HRes r = coder_->Read(ring_.Data() + at, want, got);
    lock_.Enter();
    written_ += got;
    const bool ended = r != kOk || got == 0;
    if (ended) ended_ = true, result_ = r;
    const bool wake = readerWaits_;
    readerWaits_ = false;
    lock_.Leave();
    if (wake) bytesReady_.Set();
    if (ended) return;
  }
}

HRes TCoderThread::Read(uint8_t* data, size_t size, size_t& processed) {
  processed = 0;
  if (!Thread_WasCreated(&thread_)) return coder_->Read(data, size, processed);
  if (size == 0) return kOk;
  const size_t ringSize = ring_.Size();
  for (;;) {
    lock_.Enter();
    const size_t ready = written_ - taken_;
    const bool ended = ended_;
    const HRes result = result_;
    readerWaits_ = ready == 0 && !ended;
    const size_t at = taken_ % ringSize;
    lock_.Leave();
    if (ready == 0) {
      if (ended) return result;  // kOk at the end of the coder's output
      bytesReady_.Wait();
      continue;
    }
    size_t n = ready < size ? ready : size;
    if (n > ringSize - at) n = ringSize - at;
    std::memcpy(data, ring_.Data() + at, n);
    processed = n;
    lock_.Enter();
    taken_ += n;
    const bool wake = writerWaits_ && ringSize - (written_ - taken_) >= kRoom;
    if (wake) writerWaits_ = false;
    lock_.Leave();
    if (wake) roomReady_.Set();
    return kOk;
  }
}

// The reader leaves: the thread ends after the read it is in, and is waited for.
void TCoderThread::Stop() {
  if (!Thread_WasCreated(&thread_)) return;
  lock_.Enter();
  stopped_ = true;
  lock_.Leave();
  roomReady_.Set();
  Thread_Wait_Close(&thread_);
}

}  // namespace

TSource* NewCoderThread(TSource* coder) {
  auto* stage = new (std::nothrow) TCoderThread(coder);
  if (stage && stage->Allocate()) return stage;
  delete stage;
  return nullptr;
}

}  // namespace szlib
