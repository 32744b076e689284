// libFuzzer target for the implode-stream decoder. Input: byte 0 picks the size of the first
// read, byte 1 the size of the later reads, the rest is the stream. Besides the sanitizers and
// the calling contract (fuzz_support.h) it checks that the decoder makes exactly the callback
// calls, with the same bytes, and returns the same result as the first, straightforward
// decoder kept in the tests, and that the read size never changes the outcome.
#include "explode/reference_explode.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t firstRead = std::min<uint32_t>(data[0] * 9u, kExplodeReadSize);
  const uint32_t laterReads = data[1] == 0 ? kExplodeReadSize : data[1];
  const Decoding chosen = Decode(ExplodeStream, data + 2, size - 2, firstRead, laterReads);
  const Decoding reference =
      Decode(ReferenceExplodeStream, data + 2, size - 2, firstRead, laterReads);
  FUZZ_CHECK(reference.result == chosen.result && reference.calls == chosen.calls &&
             reference.output == chosen.output);
  if (chosen.result == kExplodeShortInput) {
    FUZZ_CHECK(firstRead <= 4 || size - 2 <= 4);
    return 0;
  }
  // Any first read above 4 bytes and any later read size give the same outcome.
  const Decoding full = Decode(ExplodeStream, data + 2, size - 2);
  FUZZ_CHECK(full.result == chosen.result && full.output == chosen.output &&
             full.writes == chosen.writes);
  return 0;
}
