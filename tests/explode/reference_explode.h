// A plain decoder of the implode stream format, kept as the reference that ExplodeStream is
// compared against by the tests and the fuzzer: the same callbacks, results and calls, but a bit
// at a time, with its own copy of the codes and limits and nothing taken from payload/.
#ifndef TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H
#define TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H

#include <cstdint>

using ReferenceReadFn = uint32_t (*)(char* buffer, uint32_t* size, void* param);
using ReferenceWriteFn = void (*)(char* buffer, uint32_t* count, void* param);

struct ReferenceWorkArea {
  ReferenceReadFn read;
  ReferenceWriteFn write;
  void* param;
  uint64_t bits;  // loaded stream bits not yet taken; bit 0 is the next one
  uint32_t bitCount, inputPos, inputCount;
  uint8_t input[2048];
  uint8_t window[4096 + 4096 + 518];  // history, the block being filled, a match past its end
};

// Returns an ExplodeResult.
int32_t ReferenceExplodeStream(ReferenceReadFn read, ReferenceWriteFn write,
                               ReferenceWorkArea* work, void* param);

#endif  // TSARIN_TESTS_EXPLODE_REFERENCE_EXPLODE_H
