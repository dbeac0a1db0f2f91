#include "library/Coders.h"

#include "format/ByteOrder.h"
#include "library/CoderThread.h"

extern "C" {
#include "Bcj2.h"
#include "Bra.h"
#include "Delta.h"
#include "Lzma2Dec.h"
#include "LzmaDec.h"
#include "Ppmd7.h"
}

namespace szlib {

namespace {

void* AllocBytes(ISzAllocPtr, size_t size) { return std::malloc(size); }
void FreeBytes(ISzAllocPtr, void* address) { std::free(address); }

}  // namespace

const ISzAlloc kDecoderAlloc = {AllocBytes, FreeBytes};

namespace {

constexpr size_t kInputBufferSize = size_t{1} << 16;
constexpr size_t kFilterBufferSize = size_t{1} << 16;

class TPackSource final : public TSource {
 public:
  TPackSource(szsfx::IInStream* stream, uint64_t position, uint64_t size, TStreamLock* lock)
      : stream_(stream), lock_(lock), position_(position), left_(size) {}
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    if (left_ == 0 || size == 0) return kOk;
    if (!lock_) return ReadAt(data, size, processed);
    lock_->Enter();
    const HRes r = ReadAt(data, size, processed);
    lock_->Leave();
    return r;
  }

 private:
  HRes ReadAt(uint8_t* data, size_t size, size_t& processed) {
    const uint32_t want = static_cast<uint32_t>(left_ < size ? left_ : (size < (1u << 30) ? size : 1u << 30));
    uint64_t at = 0;
    HRes r = stream_->Seek(static_cast<int64_t>(position_), 0, &at);
    if (r != kOk) return r;
    if (at != position_) return kDataError;
    uint32_t got = 0;
    r = stream_->Read(data, want, &got);
    if (r != kOk) return r;
    if (got == 0 || got > want) return kDataError;  // the archive ends inside a packed stream
    position_ += got;
    left_ -= got;
    processed = got;
    return kOk;
  }

  szsfx::IInStream* stream_;
  TStreamLock* lock_;
  uint64_t position_, left_;
};

// The base of the decoders: counts what is still to come of their output.
class TCoder : public TSource {
 protected:
  explicit TCoder(uint64_t outSize) : left_(outSize) {}
  size_t Want(size_t size) const { return left_ < size ? static_cast<size_t>(left_) : size; }
  uint64_t left_;
};

// Copy, and Delta (each byte plus the one `distance` before it) when distance > 0.
class TCopyCoder final : public TCoder {
 public:
  TCopyCoder(TSource* input, uint64_t outSize, unsigned distance = 0)
      : TCoder(outSize), input_(input), distance_(distance) {
    Delta_Init(state_);
  }
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    const size_t want = Want(size);
    if (want == 0) return kOk;
    HRes r = input_->Read(data, want, processed);
    if (r != kOk) return r;
    if (processed == 0) return kDataError;
    if (distance_ > 0) Delta_Decode(state_, distance_, data, processed);
    left_ -= processed;
    return kOk;
  }

 private:
  TSource* input_;
  unsigned distance_;
  Byte state_[DELTA_STATE_SIZE];
};

// The dictionary is never larger than what the coder produces.
size_t DictionaryBufferSize(uint64_t dictionary, uint64_t outSize) {
  uint64_t size = dictionary < outSize ? dictionary : outSize;
  if (size < 4096) size = 4096;
  return static_cast<size_t>(size);
}

