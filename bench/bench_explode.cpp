// Decoder benchmark: throughput of ExplodeStream on a corpus of text, executables and an
// uncompressed bitmap, next to zlib's inflate and libdeflate decompressing the same data, and
// the compressed sizes of our implode against gzip -9, zlib and libdeflate.
//
//   bench-explode [repetitions]        (default 15; the best repetition counts)
//   bench-explode prepare DIR          writes the corpus and its compressed forms to DIR
//   bench-explode once DECODER DIR     decodes the prepared corpus once with one decoder
//                                      (explode0, explode1, zlib or libdeflate) inside
//                                      DecodeCorpusOnce, for counting instructions under
//                                      valgrind --tool=callgrind --toggle-collect
//   bench-explode crc                  only the CRC-32 throughput (printed last otherwise)
#include <libdeflate.h>
#include <zlib.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_corpus.h"
#include "bench/bench_memory.h"
#include "payload/crc32.h"
#include "payload/explode.h"
#include "tools/implode.h"

namespace {

using Bytes = std::vector<uint8_t>;

using Item = BenchItem;

template <typename F>
double BestSeconds(int repetitions, F&& run) {
  double best = 1e30;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

struct Result {
  std::string name;
  size_t size = 0;
  size_t implodeLazy[2] = {};
  size_t implodeOptimal[2] = {};
  size_t gzip = 0, zlib = 0, libdeflate = 0;
  double explodeSeconds[2] = {};
  double zlibSeconds = 0, libdeflateSeconds = 0;
};

[[noreturn]] void Fail(const std::string& what) {
  fprintf(stderr, "bench-explode: %s\n", what.c_str());
  exit(1);
}

Result Measure(const Item& item, int repetitions, ExplodeWorkArea* work) {
  Result r;
  r.name = item.name;
  r.size = item.data.size();
  Bytes out(item.data.size());

  Bytes streams[2];
  for (int mode = 0; mode <= 1; ++mode) {
    ImplodeOptions options;
    options.literalMode = mode;
    options.dictBits = 6;
    Bytes lazy;
    options.parser = ImplodeParser::kLazy;
    if (!ImplodeBuffer(item.data.data(), item.data.size(), options, &lazy)) Fail("implode");
    options.parser = ImplodeParser::kOptimal;
    if (!ImplodeBuffer(item.data.data(), item.data.size(), options, &streams[mode])) {
      Fail("implode");
    }
    r.implodeLazy[mode] = lazy.size();
    r.implodeOptimal[mode] = streams[mode].size();
  }
  Bytes z(compressBound(item.data.size()));
  uLongf zSize = z.size();
  if (compress2(z.data(), &zSize, item.data.data(), item.data.size(), 9) != Z_OK) Fail("zlib");
  r.zlib = zSize;
  libdeflate_compressor* c = libdeflate_alloc_compressor(12);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  Bytes ld(libdeflate_deflate_compress_bound(c, item.data.size()));
  r.libdeflate =
      libdeflate_deflate_compress(c, item.data.data(), item.data.size(), ld.data(), ld.size());
  if (r.libdeflate == 0) Fail("libdeflate compress");
  libdeflate_free_compressor(c);

  // The four decoders take turns in every repetition, so that a busy spell on a shared machine
  // does not favour one of them; the best time of each counts.
  for (double* seconds :
       {&r.explodeSeconds[0], &r.explodeSeconds[1], &r.zlibSeconds, &r.libdeflateSeconds}) {
    *seconds = 1e30;
  }
  for (int rep = 0; rep < repetitions; ++rep) {
    for (int mode = 0; mode <= 1; ++mode) {
      // Time the optimal parser's streams, the ones a packer ships.
      MemoryStream m;
      int32_t result = -1;
      r.explodeSeconds[mode] = std::min(r.explodeSeconds[mode], BestSeconds(1, [&] {
                                          m = MemoryStream{};
                                          m.SetInput(streams[mode].data(), streams[mode].size());
                                          m.output = out.data();
                                          m.outputSize = out.size();
                                          result = ExplodeStream(ReadMemory, WriteMemory, work, &m);
                                        }));
      if (result != kExplodeOk || m.outputPos != out.size() || out != item.data) {
        Fail("explode round trip failed on " + item.name);
      }
    }
    r.zlibSeconds = std::min(r.zlibSeconds, BestSeconds(1, [&] {
                               uLongf outSize = out.size();
                               if (uncompress(out.data(), &outSize, z.data(), zSize) != Z_OK)
                                 Fail("inflate");
                             }));
    if (out != item.data) Fail("inflate round trip");
    r.libdeflateSeconds =
        std::min(r.libdeflateSeconds, BestSeconds(1, [&] {
                   if (libdeflate_deflate_decompress(d, ld.data(), r.libdeflate, out.data(),
                                                     out.size(), nullptr) != LIBDEFLATE_SUCCESS) {
                     Fail("libdeflate decompress");
                   }
                 }));
    if (out != item.data) Fail("libdeflate round trip");
  }
  libdeflate_free_decompressor(d);

  r.gzip = GzipSize(item.data);
  return r;
}

double MBps(size_t bytes, double seconds) {
  return seconds > 0 ? bytes / seconds / 1e6 : 0;
}

// The four compressed forms of an item, as `prepare` stores them next to the raw data.
const char* const kDecoders[] = {"explode0", "explode1", "zlib", "libdeflate"};

Bytes Compress(const Bytes& data, int decoder) {
  Bytes out;
  if (decoder <= 1) {
    ImplodeOptions options;
    options.literalMode = decoder;
    options.dictBits = 6;
    options.parser = ImplodeParser::kOptimal;
    if (!ImplodeBuffer(data.data(), data.size(), options, &out)) Fail("implode");
  } else if (decoder == 2) {
    out.resize(compressBound(data.size()));
    uLongf size = out.size();
    if (compress2(out.data(), &size, data.data(), data.size(), 9) != Z_OK) Fail("zlib");
    out.resize(size);
  } else {
    libdeflate_compressor* c = libdeflate_alloc_compressor(12);
    out.resize(libdeflate_deflate_compress_bound(c, data.size()));
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    if (out.empty()) Fail("libdeflate compress");
  }
  return out;
}

bool WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

int Prepare(const std::string& dir) {
  std::string names;
  for (const Item& item : BenchCorpus()) {
    if (item.data.empty()) continue;
    if (!WriteFile(dir + "/" + item.name + ".raw", item.data)) Fail("cannot write to " + dir);
    for (int d = 0; d < 4; ++d) {
      if (!WriteFile(dir + "/" + item.name + "." + kDecoders[d], Compress(item.data, d))) {
        Fail("cannot write to " + dir);
      }
    }
    names += item.name + "\n";
  }
  if (!WriteFile(dir + "/corpus.list", Bytes(names.begin(), names.end()))) Fail("list");
  return 0;
}

struct Prepared {
  Bytes raw, stream, out;
};

// Decodes every item once; the only code counted by `once` under callgrind.
__attribute__((noinline)) void DecodeCorpusOnce(int decoder, std::vector<Prepared>* items,
                                                ExplodeWorkArea* work,
                                                libdeflate_decompressor* ld) {
  for (Prepared& p : *items) {
    if (decoder <= 1) {
      MemoryStream m;
      m.SetInput(p.stream.data(), p.stream.size());
      m.output = p.out.data();
      m.outputSize = p.out.size();
      if (ExplodeStream(ReadMemory, WriteMemory, work, &m) != kExplodeOk) Fail("explode");
    } else if (decoder == 2) {
      uLongf outSize = p.out.size();
      if (uncompress(p.out.data(), &outSize, p.stream.data(), p.stream.size()) != Z_OK) {
        Fail("inflate");
      }
    } else if (libdeflate_deflate_decompress(ld, p.stream.data(), p.stream.size(), p.out.data(),
                                             p.out.size(), nullptr) != LIBDEFLATE_SUCCESS) {
      Fail("libdeflate decompress");
    }
  }
}

int Once(const std::string& decoderName, const std::string& dir) {
  int decoder = 0;
  while (decoder < 4 && decoderName != kDecoders[decoder]) ++decoder;
  if (decoder == 4) Fail("unknown decoder " + decoderName);
  Bytes list;
  if (!BenchReadFile(dir + "/corpus.list", &list)) Fail("run prepare first");
  std::vector<Prepared> items;
  size_t total = 0;
  std::string name;
  for (uint8_t c : list) {
    if (c != '\n') {
      name.push_back(static_cast<char>(c));
      continue;
    }
    Prepared p;
    if (!BenchReadFile(dir + "/" + name + ".raw", &p.raw) ||
        !BenchReadFile(dir + "/" + name + "." + decoderName, &p.stream)) {
      Fail("missing prepared file for " + name);
    }
    p.out.assign(p.raw.size(), 0);
    total += p.raw.size();
    items.push_back(std::move(p));
    name.clear();
  }
  auto work = std::make_unique<ExplodeWorkArea>();
  libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
  DecodeCorpusOnce(decoder, &items, work.get(), ld);
  libdeflate_free_decompressor(ld);
  for (const Prepared& p : items) {
    if (p.out != p.raw) Fail(decoderName + " round trip failed");
  }
  printf("%s %zu output bytes\n", decoderName.c_str(), total);
  return 0;
}

// CRC-32 of 64 MB in memory, ours against zlib's crc32, taking turns, best of 5.
int PrintCrc32() {
  Bytes data(64 << 20);
  std::mt19937_64 random(1);
  for (size_t i = 0; i < data.size(); i += 8) {
    const uint64_t word = random();
    memcpy(&data[i], &word, 8);
  }
  double ours = 1e30, zlib = 1e30;
  uint32_t ourCrc = 0, zlibCrc = 0;
  for (int rep = 0; rep < 5; ++rep) {
    ours =
        std::min(ours, BestSeconds(1, [&] { ourCrc = Crc32Update(0, data.data(), data.size()); }));
    zlib = std::min(
        zlib, BestSeconds(1, [&] {
          zlibCrc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        }));
  }
  if (ourCrc != zlibCrc) Fail("CRC-32 differs from zlib's");
  printf("\nCRC-32 of 64 MB in memory, GB/s (best of 5)\n");
  printf("ours %6.2f   zlib %6.2f   ours/zlib %.2f   goal: at least 1 GB/s\n",
         data.size() / ours / 1e9, data.size() / zlib / 1e9, zlib / ours);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "prepare") == 0) return Prepare(argv[2]);
  if (argc == 4 && strcmp(argv[1], "once") == 0) return Once(argv[2], argv[3]);
  if (argc == 2 && strcmp(argv[1], "crc") == 0) return PrintCrc32();
  const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
  const std::vector<Item> corpus = BenchCorpus();

