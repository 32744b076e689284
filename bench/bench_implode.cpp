// Compressor benchmark: sizes of the optimal and the lazy parser's streams against gzip -9 on
// the shared corpus, and each parser's speed, for literal modes 0 and 1 (dictionary byte 6).
// Every stream is also decoded with the setup's decoder and compared with its input.
//
//   bench-implode [repetitions]    (default 3; the fastest repetition of each file counts)
//
// Speeds are MB of input per second, by the processor time of this thread (which a busy shared
// machine disturbs less) and by wall time. gzip runs with -n so that the temporary file's name
// does not count.
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_corpus.h"
#include "bench/bench_memory.h"
#include "payload/explode.h"
#include "tools/implode.h"

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const std::string& what) {
  fprintf(stderr, "bench-implode: %s\n", what.c_str());
  exit(1);
}

// Processor time of this (single-threaded) process.
double ThreadSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

struct Seconds {
  double processor = 0, wall = 0;
  void Add(const Seconds& s) {
    processor += s.processor;
    wall += s.wall;
  }
};

template <typename F>
Seconds BestSeconds(int repetitions, F&& run) {
  Seconds best{1e30, 1e30};
  for (int i = 0; i < repetitions; ++i) {
    const double processor = ThreadSeconds();
    const auto wall = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> tookWall = std::chrono::steady_clock::now() - wall;
    best.processor = std::min(best.processor, ThreadSeconds() - processor);
    best.wall = std::min(best.wall, tookWall.count());
  }
  return best;
}

void CheckRoundTrip(const BenchItem& item, const Bytes& stream, const char* what) {
  auto work = std::make_unique<ExplodeWorkArea>();
  Bytes out(item.data.size());
  MemoryStream m;
  m.SetInput(stream.data(), stream.size());
  m.output = out.data();
  m.outputSize = out.size();
  if (ExplodeStream(ReadMemory, WriteMemory, work.get(), &m) != kExplodeOk ||
      m.outputPos != out.size() || m.overflow != 0 || out != item.data) {
    Fail(std::string(what) + " stream of " + item.name + " does not decode to its input");
  }
}

struct Row {
  std::string name;
  size_t size = 0;
  size_t optimal = 0, lazy = 0, gzip = 0;
  Seconds optimalSeconds, lazySeconds;
  void Add(const Row& r) {
    size += r.size;
    optimal += r.optimal;
    lazy += r.lazy;
    gzip += r.gzip;
    optimalSeconds.Add(r.optimalSeconds);
    lazySeconds.Add(r.lazySeconds);
  }
};

double MBps(size_t bytes, double seconds) {
  return seconds > 0 ? bytes / seconds / 1e6 : 0;
}

void Print(const Row& r) {
  printf("%-12s %10zu %10zu %10zu %10zu %8.4f %8.4f %8.2f %8.2f %8.2f %8.2f\n", r.name.c_str(),
         r.size, r.optimal, r.lazy, r.gzip, static_cast<double>(r.optimal) / r.lazy,
         static_cast<double>(r.optimal) / r.gzip, MBps(r.size, r.optimalSeconds.processor),
         MBps(r.size, r.lazySeconds.processor), MBps(r.size, r.optimalSeconds.wall),
         MBps(r.size, r.lazySeconds.wall));
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  std::vector<BenchItem> corpus = BenchCorpus();
  corpus.erase(std::remove_if(corpus.begin(), corpus.end(),
                              [](const BenchItem& item) { return item.data.empty(); }),
               corpus.end());
  std::vector<size_t> gzip;
  for (const BenchItem& item : corpus) {
    gzip.push_back(GzipSize(item.data));
    if (gzip.back() == 0) Fail("gzip -9 failed");
  }

  for (int mode = 0; mode <= 1; ++mode) {
    printf("%sLiteral mode %d, dictionary byte 6; speed in MB/s of input (best of %d)\n",
           mode == 0 ? "" : "\n", mode, repetitions);
    printf("%-12s %10s %10s %10s %10s %8s %8s %17s %17s\n", "", "", "", "", "", "", "",
           "MB/s (processor)", "MB/s (wall)");
    printf("%-12s %10s %10s %10s %10s %8s %8s %8s %8s %8s %8s\n", "file", "size", "optimal", "lazy",
           "gzip -9", "opt/lazy", "opt/gzip", "optimal", "lazy", "optimal", "lazy");
    Row total;
    total.name = "total";
    for (size_t i = 0; i < corpus.size(); ++i) {
      const BenchItem& item = corpus[i];
      Row r;
      r.name = item.name;
      r.size = item.data.size();
      r.gzip = gzip[i];
      ImplodeOptions options;
      options.literalMode = mode;
      options.dictBits = 6;
      Bytes stream;
      for (ImplodeParser parser : {ImplodeParser::kOptimal, ImplodeParser::kLazy}) {
        options.parser = parser;
        const Seconds seconds = BestSeconds(repetitions, [&] {
          if (!ImplodeBuffer(item.data.data(), item.data.size(), options, &stream)) {
            Fail("implode refused the options");
          }
        });
        const bool optimal = parser == ImplodeParser::kOptimal;
        CheckRoundTrip(item, stream, optimal ? "optimal" : "lazy");
        (optimal ? r.optimal : r.lazy) = stream.size();
        (optimal ? r.optimalSeconds : r.lazySeconds) = seconds;
      }
      Print(r);
      total.Add(r);
    }
    Print(total);
  }
  return 0;
}