// LZMA and LZMA2 share the dictionary handling; `Step` runs the decoder once.
class TDictionaryCoder : public TCoder {
 public:
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    while (processed == 0 && Want(size) > 0) {
      CLzmaDec& d = Decoder();
      if (given_ < d.dicPos) {
        size_t n = d.dicPos - given_;
        if (n > Want(size)) n = Want(size);
        std::memcpy(data, d.dic + given_, n);
        given_ += n;
        left_ -= n;
        processed = n;
        break;
      }
      if (d.dicPos == d.dicBufSize) d.dicPos = given_ = 0;
      HRes r = Decode();
      if (r != kOk) return r;
    }
    return kOk;
  }

 protected:
  TDictionaryCoder(TSource* input, uint64_t outSize, bool endsAtSize) : TCoder(outSize), endsAtSize_(endsAtSize) {
    input_.Attach(input);
  }
  virtual CLzmaDec& Decoder() = 0;
  virtual SRes Step(SizeT dicLimit, const Byte* src, SizeT* srcLen, ELzmaFinishMode mode, ELzmaStatus* status) = 0;
  bool AllocateBuffers(uint64_t dictionary) {
    CLzmaDec& d = Decoder();
    const size_t size = DictionaryBufferSize(dictionary, left_);
    d.dic = static_cast<Byte*>(std::malloc(size));
    d.dicBufSize = size;
    return d.dic && input_.Allocate(kInputBufferSize);
  }

 private:
  HRes Decode() {
    CLzmaDec& d = Decoder();
    const uint64_t pending = left_ - (d.dicPos - given_);
    const bool last = d.dicBufSize - d.dicPos >= pending;
    const SizeT limit = last ? d.dicPos + static_cast<SizeT>(pending) : d.dicBufSize;
    if (input_.Empty()) {
      HRes r = input_.Fill();
      if (r != kOk) return r;
    }
    SizeT inSize = input_.Available();
    const SizeT before = d.dicPos;
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    const ELzmaFinishMode mode = last && endsAtSize_ ? LZMA_FINISH_END : LZMA_FINISH_ANY;
    const SRes result = Step(limit, input_.Data(), &inSize, mode, &status);
    input_.Consume(inSize);
    if (result != SZ_OK) return kDataError;
    if (mode == LZMA_FINISH_END && d.dicPos == limit) return Ended(limit, status);
    if (d.dicPos != before || inSize != 0) return kOk;
    // No progress: the stream ended (with its end mark or with the input) before its size.
    return kDataError;
  }
  // All of the output is decoded: the stream must end there, with its end mark or where
  // the range coder may stop without one.
  HRes Ended(SizeT limit, ELzmaStatus status) {
    while (status == LZMA_STATUS_NEEDS_MORE_INPUT) {
      if (input_.Empty()) {
        HRes r = input_.Fill();
        if (r != kOk) return r;
        if (input_.Empty()) return kDataError;
      }
      SizeT inSize = input_.Available();
      const SRes result = Step(limit, input_.Data(), &inSize, LZMA_FINISH_END, &status);
      input_.Consume(inSize);
      if (result != SZ_OK) return kDataError;
    }
    return status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK ? kOk
                                                                                                         : kDataError;
  }

  TInput input_;
  size_t given_ = 0;
  bool endsAtSize_;
};

class TLzmaCoder final : public TDictionaryCoder {
 public:
  // An LZMA stream must end where its size says.
  TLzmaCoder(TSource* input, uint64_t outSize) : TDictionaryCoder(input, outSize, true) { LzmaDec_Construct(&dec_); }
  ~TLzmaCoder() override { LzmaDec_Free(&dec_, &kDecoderAlloc); }
  HRes Init(const uint8_t* props, size_t size) {
    CLzmaProps p;
    if (size != LZMA_PROPS_SIZE || LzmaProps_Decode(&p, props, LZMA_PROPS_SIZE) != SZ_OK) return kUnsupported;
    if (p.dicSize > kMaxCoderMemory) return kUnsupported;
    if (LzmaDec_AllocateProbs(&dec_, props, LZMA_PROPS_SIZE, &kDecoderAlloc) != SZ_OK) return kOutOfMemory;
    if (!AllocateBuffers(p.dicSize)) return kOutOfMemory;
    LzmaDec_Init(&dec_);
    return kOk;
  }

 private:
  CLzmaDec& Decoder() override { return dec_; }
  SRes Step(SizeT limit, const Byte* src, SizeT* srcLen, ELzmaFinishMode mode, ELzmaStatus* status) override {
    return LzmaDec_DecodeToDic(&dec_, limit, src, srcLen, mode, status);
  }
  CLzmaDec dec_;
};

class TLzma2Coder final : public TDictionaryCoder {
 public:
  TLzma2Coder(TSource* input, uint64_t outSize) : TDictionaryCoder(input, outSize, false) { Lzma2Dec_Construct(&dec_); }
  ~TLzma2Coder() override { Lzma2Dec_Free(&dec_, &kDecoderAlloc); }
  HRes Init(const uint8_t* props, size_t size) {
    if (size != 1 || props[0] > 40) return kUnsupported;
    const uint64_t dictionary = props[0] == 40 ? 0xFFFFFFFFu : uint64_t{2u | (props[0] & 1u)} << (props[0] / 2 + 11);
    if (dictionary > kMaxCoderMemory) return kUnsupported;
    if (Lzma2Dec_AllocateProbs(&dec_, props[0], &kDecoderAlloc) != SZ_OK) return kOutOfMemory;
    if (!AllocateBuffers(dictionary)) return kOutOfMemory;
    Lzma2Dec_Init(&dec_);
    return kOk;
  }

