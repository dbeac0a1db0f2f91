// A coder decoded on a thread of its own: in a folder whose coders feed each other, each
// coder that feeds another one runs ahead of it into a bounded ring, so that the folder
// takes about as long as its slowest coder rather than the sum of all.
#pragma once

#include "library/Coders.h"

namespace szlib {

// The ring between a coder on its thread and the coder that reads it.
constexpr size_t kCoderThreadBuffer = size_t{1} << 20;
// Below this much output a coder decodes on the thread that reads it: a thread would cost
// more than it saves.
constexpr uint64_t kMinCoderThreadOutput = uint64_t{1} << 20;
// At most this many coders of one folder get a thread; the others decode where read.
constexpr unsigned kMaxCoderThreads = 4;

// The processors this process may run on.
unsigned Processors();

// Makes the reads of the archive stream one at a time when coders read it from several
// threads (a seek and a read belong together).
class TStreamLock {
 public:
  TStreamLock() = default;
  TStreamLock(const TStreamLock&) = delete;
  TStreamLock& operator=(const TStreamLock&) = delete;
  ~TStreamLock();
  bool Create();
  void Enter();
  void Leave();

 private:
  struct TSection;
  TSection* section_ = nullptr;
};

// Runs `coder` on its own thread once started (Start, on the extracting thread); until then,
// or when no thread can be had, it decodes on the thread that reads. The bytes and the
// failure that ends them come out in the coder's order. Deleting it stops and waits for the
// thread; `coder` must outlive it. Null when there is no memory for its ring.
TSource* NewCoderThread(TSource* coder);

}  // namespace szlib
