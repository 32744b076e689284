// The benchmark corpus shared by the decoder and compressor benchmarks: the system's license
// texts as one text, two executables (bash and libc) and a generated 24-bit bitmap. Items that
// cannot be read on this machine are left out.
#ifndef TSARIN_BENCH_BENCH_CORPUS_H
#define TSARIN_BENCH_BENCH_CORPUS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BenchItem {
  std::string name;
  std::vector<uint8_t> data;
};

// Appends the file's bytes to *out; false when it cannot be opened.
bool BenchReadFile(const std::string& path, std::vector<uint8_t>* out);

// The corpus in a fixed order; the same bytes on every run on one machine.
std::vector<BenchItem> BenchCorpus();

// Size of `gzip -9` output for data (the baseline of the compression ratios); 0 when gzip
// could not be run.
size_t GzipSize(const std::vector<uint8_t>& data);

#endif  // TSARIN_BENCH_BENCH_CORPUS_H