 private:
  CLzmaDec& Decoder() override { return dec_.decoder; }
  SRes Step(SizeT limit, const Byte* src, SizeT* srcLen, ELzmaFinishMode mode, ELzmaStatus* status) override {
    return Lzma2Dec_DecodeToDic(&dec_, limit, src, srcLen, mode, status);
  }
  CLzma2Dec dec_;
};

class TPpmdCoder final : public TCoder {
 public:
  TPpmdCoder(TSource* input, uint64_t outSize) : TCoder(outSize) {
    byteIn_.vt.Read = ReadByte;
    byteIn_.owner = this;
    input_.Attach(input);
    Ppmd7_Construct(&ppmd_);
  }
  ~TPpmdCoder() override { Ppmd7_Free(&ppmd_, &kDecoderAlloc); }
  HRes Init(const uint8_t* props, size_t size) {
    if (size != 5) return kUnsupported;
    order_ = props[0];
    const uint32_t memory = szsfx::LoadLe32(props + 1);
    if (order_ < PPMD7_MIN_ORDER || order_ > PPMD7_MAX_ORDER || memory < PPMD7_MIN_MEM_SIZE ||
        memory > PPMD7_MAX_MEM_SIZE || memory > kMaxCoderMemory) {
      return kUnsupported;
    }
    if (!input_.Allocate(kInputBufferSize) || !Ppmd7_Alloc(&ppmd_, memory, &kDecoderAlloc)) return kOutOfMemory;
    return kOk;
  }
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    const size_t want = Want(size);
    if (want == 0) return kOk;
    if (!started_) {
      started_ = true;
      ppmd_.rc.dec.Stream = &byteIn_.vt;
      if (!Ppmd7z_RangeDec_Init(&ppmd_.rc.dec)) return Failure();
      Ppmd7_Init(&ppmd_, order_);
    }
    for (; processed < want; ++processed) {
      const int symbol = Ppmd7z_DecodeSymbol(&ppmd_);
      if (symbol < 0 || failure_ != kOk) return Failure();
      data[processed] = static_cast<uint8_t>(symbol);
    }
    left_ -= processed;
    return kOk;
  }

 private:
  struct TByteIn {
    IByteIn vt;
    TPpmdCoder* owner;
  };
  static Byte ReadByte(IByteInPtr p) {
    TPpmdCoder* self = reinterpret_cast<const TByteIn*>(p)->owner;
    if (self->input_.Empty() && self->failure_ == kOk) {
      HRes r = self->input_.Fill();
      if (r != kOk)
        self->failure_ = r;
      else if (self->input_.Empty())
        self->failure_ = kDataError;
    }
    if (self->input_.Empty()) return 0;
    const Byte b = *self->input_.Data();
    self->input_.Consume(1);
    return b;
  }
  HRes Failure() const { return failure_ != kOk ? failure_ : kDataError; }

  TByteIn byteIn_;
  TInput input_;
  CPpmd7 ppmd_;
  unsigned order_ = 0;
  bool started_ = false;
  HRes failure_ = kOk;
};

// The branch converters work in place on a buffer; bytes they cannot convert yet wait
// for more input, and at the end of the stream pass unchanged.
class TBranchCoder final : public TCoder {
 public:
  TBranchCoder(TSource* input, uint64_t outSize, z7_Func_BranchConv convert, uint32_t pc)
      : TCoder(outSize), input_(input), convert_(convert), pc_(pc) {}
  bool Allocate() { return buffer_.Allocate(kFilterBufferSize); }
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    const size_t want = Want(size);
    if (want == 0) return kOk;
    if (ready_ == start_) {
      HRes r = Refill();
      if (r != kOk) return r;
      if (ready_ == start_) return kDataError;
    }
    processed = ready_ - start_ < want ? ready_ - start_ : want;
    std::memcpy(data, buffer_.Data() + start_, processed);
    start_ += processed;
    left_ -= processed;
    return kOk;
  }

 private:
  HRes Refill() {
    uint8_t* b = buffer_.Data();
    std::memmove(b, b + start_, end_ - start_);
    end_ -= start_;
    start_ = ready_ = 0;
    while (ready_ == 0) {
      bool ended = false;
      while (end_ < buffer_.Size() && !ended) {
        size_t got = 0;
        HRes r = input_->Read(b + end_, buffer_.Size() - end_, got);
        if (r != kOk) return r;
        end_ += got;
        ended = got == 0;
      }
      ready_ = Convert(b, end_);
      if (ended) ready_ = end_;
      if (ended || ready_ > 0) break;
    }
    return kOk;
  }
  size_t Convert(uint8_t* data, size_t size) {
    const size_t done = static_cast<size_t>(
        (convert_ ? convert_(data, size, pc_) : z7_BranchConvSt_X86_Dec(data, size, pc_, &x86State_)) - data);
    pc_ += static_cast<uint32_t>(done);
    return done;
  }

  TSource* input_;
  z7_Func_BranchConv convert_;
  uint32_t pc_;
  uint32_t x86State_ = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
  TBuffer buffer_;
  size_t start_ = 0, ready_ = 0, end_ = 0;
};

