// 7z's AES-256 (CBC) coder and its key: SHA-256 over salt, password and a counter,
// repeated 2^n times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "library/Coders.h"
#include "library/Common.h"

namespace szlib {

constexpr size_t kKeySize = 32;

// What the AES coder's properties say: rounds, salt and initial vector.
struct TAesParams {
  unsigned CyclesPower;
  uint8_t Salt[16];
  size_t SaltSize;
  uint8_t Iv[16];
};

// A power of 0x3F takes salt and password as the key, without hashing.
constexpr unsigned kDirectKeyPower = 0x3F;

// False for properties that no writer makes or with more than 2^24 rounds.
bool ReadAesParams(const uint8_t* props, size_t size, TAesParams& params);

// The SHA-256 rounds a key of these parameters costs.
uint64_t KeyRounds(const TAesParams& params);

// The key for a password given as UTF-16LE bytes.
void DeriveKey(const TAesParams& params, const uint8_t* password, size_t passwordSize, uint8_t key[kKeySize]);

// What one opened archive may spend on deriving keys: eight derivations of the most
// rounds there are, or 256 of the 7z command's usual 2^19.
constexpr uint64_t kKeyRoundsPerArchive = uint64_t{1} << 27;
constexpr size_t kCachedKeys = 8;

// The keys made from one password, by salt and rounds, and the derivations left.
class TKeyCache {
 public:
  TKeyCache() = default;
  TKeyCache(const TKeyCache&) = delete;
  TKeyCache& operator=(const TKeyCache&) = delete;
  ~TKeyCache() { Forget(); }

  void Reset() {
    Forget();
    roundsLeft_ = kKeyRoundsPerArchive;
  }
  // The key for this password and these parameters, from the cache or derived; false
  // when it is not cached and the archive's derivations are used up.
  bool Key(const TArray<uint8_t>& password, const TAesParams& params, uint8_t key[kKeySize]) {
    if (!SamePassword(password)) Forget();
    for (size_t i = 0; i < count_; ++i) {
      if (Matches(entries_[i], params)) {
        std::memcpy(key, entries_[i].Key, kKeySize);
        return true;
      }
    }
    const uint64_t rounds = KeyRounds(params);
    if (rounds > roundsLeft_ || !Remember(password)) return false;
    roundsLeft_ -= rounds;
    DeriveKey(params, password.Data(), password.Size(), key);
    TEntry& e = entries_[next_];
    next_ = (next_ + 1) % kCachedKeys;
    if (count_ < kCachedKeys) ++count_;
    e.CyclesPower = params.CyclesPower, e.SaltSize = params.SaltSize;
    std::memcpy(e.Salt, params.Salt, sizeof e.Salt);
    std::memcpy(e.Key, key, kKeySize);
    return true;
  }
  // Whether `params` would need a derivation.
  bool Cached(const TArray<uint8_t>& password, const TAesParams& params) const {
    if (!SamePassword(password)) return false;
    for (size_t i = 0; i < count_; ++i) {
      if (Matches(entries_[i], params)) return true;
    }
    return false;
  }

 private:
  struct TEntry {
    unsigned CyclesPower;
    size_t SaltSize;
    uint8_t Salt[16];
    uint8_t Key[kKeySize];
  };
  static bool Matches(const TEntry& e, const TAesParams& p) {
    return e.CyclesPower == p.CyclesPower && e.SaltSize == p.SaltSize && std::memcmp(e.Salt, p.Salt, p.SaltSize) == 0;
  }
  bool SamePassword(const TArray<uint8_t>& password) const {
    return havePassword_ && password.Size() == password_.Size() &&
           (password.Size() == 0 || std::memcmp(password.Data(), password_.Data(), password.Size()) == 0);
  }
  bool Remember(const TArray<uint8_t>& password) {
    if (SamePassword(password)) return true;
    Forget();
    if (!password_.Resize(password.Size())) return false;
    if (password.Size()) std::memcpy(password_.Data(), password.Data(), password.Size());
    havePassword_ = true;
    return true;
  }
  void Forget() {
    if (password_.Size()) std::memset(password_.Data(), 0, password_.Size());
    password_.Clear();
    std::memset(static_cast<void*>(entries_), 0, sizeof entries_);
    count_ = next_ = 0;
    havePassword_ = false;
  }

  TArray<uint8_t> password_;
  bool havePassword_ = false;
  TEntry entries_[kCachedKeys] = {};
  size_t count_ = 0, next_ = 0;
  uint64_t roundsLeft_ = kKeyRoundsPerArchive;
};

// Supplies the AES keys of encrypted folders.
class TKeySource {
 public:
  // Makes sure a password is at hand, asking for it once: kOk, kUnsupported when none
  // can be had, or the caller's failure.
  virtual HRes Prepare() = 0;
  // The key for `params`, derived when first needed: kOk, kUnsupported when the archive
  // has used up its derivations, or the caller's failure (a cancelled run).
  virtual HRes Key(const TAesParams& params, uint8_t key[kKeySize]) = 0;

 protected:
  ~TKeySource() = default;
};

// Decrypts `input`; the key is asked of `keys` only when the first bytes are read.
TSource* NewAesCoder(TSource* input, TKeySource& keys, const TAesParams& params, uint64_t outSize, HRes& result);

// Builds the tables of CRC, AES and SHA-256 once.
void PrepareTables();

}  // namespace szlib
