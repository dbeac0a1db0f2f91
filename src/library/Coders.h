// The coder chain: every coder is a source of bytes that pulls from the sources that
// feed it, so a folder decodes straight into the output streams with fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "7zTypes.h"
#include "library/Common.h"

namespace szlib {

// The heap the decoders allocate their tables and windows from. Only declared here:
// Coders.cpp initializes it with constants.
// NOLINTNEXTLINE(bugprone-dynamic-static-initializers): a declaration, not an initialization
extern const ISzAlloc kDecoderAlloc;

class TSource {
 public:
  virtual ~TSource() = default;
  // Up to `size` bytes; 0 only at the end of the stream. Failures: kDataError,
  // kUnsupported, or the HRes of the archive stream's Read.
  virtual HRes Read(uint8_t* data, size_t size, size_t& processed) = 0;
  // Runs once on the extracting thread before the first Read, a coder's inputs before the
  // coder: work that must not happen elsewhere (an AES key, whose source may call back) and
  // the start of the coders' own threads. kOk, or the failure the first Read would give.
  virtual HRes Start() { return kOk; }
};

class TStreamLock;

// A buffered reader of one source.
class TInput {
 public:
  bool Allocate(size_t size) { return buffer_.Allocate(size); }
  void Attach(TSource* source) { source_ = source; }
  // Makes bytes available; Empty() afterwards means the end of the stream.
  HRes Fill();
  bool Empty() const { return pos_ == end_; }
  const uint8_t* Data() const { return buffer_.Data() + pos_; }
  size_t Available() const { return end_ - pos_; }
  void Consume(size_t n) { pos_ += n; }

 private:
  TSource* source_ = nullptr;
  TBuffer buffer_;
  size_t pos_ = 0, end_ = 0;
};

// Reads one packed stream of the archive: `size` bytes at `position`; under `lock`, when
// given, as coders on other threads read the same stream.
TSource* NewPackSource(szsfx::IInStream* stream, uint64_t position, uint64_t size, TStreamLock* lock);

// Copy, LZMA, LZMA2, PPMd, Delta and the branch converters; one input each. `outSize`
// is the size of what the coder produces. Returns null with `result` kUnsupported for an
// unknown method or unusable properties, kOutOfMemory when its memory is not available.
TSource* NewSingleInputCoder(uint64_t methodId, const uint8_t* props, size_t propsSize, TSource* input,
                             uint64_t outSize, HRes& result);

// BCJ2, fed by its main, call, jump and range-coder streams.
TSource* NewBcj2Coder(TSource* const inputs[4], uint64_t outSize, HRes& result);

// The memory a single coder may ask for (dictionary, model): more is refused.
constexpr uint64_t kMaxCoderMemory = uint64_t{1} << 30;
// What all coders of one folder may take together: more is refused.
constexpr uint64_t kMaxFolderMemory = kMaxCoderMemory + (uint64_t{1} << 28);

// The memory a coder of this method and properties takes for `outSize` bytes of output
// (0 for unknown methods and unusable properties, which are refused when built).
uint64_t CoderMemory(uint64_t methodId, const uint8_t* props, size_t propsSize, uint64_t outSize);

enum : uint64_t {
  kMethodCopy = 0x00,
  kMethodDelta = 0x03,
  kMethodX86 = 0x04,
  kMethodPpc = 0x05,
  kMethodIa64 = 0x06,
  kMethodArm = 0x07,
  kMethodArmt = 0x08,
  kMethodSparc = 0x09,
  kMethodArm64 = 0x0A,
  kMethodRiscv = 0x0B,
  kMethodLzma2 = 0x21,
  kMethodLzma = 0x030101,
  kMethodBcj = 0x03030103,
  kMethodBcj2 = 0x0303011B,
  kMethodPpcOld = 0x03030205,
  kMethodIa64Old = 0x03030401,
  kMethodArmOld = 0x03030501,
  kMethodArmtOld = 0x03030701,
  kMethodSparcOld = 0x03030805,
  kMethodPpmd = 0x030401,
  kMethodAes = 0x06F10701,
};

}  // namespace szlib