class TBcj2Coder final : public TCoder {
 public:
  TBcj2Coder(TSource* const inputs[4], uint64_t outSize) : TCoder(outSize) {
    for (int i = 0; i < 4; ++i) streams_[i].source = inputs[i];
    Bcj2Dec_Init(&dec_);
  }
  bool Allocate() {
    for (TStream& s : streams_) {
      if (!s.buffer.Allocate(kInputBufferSize)) return false;
    }
    for (int i = 0; i < 4; ++i) dec_.bufs[i] = dec_.lims[i] = streams_[i].buffer.Data();
    return true;
  }
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    const size_t want = Want(size);
    if (want == 0) return kOk;
    dec_.dest = data;
    dec_.destLim = data + want;
    while (dec_.dest != dec_.destLim) {
      if (Bcj2Dec_Decode(&dec_) != SZ_OK) return kDataError;
      if (dec_.dest == dec_.destLim) break;
      if (dec_.state >= BCJ2_NUM_STREAMS) return kDataError;
      HRes r = Refill(dec_.state);
      if (r != kOk) return r;
    }
    processed = want;
    left_ -= want;
    return kOk;
  }

 private:
  struct TStream {
    TSource* source;
    TBuffer buffer;
    size_t kept = 0;  // bytes of a call or jump address that arrived incomplete
  };
  // The call and jump streams hand over whole 4-byte addresses only.
  HRes Refill(unsigned index) {
    TStream& s = streams_[index];
    uint8_t* b = s.buffer.Data();
    const bool words = BCJ2_IS_32BIT_STREAM(index);
    std::memmove(b, b + (dec_.lims[index] - b), s.kept);
    size_t end = s.kept;
    for (;;) {
      size_t got = 0;
      HRes r = s.source->Read(b + end, s.buffer.Size() - end, got);
      if (r != kOk) return r;
      end += got;
      if (got == 0 || !words || (end >= 4 && end % 4 == 0) || end == s.buffer.Size()) break;
    }
    const size_t usable = words ? end - end % 4 : end;
    if (usable == 0) return kDataError;
    s.kept = end - usable;
    dec_.bufs[index] = b;
    dec_.lims[index] = b + usable;
    return kOk;
  }

  TStream streams_[4];
  CBcj2Dec dec_;
};

z7_Func_BranchConv BranchConverter(uint64_t id) {
  switch (id) {
    case kMethodPpc:
    case kMethodPpcOld:
      return z7_BranchConv_PPC_Dec;
    case kMethodIa64:
    case kMethodIa64Old:
      return z7_BranchConv_IA64_Dec;
    case kMethodArm:
    case kMethodArmOld:
      return z7_BranchConv_ARM_Dec;
    case kMethodArmt:
    case kMethodArmtOld:
      return z7_BranchConv_ARMT_Dec;
    case kMethodSparc:
    case kMethodSparcOld:
      return z7_BranchConv_SPARC_Dec;
    case kMethodArm64:
      return z7_BranchConv_ARM64_Dec;
    case kMethodRiscv:
      return z7_BranchConv_RISCV_Dec;
    default:
      return nullptr;
  }
}

template <typename T>
TSource* Keep(T* coder, HRes r, HRes& result) {
  result = coder ? r : kOutOfMemory;
  if (result == kOk) return coder;
  delete coder;
  return nullptr;
}

