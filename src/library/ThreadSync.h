// Owners of the decoder sources' thread primitives, which close themselves: a lock and an
// auto-reset event. For .cpp files only: Threads.h brings in the system's headers.
#pragma once

extern "C" {
#include "Threads.h"
}

namespace szlib {

class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  ~TCriticalSection() {
    if (created_) CriticalSection_Delete(&section_);
  }
  bool Create() {
    if (!created_) created_ = CriticalSection_Init(&section_) == 0;
    return created_;
  }
  void Enter() { CriticalSection_Enter(&section_); }
  void Leave() { CriticalSection_Leave(&section_); }

 private:
  CCriticalSection section_;
  bool created_ = false;
};

class TAutoResetEvent {
 public:
  TAutoResetEvent() { Event_Construct(&event_); }
  TAutoResetEvent(const TAutoResetEvent&) = delete;
  TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;
  ~TAutoResetEvent() {
    if (Event_IsCreated(&event_)) Event_Close(&event_);
  }
  bool Create() { return Event_IsCreated(&event_) || AutoResetEvent_CreateNotSignaled(&event_) == 0; }
  void Set() { Event_Set(&event_); }
  void Wait() { Event_Wait(&event_); }

 private:
  CAutoResetEvent event_;
};

}  // namespace szlib
