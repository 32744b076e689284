// Shared by the fuzz targets: a failed check that aborts, and a decoder run through callbacks
// that check its calling contract and record every call.
#ifndef TSARIN_FUZZ_FUZZ_SUPPORT_H
#define TSARIN_FUZZ_FUZZ_SUPPORT_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/explode.h"

// A failed check aborts; libFuzzer then reports the input and where it failed.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : std::abort())

// The densest symbol is a 518-byte match in 22 bits (flag, 7-bit length code, 8 extra bits,
// 2-bit distance code, 4 low bits): under 189 output bytes per input byte.
constexpr uint64_t kMaxOutputPerInputByte = 189;

// One decoding of size bytes at data, handed over in reads of firstRead bytes, then of
// laterReads bytes.
struct Decoding {
  const uint8_t* data;
  size_t size;
  uint32_t firstRead, laterReads;
  size_t pos = 0;
  int reads = 0, writes = 0;
  bool inputEnded = false, finalWritten = false;
  int32_t result = -1;
  std::string output{};
  std::vector<uint32_t> calls{};  // every call in order: a read's count, or a write's | 1 << 31
};

inline uint32_t FuzzRead(char* buffer, uint32_t* size, void* param) {
  Decoding* d = static_cast<Decoding*>(param);
  FUZZ_CHECK(*size == kExplodeReadSize);
  // Never asked again after being told the input has ended, nor after the final write.
  FUZZ_CHECK(!d->inputEnded && !d->finalWritten);
  const size_t n =
      std::min<size_t>(d->size - d->pos, d->reads++ == 0 ? d->firstRead : d->laterReads);
  std::memcpy(buffer, d->data + d->pos, n);
  d->pos += n;
  d->inputEnded = n == 0;
  d->calls.push_back(static_cast<uint32_t>(n));
  *size = 0;  // the count is the return value
  return static_cast<uint32_t>(n);
}

inline void FuzzWrite(char* buffer, uint32_t* count, void* param) {
  Decoding* d = static_cast<Decoding*>(param);
  // Whole blocks, then one final shorter block.
  FUZZ_CHECK(!d->finalWritten && *count <= kExplodeBlockSize);
  d->finalWritten = *count < kExplodeBlockSize;
  ++d->writes;
  d->output.append(buffer, *count);
  d->calls.push_back(*count | 1u << 31);
  // A decoder that loops without consuming input would break this.
  FUZZ_CHECK(d->output.size() <= kMaxOutputPerInputByte * d->size + kExplodeBlockSize);
}

// Runs decoder (ExplodeStream, or a decoder with the same contract and its own work area,
// whose contents before the call do not matter).
template <typename WorkArea>
Decoding Decode(int32_t (*decoder)(ExplodeReadFn, ExplodeWriteFn, WorkArea*, void*),
                const uint8_t* data, size_t size, uint32_t firstRead = kExplodeReadSize,
                uint32_t laterReads = kExplodeReadSize) {
  static std::unique_ptr<WorkArea> work(new WorkArea);
  std::memset(static_cast<void*>(work.get()), 0x5A, sizeof(WorkArea));
  Decoding d{data, size, firstRead, laterReads};
  d.result = decoder(FuzzRead, FuzzWrite, work.get(), &d);
  FUZZ_CHECK(d.result >= kExplodeOk && d.result <= kExplodeTruncated);
  // Exactly one final write on success and after a data error; none after a header refusal.
  FUZZ_CHECK(d.result == kExplodeOk || d.result == kExplodeTruncated
                 ? d.finalWritten
                 : d.writes == 0 && d.reads == 1);
  FUZZ_CHECK(d.output.size() <= kMaxOutputPerInputByte * size);
  return d;
}

#endif  // TSARIN_FUZZ_FUZZ_SUPPORT_H
