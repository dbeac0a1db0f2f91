// 7z's AES-256 (CBC) coder and its key: SHA-256 over salt, password and a counter,
// repeated 2^n times.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/Coders.h"

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