TSource* NewBranchCoder(uint64_t id, const uint8_t* props, size_t propsSize, TSource* input, uint64_t outSize,
                        HRes& result) {
  const z7_Func_BranchConv convert = BranchConverter(id);
  uint32_t pc = 0;
  if (propsSize == 4)
    pc = szsfx::LoadLe32(props);
  else if (propsSize != 0)
    return result = kUnsupported, nullptr;
  auto* coder = new (std::nothrow) TBranchCoder(input, outSize, convert, pc);
  return Keep(coder, coder && coder->Allocate() ? kOk : kOutOfMemory, result);
}

}  // namespace

HRes TInput::Fill() {
  if (pos_ != end_) return kOk;
  pos_ = end_ = 0;
  size_t got = 0;
  HRes r = source_->Read(buffer_.Data(), buffer_.Size(), got);
  end_ = got;
  return r;
}

uint64_t CoderMemory(uint64_t id, const uint8_t* props, size_t propsSize, uint64_t outSize) {
  // The probability tables: a fixed part and the literal coders, 0x300 for each context.
  auto probs = [](unsigned literalBits) {
    return (uint64_t{1984} + (uint64_t{0x300} << literalBits)) * sizeof(CLzmaProb);
  };
  switch (id) {
    case kMethodLzma: {
      CLzmaProps p;
      if (propsSize != LZMA_PROPS_SIZE || LzmaProps_Decode(&p, props, LZMA_PROPS_SIZE) != SZ_OK) return 0;
      return DictionaryBufferSize(p.dicSize, outSize) + probs(p.lc + p.lp) + kInputBufferSize;
    }
    case kMethodLzma2: {
      if (propsSize != 1 || props[0] > 40) return 0;
      const uint64_t dictionary = props[0] == 40 ? 0xFFFFFFFFu : uint64_t{2u | (props[0] & 1u)} << (props[0] / 2 + 11);
      return DictionaryBufferSize(dictionary, outSize) + probs(4) + kInputBufferSize;
    }
    case kMethodPpmd:
      return propsSize == 5 ? szsfx::LoadLe32(props + 1) + kInputBufferSize : 0;
    case kMethodBcj2:
      return 4 * kInputBufferSize;
    case kMethodCopy:
    case kMethodDelta:
      return 0;
    default:
      return kFilterBufferSize;  // the branch converters, and AES
  }
}

TSource* NewPackSource(szsfx::IInStream* stream, uint64_t position, uint64_t size, TStreamLock* lock) {
  return new (std::nothrow) TPackSource(stream, position, size, lock);
}

TSource* NewSingleInputCoder(uint64_t id, const uint8_t* props, size_t propsSize, TSource* input, uint64_t outSize,
                             HRes& result) {
  result = kUnsupported;
  switch (id) {
    case kMethodCopy:
      return Keep(new (std::nothrow) TCopyCoder(input, outSize), kOk, result);
    case kMethodLzma: {
      auto* coder = new (std::nothrow) TLzmaCoder(input, outSize);
      return Keep(coder, coder ? coder->Init(props, propsSize) : kOutOfMemory, result);
    }
    case kMethodLzma2: {
      auto* coder = new (std::nothrow) TLzma2Coder(input, outSize);
      return Keep(coder, coder ? coder->Init(props, propsSize) : kOutOfMemory, result);
    }
    case kMethodPpmd: {
      auto* coder = new (std::nothrow) TPpmdCoder(input, outSize);
      return Keep(coder, coder ? coder->Init(props, propsSize) : kOutOfMemory, result);
    }
    case kMethodDelta:
      if (propsSize != 1) return nullptr;
      return Keep(new (std::nothrow) TCopyCoder(input, outSize, props[0] + 1u), kOk, result);
    case kMethodX86:
    case kMethodBcj:
    case kMethodPpc:
    case kMethodPpcOld:
    case kMethodIa64:
    case kMethodIa64Old:
    case kMethodArm:
    case kMethodArmOld:
    case kMethodArmt:
    case kMethodArmtOld:
    case kMethodSparc:
    case kMethodSparcOld:
    case kMethodArm64:
    case kMethodRiscv:
      return NewBranchCoder(id, props, propsSize, input, outSize, result);
    default:
      return nullptr;
  }
}

TSource* NewBcj2Coder(TSource* const inputs[4], uint64_t outSize, HRes& result) {
  auto* coder = new (std::nothrow) TBcj2Coder(inputs, outSize);
  return Keep(coder, coder && coder->Allocate() ? kOk : kOutOfMemory, result);
}

}  // namespace szlib
