// Memory-to-memory callbacks for the decoder, shared by the benchmarks that decode: input from
// one buffer, output into another of fixed size, each as cheap as the caller's side can be.
#ifndef TSARIN_BENCH_BENCH_MEMORY_H
#define TSARIN_BENCH_BENCH_MEMORY_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct MemoryStream {
  const uint8_t* input = nullptr;
  size_t inputSize = 0;
  size_t inputPos = 0;
  uint8_t* output = nullptr;
  size_t outputSize = 0;
  size_t outputPos = 0;
  size_t overflow = 0;  // bytes delivered beyond outputSize, counted and dropped

  // Starts reading another stream; output goes on after what is there.
  void SetInput(const uint8_t* data, size_t size) {
    input = data;
    inputSize = size;
    inputPos = 0;
  }
};

inline uint32_t ReadMemory(char* buffer, uint32_t* size, void* param) {
  MemoryStream* m = static_cast<MemoryStream*>(param);
  const size_t n = std::min<size_t>(*size, m->inputSize - m->inputPos);
  std::memcpy(buffer, m->input + m->inputPos, n);
  m->inputPos += n;
  return static_cast<uint32_t>(n);
}

inline void WriteMemory(char* buffer, uint32_t* count, void* param) {
  MemoryStream* m = static_cast<MemoryStream*>(param);
  const size_t n = std::min<size_t>(*count, m->outputSize - m->outputPos);
  std::memcpy(m->output + m->outputPos, buffer, n);
  m->outputPos += n;
  m->overflow += *count - n;
}

#endif  // TSARIN_BENCH_BENCH_MEMORY_H
