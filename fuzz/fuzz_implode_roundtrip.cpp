// libFuzzer target for the compressor: any input under any header must come back unchanged
// through the setup's decoder. Byte 0 picks the header and the parser (bit 0: literal mode,
// bits 1-2: dictionary bits 4, 5 or 6 (3 counts as 6), bit 3: optimal instead of lazy); the
// rest is the data. Besides the round trip it checks that the stream is exactly as long as its
// symbols, so that nothing after it would be taken for part of it.
#include <vector>

#include "fuzz_support.h"
#include "tools/implode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int dictBits = std::min(4 + ((data[0] >> 1) & 3), 6);
  const ImplodeParser parser = (data[0] & 8) != 0 ? ImplodeParser::kOptimal : ImplodeParser::kLazy;
  std::vector<uint8_t> stream;
  FUZZ_CHECK(ImplodeBuffer(data + 1, size - 1, {data[0] & 1, dictBits, parser}, &stream));
  const ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), nullptr);
  FUZZ_CHECK(scan.result == ImplodeScanResult::kOk && scan.usedBytes == stream.size() &&
             scan.outputBytes == size - 1);
  // Header and end code alone: 4 bytes, which the decoder refuses as too short by design.
  if (size == 1) {
    FUZZ_CHECK(stream.size() == 4);
    return 0;
  }
  const Decoding d = Decode(ExplodeStream, stream.data(), stream.size());
  FUZZ_CHECK(d.result == kExplodeOk &&
             d.output == std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}
