// The first decoder of the implode stream format, kept as the reference for differential tests
// and fuzzing of ExplodeStream: same callbacks, same results, its own work area layout (8 to 15
// bits in a 32-bit bit buffer and 8-bit decode tables).
#ifndef TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H
#define TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H

#include <cstdint>

#include "payload/explode.h"

struct ReferenceWorkArea {
  uint32_t literalMode;
  uint32_t outputPos;
  uint32_t dictBits;
  uint32_t dictMask;
  uint32_t bitBuffer;  // 8 + extraBits valid bits; bit 0 is the next one
  uint32_t extraBits;  // loaded bits above the lowest 8 (0-7)
  uint32_t inputPos;
  uint32_t inputCount;
  void* param;
  ExplodeReadFn read;
  ExplodeWriteFn write;
  uint8_t window[2 * kExplodeBlockSize + kExplodeMaxMatch - 1];
  uint8_t input[kExplodeReadSize];
  uint8_t distanceTable[256];
  uint8_t lengthTable[256];
  uint8_t literalTable[256];
  uint8_t literalTableAfter4[256];
  uint8_t literalTableAfter6[128];
  uint8_t literalTableAfter8[256];
  uint8_t literalBits[256];
  uint8_t distanceBits[64];
  uint8_t lengthBits[16];
  uint8_t lengthExtraBits[16];
  uint16_t lengthBase[16];
};

int32_t ReferenceExplodeStream(ExplodeReadFn read, ExplodeWriteFn write, ReferenceWorkArea* work,
                               void* param);

#endif  // TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H
