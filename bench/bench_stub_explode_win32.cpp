// The setup's decoder as the setup program has it (compiled for size, the small decoder),
// against zlib's inflate built for the same Windows target (Debian's mingw-w64 zlib): both
// decode the corpus that `bench-explode prepare DIR` wrote, in memory, taking turns, best of N.
// bench/wine.sh runs it under Wine.
//   bench-stub-explode DIR [repetitions]
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_memory.h"
#include "payload/explode.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool ReadAll(const std::string& path, Bytes* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0)
    out->insert(out->end(), block, block + got);
  std::fclose(f);
  return true;
}

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "bench-stub-explode: %s\n", why.c_str());
  std::exit(1);
}

double Now() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Item {
  Bytes raw, streams[3], out;  // explode mode 0, mode 1, zlib
};

// Decodes every item once with one decoder; false when one does not come out as its raw data.
bool DecodeAll(int decoder, std::vector<Item>* items, ExplodeWorkArea* work) {
  for (Item& item : *items) {
    const Bytes& in = item.streams[decoder];
    if (decoder < 2) {
      MemoryStream m;
      m.SetInput(in.data(), in.size());
      m.output = item.out.data();
      m.outputSize = item.out.size();
      if (ExplodeStream(ReadMemory, WriteMemory, work, &m) != kExplodeOk ||
          m.outputPos != item.out.size()) {
        return false;
      }
    } else {
      uLongf size = item.out.size();
      if (uncompress(item.out.data(), &size, in.data(), in.size()) != Z_OK ||
          size != item.out.size()) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Fail("usage: bench-stub-explode DIR [repetitions]");
  const std::string dir = argv[1];
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
  Bytes list;
  if (!ReadAll(dir + "/corpus.list", &list)) Fail("no corpus.list in " + dir);
  std::vector<Item> items;
  size_t total = 0;
  std::string name;
  const char* const kSuffix[] = {".explode0", ".explode1", ".zlib"};
  for (uint8_t c : list) {
    if (c != '\n') {
      name.push_back(static_cast<char>(c));
      continue;
    }
    Item item;
    if (!ReadAll(dir + "/" + name + ".raw", &item.raw)) Fail("missing " + name + ".raw");
    for (int d = 0; d < 3; ++d) {
      if (!ReadAll(dir + "/" + name + kSuffix[d], &item.streams[d])) Fail("missing " + name);
    }
    item.out.assign(item.raw.size(), 0);
    total += item.raw.size();
    items.push_back(std::move(item));
    name.clear();
  }
  auto work = std::make_unique<ExplodeWorkArea>();
  double best[3] = {1e30, 1e30, 1e30};
  for (int rep = 0; rep < repetitions; ++rep) {
    for (int d = 0; d < 3; ++d) {
      const double start = Now();
      if (!DecodeAll(d, &items, work.get())) Fail("a round trip failed");
      const double seconds = Now() - start;
      if (seconds < best[d]) best[d] = seconds;
      for (const Item& item : items) {
        if (item.out != item.raw) Fail("a round trip came out wrong");
      }
    }
  }
  std::printf("%zu-bit build, %zu items, %zu bytes, best of %d\n", sizeof(void*) * 8, items.size(),
              total, repetitions);
  for (int mode = 0; mode < 2; ++mode) {
    std::printf("explode mode %d %8.1f MB/s   zlib %8.1f MB/s   %.2fx zlib   goal: 1.5x\n", mode,
                total / best[mode] / 1e6, total / best[2] / 1e6, best[2] / best[mode]);
  }
  return 0;
}
