#include "library/CoderThread.h"

#ifndef _WIN32
#include <unistd.h>
#endif

extern "C" {
#include "Threads.h"
}

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
  CCriticalSection Section;
};

TStreamLock::~TStreamLock() {
  if (!section_) return;
  CriticalSection_Delete(&section_->Section);
  delete section_;
}

bool TStreamLock::Create() {
  if (section_) return true;
  section_ = new (std::nothrow) TSection;
  if (section_ && CriticalSection_Init(&section_->Section) == 0) return true;
  delete section_;
  section_ = nullptr;
  return false;
}

void TStreamLock::Enter() { CriticalSection_Enter(&section_->Section); }
void TStreamLock::Leave() { CriticalSection_Leave(&section_->Section); }

namespace {

// The coder's thread writes into the free part of the ring and the reader takes from the
// filled part, each without the lock; the counters, the end and the waiting flags are under
// it. A side that has to wait says so and waits on its event after leaving the lock; the
// other side sets the event when it has made room (a quarter of the ring) or bytes.
class TCoderThread final : public TSource {
 public:
  explicit TCoderThread(TSource* coder) : coder_(coder) {
    Thread_CONSTRUCT(&thread_);
    Event_Construct(&bytesReady_);
    Event_Construct(&roomReady_);
  }
  ~TCoderThread() override {
    Stop();
    if (Event_IsCreated(&bytesReady_)) Event_Close(&bytesReady_);
    if (Event_IsCreated(&roomReady_)) Event_Close(&roomReady_);
    if (haveLock_) CriticalSection_Delete(&lock_);
  }
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
  CCriticalSection lock_;
  bool haveLock_ = false;
  CAutoResetEvent bytesReady_;  // bytes written, or the coder ended
  CAutoResetEvent roomReady_;   // room made, or the reader left
  // Under lock_.
  size_t written_ = 0, taken_ = 0;  // counted from the start, modulo SIZE_MAX + 1
  bool ended_ = false, stopped_ = false;
  bool readerWaits_ = false, writerWaits_ = false;
  HRes result_ = kOk;
};

HRes TCoderThread::Start() {
  if (CriticalSection_Init(&lock_) != 0) return kOk;  // decodes where read
  haveLock_ = true;
  if (AutoResetEvent_CreateNotSignaled(&bytesReady_) != 0 || AutoResetEvent_CreateNotSignaled(&roomReady_) != 0) {
    return kOk;
  }
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
    CriticalSection_Enter(&lock_);
    const size_t room = size - (written_ - taken_);
    const bool stopped = stopped_, wait = !stopped && room < kRoom;
    writerWaits_ = wait;
    const size_t at = written_ % size;
    CriticalSection_Leave(&lock_);
    if (stopped) return;
    if (wait) {
      Event_Wait(&roomReady_);
      continue;
    }
    size_t got = 0;
    const size_t want = room < size - at ? room : size - at;
    const HRes r = coder_->Read(ring_.Data() + at, want, got);
    CriticalSection_Enter(&lock_);
    written_ += got;
    const bool ended = r != kOk || got == 0;
    if (ended) ended_ = true, result_ = r;
    const bool wake = readerWaits_;
    readerWaits_ = false;
    CriticalSection_Leave(&lock_);
    if (wake) Event_Set(&bytesReady_);
    if (ended) return;
  }
}

HRes TCoderThread::Read(uint8_t* data, size_t size, size_t& processed) {
  processed = 0;
  if (!Thread_WasCreated(&thread_)) return coder_->Read(data, size, processed);
  if (size == 0) return kOk;
  const size_t ringSize = ring_.Size();
  for (;;) {
    CriticalSection_Enter(&lock_);
    const size_t ready = written_ - taken_;
    const bool ended = ended_;
    const HRes result = result_;
    readerWaits_ = ready == 0 && !ended;
    const size_t at = taken_ % ringSize;
    CriticalSection_Leave(&lock_);
    if (ready == 0) {
      if (ended) return result;  // kOk at the end of the coder's output
      Event_Wait(&bytesReady_);
      continue;
    }
    size_t n = ready < size ? ready : size;
    if (n > ringSize - at) n = ringSize - at;
    std::memcpy(data, ring_.Data() + at, n);
    processed = n;
    CriticalSection_Enter(&lock_);
    taken_ += n;
    const bool wake = writerWaits_ && ringSize - (written_ - taken_) >= kRoom;
    if (wake) writerWaits_ = false;
    CriticalSection_Leave(&lock_);
    if (wake) Event_Set(&roomReady_);
    return kOk;
  }
}

// The reader leaves: the thread ends after the read it is in, and is waited for.
void TCoderThread::Stop() {
  if (!Thread_WasCreated(&thread_)) return;
  CriticalSection_Enter(&lock_);
  stopped_ = true;
  CriticalSection_Leave(&lock_);
  Event_Set(&roomReady_);
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
