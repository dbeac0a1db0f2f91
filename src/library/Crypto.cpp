#include "library/Crypto.h"

extern "C" {
#include "7zCrc.h"
#include "Aes.h"
#include "Sha256.h"
}

namespace szlib {

namespace {

constexpr unsigned kMaxCyclesPower = 24;
constexpr size_t kAesBufferSize = size_t{1} << 16;

class TAesCoder final : public TSource {
 public:
  TAesCoder(TSource* input, TKeySource& keys, const TAesParams& params, uint64_t outSize)
      : input_(input), keys_(keys), params_(params), left_(outSize) {}
  bool Allocate() { return buffer_.Allocate(kAesBufferSize); }
  HRes Start() override { return keyed_ ? kOk : SetKey(); }
  HRes Read(uint8_t* data, size_t size, size_t& processed) override {
    processed = 0;
    if (left_ == 0 || size == 0) return kOk;
    if (!keyed_) {
      HRes r = SetKey();
      if (r != kOk) return r;
    }
    if (start_ == ready_) {
      HRes r = Refill();
      if (r != kOk) return r;
    }
    size_t n = ready_ - start_;
    if (n > size) n = size;
    if (n > left_) n = static_cast<size_t>(left_);
    std::memcpy(data, buffer_.Data() + start_, n);
    start_ += n;
    left_ -= n;
    processed = n;
    return kOk;
  }

 private:
  HRes SetKey() {
    uint8_t key[kKeySize];
    HRes r = keys_.Key(params_, key);
    if (r != kOk) return r;
    Aes_SetKey_Dec(State() + 4, key, kKeySize);
    AesCbc_Init(State(), params_.Iv);
    std::memset(key, 0, sizeof key);
    keyed_ = true;
    return kOk;
  }
  // The key schedule wants 16-byte alignment.
  UInt32* State() {
    auto address = reinterpret_cast<uintptr_t>(state_);
    return reinterpret_cast<UInt32*>(address + ((16 - address % 16) % 16));
  }
  HRes Refill() {
    uint8_t* b = buffer_.Data();
    std::memmove(b, b + ready_, end_ - ready_);
    end_ -= ready_;
    start_ = ready_ = 0;
    while (end_ < AES_BLOCK_SIZE) {
      size_t got = 0;
      HRes r = input_->Read(b + end_, buffer_.Size() - end_, got);
      if (r != kOk) return r;
      if (got == 0) return kDataError;  // the stream ends inside a block, or before the size
      end_ += got;
    }
    ready_ = end_ - end_ % AES_BLOCK_SIZE;
    g_AesCbc_Decode(State(), b, ready_ / AES_BLOCK_SIZE);
    return kOk;
  }

  TSource* input_;
  TKeySource& keys_;
  TAesParams params_;
  uint64_t left_;
  bool keyed_ = false;
  TBuffer buffer_;
  size_t start_ = 0, ready_ = 0, end_ = 0;
  UInt32 state_[AES_NUM_IVMRK_WORDS + 4] = {};
};

}  // namespace

bool ReadAesParams(const uint8_t* props, size_t size, TAesParams& params) {
  params = TAesParams{};
  if (size == 0) return false;
  const uint8_t first = props[0];
  params.CyclesPower = first & 0x3F;
  const bool usable = params.CyclesPower <= kMaxCyclesPower || params.CyclesPower == kDirectKeyPower;
  if ((first & 0xC0) == 0) return size == 1 && usable;
  if (size < 2) return false;
  params.SaltSize = ((first >> 7) & 1u) + (props[1] >> 4);
  const size_t ivSize = ((first >> 6) & 1u) + (props[1] & 0x0Fu);
  if (size != 2 + params.SaltSize + ivSize || !usable) return false;
  std::memcpy(params.Salt, props + 2, params.SaltSize);
  std::memcpy(params.Iv, props + 2 + params.SaltSize, ivSize);
  return true;
}

uint64_t KeyRounds(const TAesParams& params) {
  return params.CyclesPower == kDirectKeyPower ? 0 : uint64_t{1} << params.CyclesPower;
}

void DeriveKey(const TAesParams& params, const uint8_t* password, size_t passwordSize, uint8_t key[kKeySize]) {
  if (params.CyclesPower == kDirectKeyPower) {  // salt, then password, zero-padded
    std::memset(key, 0, kKeySize);
    std::memcpy(key, params.Salt, params.SaltSize);
    const size_t room = kKeySize - params.SaltSize;
    if (passwordSize) std::memcpy(key + params.SaltSize, password, passwordSize < room ? passwordSize : room);
    return;
  }
  // One round hashes salt, password and the round number (8 bytes, little-endian).
  TBuffer round;
  const size_t size = params.SaltSize + passwordSize + 8;
  if (!round.Allocate(size)) {
    std::memset(key, 0, kKeySize);
    return;
  }
  uint8_t* r = round.Data();
  std::memcpy(r, params.Salt, params.SaltSize);
  if (passwordSize) std::memcpy(r + params.SaltSize, password, passwordSize);
  uint8_t* counter = r + params.SaltSize + passwordSize;
  std::memset(counter, 0, 8);
  CSha256 sha;
  Sha256_Init(&sha);
  const uint64_t rounds = uint64_t{1} << params.CyclesPower;
  for (uint64_t i = 0; i < rounds; ++i) {
    Sha256_Update(&sha, r, size);
    for (int k = 0; k < 8 && ++counter[k] == 0; ++k) {
    }
  }
  Sha256_Final(&sha, key);
}

TSource* NewAesCoder(TSource* input, TKeySource& keys, const TAesParams& params, uint64_t outSize, HRes& result) {
  auto* coder = new (std::nothrow) TAesCoder(input, keys, params, outSize);
  if (coder && coder->Allocate()) {
    result = kOk;
    return coder;
  }
  delete coder;
  result = kOutOfMemory;
  return nullptr;
}

void PrepareTables() {
  static const bool prepared = [] {
    CrcGenerateTable();
    AesGenTables();
    Sha256Prepare();
    return true;
  }();
  (void)prepared;
}

}  // namespace szlib
