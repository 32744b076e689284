// libFuzzer target for the implode-stream decoder. Input: byte 0 picks the size of the first
// read, byte 1 the size of the later reads, the rest is the stream. Besides the sanitizers it
// checks the calling contract, that the output stays proportional to the input (a decoder that
// loops without consuming input would break that), that the read size never changes the
// outcome, and that the decoder makes exactly the callback calls, with the same bytes, and
// returns the same result as the first, straightforward decoder kept in the tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "explode/reference_explode.h"
#include "payload/explode.h"

namespace {

// The densest symbol is a 518-byte match in 22 bits (flag, 7-bit length code, 8 extra bits,
// 2-bit distance code, 4 low bits): under 189 output bytes per input byte.
constexpr uint64_t kMaxOutputPerInputByte = 189;

#define FUZZ_CHECK(condition)  \
  do {                         \
    if (!(condition)) abort(); \
  } while (0)

struct Session {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint32_t firstRead;
  uint32_t laterReads;
  int reads = 0;
  bool inputEnded = false;
  int writes = 0;
  bool finalWritten = false;
  uint64_t outputSize = 0;
  uint64_t outputHash = 1469598103934665603ull;
  uint64_t callHash = 1469598103934665603ull;  // every call: kind, sizes, order
};

void HashCall(Session* s, uint64_t kind, uint64_t a, uint64_t b) {
  for (uint64_t v : {kind, a, b}) s->callHash = (s->callHash ^ v) * 1099511628211ull;
}

uint32_t Read(char* buffer, uint32_t* size, void* param) {
  Session* s = static_cast<Session*>(param);
  FUZZ_CHECK(*size == kExplodeReadSize);
  FUZZ_CHECK(!s->inputEnded);  // never asks again after being told the input has ended
  FUZZ_CHECK(!s->finalWritten);
  const uint32_t want = s->reads++ == 0 ? s->firstRead : s->laterReads;
  size_t count = s->size - s->pos;
  if (count > want) count = want;
  memcpy(buffer, s->data + s->pos, count);
  s->pos += count;
  s->inputEnded = count == 0;
  HashCall(s, 1, *size, count);
  *size = 0;
  return static_cast<uint32_t>(count);
}

void Write(char* buffer, uint32_t* count, void* param) {
  Session* s = static_cast<Session*>(param);
  FUZZ_CHECK(!s->finalWritten);
  FUZZ_CHECK(*count <= kExplodeBlockSize);
  s->finalWritten = *count < kExplodeBlockSize;
  ++s->writes;
  for (uint32_t i = 0; i < *count; ++i) {
    s->outputHash = (s->outputHash ^ static_cast<uint8_t>(buffer[i])) * 1099511628211ull;
  }
  s->outputSize += *count;
  HashCall(s, 2, *count, s->outputHash);
  FUZZ_CHECK(s->outputSize <= kMaxOutputPerInputByte * s->size + kExplodeBlockSize);
}

Session Decode(const uint8_t* data, size_t size, uint32_t firstRead, uint32_t laterReads,
               int32_t* result, bool reference = false) {
  static std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea);
  static std::unique_ptr<ReferenceWorkArea> referenceWork(new ReferenceWorkArea);
  memset(static_cast<void*>(work.get()), 0x5A, sizeof(ExplodeWorkArea));
  memset(static_cast<void*>(referenceWork.get()), 0xA5, sizeof(ReferenceWorkArea));
  Session s;
  s.data = data;
  s.size = size;
  s.firstRead = firstRead;
  s.laterReads = laterReads;
  *result = reference ? ReferenceExplodeStream(Read, Write, referenceWork.get(), &s)
                      : ExplodeStream(Read, Write, work.get(), &s);
  FUZZ_CHECK(*result >= kExplodeOk && *result <= kExplodeTruncated);
  if (*result == kExplodeOk || *result == kExplodeTruncated) {
    FUZZ_CHECK(s.finalWritten);  // exactly one final write, also after a data error
  } else {
    FUZZ_CHECK(s.writes == 0 && s.reads == 1);
  }
  FUZZ_CHECK(s.outputSize <= kMaxOutputPerInputByte * size);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t firstRead = data[0] * 9u > kExplodeReadSize ? kExplodeReadSize : data[0] * 9u;
  const uint32_t laterReads = data[1] == 0 ? kExplodeReadSize : data[1];
  data += 2;
  size -= 2;

  int32_t result;
  const Session chosen = Decode(data, size, firstRead, laterReads, &result);
  // The same calls, bytes and result as the reference decoder.
  int32_t referenceResult;
  const Session reference = Decode(data, size, firstRead, laterReads, &referenceResult, true);
  FUZZ_CHECK(referenceResult == result);
  FUZZ_CHECK(reference.callHash == chosen.callHash && reference.outputHash == chosen.outputHash);
  FUZZ_CHECK(reference.reads == chosen.reads && reference.writes == chosen.writes);

  if (result == kExplodeShortInput) {
    FUZZ_CHECK(firstRead <= 4 || size <= 4);
    return 0;
  }
  // Any first read above 4 bytes and any later read size give the same outcome.
  int32_t fullResult;
  const Session full = Decode(data, size, kExplodeReadSize, kExplodeReadSize, &fullResult);
  FUZZ_CHECK(fullResult == result);
  FUZZ_CHECK(full.outputSize == chosen.outputSize && full.outputHash == chosen.outputHash);
  FUZZ_CHECK(full.writes == chosen.writes);
  return 0;
}