  auto work = std::make_unique<ExplodeWorkArea>();
  std::vector<Result> results;
  Result total;
  total.name = "total";
  for (const Item& item : corpus) {
    if (item.data.empty()) continue;
    results.push_back(Measure(item, repetitions, work.get()));
    const Result& r = results.back();
    total.size += r.size;
    for (int m = 0; m < 2; ++m) {
      total.implodeLazy[m] += r.implodeLazy[m];
      total.implodeOptimal[m] += r.implodeOptimal[m];
      total.explodeSeconds[m] += r.explodeSeconds[m];
    }
    total.gzip += r.gzip;
    total.zlib += r.zlib;
    total.libdeflate += r.libdeflate;
    total.zlibSeconds += r.zlibSeconds;
    total.libdeflateSeconds += r.libdeflateSeconds;
  }
  results.push_back(total);

  printf("Compressed sizes in bytes (implode: dictionary byte 6; m0/m1 = literal mode 0/1)\n");
  printf("%-12s %10s %10s %10s %10s %10s %10s %10s %10s %8s\n", "file", "size", "m0 lazy",
         "m0 optimal", "m1 lazy", "m1 optimal", "gzip -9", "zlib 9", "libdefl 12", "m0opt/gz");
  for (const Result& r : results) {
    printf("%-12s %10zu %10zu %10zu %10zu %10zu %10zu %10zu %10zu %8.3f\n", r.name.c_str(), r.size,
           r.implodeLazy[0], r.implodeOptimal[0], r.implodeLazy[1], r.implodeOptimal[1], r.gzip,
           r.zlib, r.libdeflate, r.gzip ? static_cast<double>(r.implodeOptimal[0]) / r.gzip : 0.0);
  }

  printf("\nDecompression, MB/s of output (best of %d; implode streams from the optimal parser)\n",
         repetitions);
  printf("%-12s %9s %9s %9s %9s   %8s %8s %8s %8s\n", "file", "explode0", "explode1", "zlib",
         "libdefl", "e0/zlib", "e0/ldefl", "e1/zlib", "e1/ldefl");
  for (const Result& r : results) {
    const double e0 = MBps(r.size, r.explodeSeconds[0]);
    const double e1 = MBps(r.size, r.explodeSeconds[1]);
    const double z = MBps(r.size, r.zlibSeconds);
    const double l = MBps(r.size, r.libdeflateSeconds);
    printf("%-12s %9.1f %9.1f %9.1f %9.1f   %8.3f %8.3f %8.3f %8.3f\n", r.name.c_str(), e0, e1, z,
           l, e0 / z, e0 / l, e1 / z, e1 / l);
  }
  return PrintCrc32();
}
