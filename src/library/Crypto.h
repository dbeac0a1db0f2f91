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

// False for properties that no writer makes or with more than 2^24 rounds.
bool ReadAesParams(const uint8_t* props, size_t size, TAesParams& params);

// The key for a password given as UTF-16LE bytes.
void DeriveKey(const TAesParams& params, const uint8_t* password, size_t passwordSize, uint8_t key[kKeySize]);

TSource* NewAesCoder(TSource* input, const uint8_t key[kKeySize], const uint8_t iv[16], uint64_t outSize, HRes& result);

// Builds the tables of CRC, AES and SHA-256 once.
void PrepareTables();

}  // namespace szlib
