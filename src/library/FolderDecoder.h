// Builds the coder chain of one folder: the coder whose output no other coder takes is
// the folder's output, and each coder input is either another coder or a packed stream.
// A coder that feeds another one, with enough output to be worth it, decodes on a thread of
// its own (see CoderThread.h), started at the folder's first read.
#pragma once

#include "library/CoderThread.h"
#include "library/Coders.h"
#include "library/Crypto.h"
#include "library/Database.h"

namespace szlib {

class TFolderDecoder {
 public:
  TFolderDecoder() = default;
  TFolderDecoder(const TFolderDecoder&) = delete;
  TFolderDecoder& operator=(const TFolderDecoder&) = delete;
  ~TFolderDecoder() { Reset(); }

  // kOk, kUnsupported (an unknown method or properties, no password), kOutOfMemory,
  // or the caller's failure from the password request.
  HRes Open(const TDatabase& db, uint32_t folder, szsfx::IInStream* stream, TKeySource& keys);
  void Reset();
  TSource* Output() const { return output_; }

  // Reads exactly `size` bytes (kDataError when the folder ends before).
  HRes ReadExactly(uint8_t* data, size_t size);

 private:
  HRes Build(uint32_t coder, TSource*& made);
  HRes BuildInput(uint32_t inStream, TSource*& made);
  TSource* OnItsThread(TSource* coder);
  bool Own(TSource* source);
  HRes StartAll();

  static constexpr size_t kMaxSources = kMaxCodersPerFolder + 64;
  TSource* sources_[kMaxSources] = {};
  size_t count_ = 0;
  TSource* output_ = nullptr;
  const TDatabase* db_ = nullptr;
  const TFolder* folder_ = nullptr;
  szsfx::IInStream* stream_ = nullptr;
  TKeySource* keys_ = nullptr;
  unsigned threadsLeft_ = 0;  // coder threads this folder may still have
  bool lockReads_ = false;    // coders read the archive stream from several threads
  bool started_ = false;
  HRes startResult_ = kOk;
  TStreamLock streamLock_;  // after sources_: the packed streams use it until they go
};

}  // namespace szlib
