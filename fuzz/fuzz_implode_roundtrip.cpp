// libFuzzer target for the compressor: any input under any header must come back unchanged
// through the setup's decoder. Byte 0 picks the header and the parser (bit 0: literal mode,
// bits 1-2: dictionary bits 4, 5 or 6 (3 counts as 6), bit 3: optimal instead of lazy); the
// rest is the data. Besides the round trip it checks that the stream is exactly as long as its
// symbols, so that nothing after it would be taken for part of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/explode.h"
#include "tools/implode.h"

namespace {

#define FUZZ_CHECK(condition)  \
  do {                         \
    if (!(condition)) abort(); \
  } while (0)

struct Session {
  const std::vector<uint8_t>* stream;
  size_t pos = 0;
  std::vector<uint8_t> output;
};

uint32_t Read(char* buffer, uint32_t* size, void* param) {
  Session* s = static_cast<Session*>(param);
  size_t count = s->stream->size() - s->pos;
  if (count > *size) count = *size;
  memcpy(buffer, s->stream->data() + s->pos, count);
  s->pos += count;
  return static_cast<uint32_t>(count);
}

void Write(char* buffer, uint32_t* count, void* param) {
  Session* s = static_cast<Session*>(param);
  s->output.insert(s->output.end(), buffer, buffer + *count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ImplodeOptions options;
  options.literalMode = data[0] & 1;
  options.dictBits = 4 + ((data[0] >> 1) & 3);
  if (options.dictBits == 7) options.dictBits = 6;
  options.parser = (data[0] & 8) != 0 ? ImplodeParser::kOptimal : ImplodeParser::kLazy;
  ++data;
  --size;

  std::vector<uint8_t> stream;
  FUZZ_CHECK(ImplodeBuffer(data, size, options, &stream));
  const ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), nullptr);
  FUZZ_CHECK(scan.result == ImplodeScanResult::kOk);
  FUZZ_CHECK(scan.usedBytes == stream.size());
  FUZZ_CHECK(scan.outputBytes == size);
  if (size == 0) {
    // Header and end code alone: 4 bytes, which the decoder refuses as too short by design.
    FUZZ_CHECK(stream.size() == 4);
    return 0;
  }

  static std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea);
  Session s;
  s.stream = &stream;
  FUZZ_CHECK(ExplodeStream(Read, Write, work.get(), &s) == kExplodeOk);
  FUZZ_CHECK(s.output.size() == size);
  FUZZ_CHECK(memcmp(s.output.data(), data, size) == 0);
  return 0;
}
