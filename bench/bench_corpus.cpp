// The benchmark corpus; see bench_corpus.h.
#include "bench/bench_corpus.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

// All regular (not symlinked) license texts, in name order, as one text.
BenchItem LicenseTexts() {
  BenchItem item{"licenses", {}};
  const std::string dir = "/usr/share/common-licenses/";
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      struct stat st;
      if (lstat((dir + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        names.push_back(e->d_name);
      }
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) BenchReadFile(dir + name, &item.data);
  return item;
}

// A deterministic 800x600 24-bit BMP that looks like a dialog screenshot: gradient title bar,
// flat panels with borders, a filled circle, text-like stripes and a dithered photo area.
BenchItem Bitmap() {
  const int width = 800, height = 600, rowBytes = width * 3;
  BenchItem item{"bitmap.bmp", Bytes(54 + rowBytes * height)};
  uint8_t* h = item.data.data();
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  h[0] = 'B', h[1] = 'M';
  put32(2, static_cast<uint32_t>(item.data.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  h[26] = 1, h[28] = 24;
  put32(34, rowBytes * height);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t r = 192, g = 192, b = 192;  // face colour
      const int top = height - 1 - y;
      if (top < 30) {
        r = 0, g = 0, b = static_cast<uint8_t>(128 + x * 127 / width);
      } else if (x > 40 && x < 380 && top > 60 && top < 400) {
        const bool border = x == 41 || x == 379 || top == 61 || top == 399;
        r = g = b = border ? 128 : 255;
        if (!border && top % 18 < 10 && (x / 7 + top / 18) % 9 != 0 && x < 200 + top % 150) {
          r = g = b = 0;  // text
        }
      } else if ((x - 600) * (x - 600) + (top - 200) * (top - 200) < 90 * 90) {
        r = 200, g = 40, b = 40;
      } else if (x > 420 && x < 780 && top > 330 && top < 580) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>(seed >> 28) - 8;
        r = static_cast<uint8_t>(std::clamp(x / 4 + noise, 0, 255));
        g = static_cast<uint8_t>(std::clamp(top / 3 + noise, 0, 255));
        b = static_cast<uint8_t>(std::clamp(128 + noise * 2, 0, 255));
      }
      uint8_t* p = h + 54 + y * rowBytes + x * 3;
      p[0] = b, p[1] = g, p[2] = r;
    }
  }
  return item;
}

}  // namespace

bool BenchReadFile(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) out->insert(out->end(), buffer, buffer + n);
  fclose(f);
  return true;
}

std::vector<BenchItem> BenchCorpus() {
  std::vector<BenchItem> corpus;
  corpus.push_back(LicenseTexts());
  for (const char* path : {"/usr/bin/bash", "/lib/x86_64-linux-gnu/libc.so.6"}) {
    BenchItem item{strrchr(path, '/') + 1, {}};
    if (BenchReadFile(path, &item.data)) corpus.push_back(std::move(item));
  }
  corpus.push_back(Bitmap());
  return corpus;
}

size_t GzipSize(const std::vector<uint8_t>& data) {
  char path[] = "/tmp/bench-gzip-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 0;
  const bool written = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  close(fd);
  size_t size = 0;
  if (written) {
    const std::string command = std::string("gzip -9 -n -c ") + path + " | wc -c";
    if (FILE* p = popen(command.c_str(), "r")) {
      unsigned long n = 0;
      if (fscanf(p, "%lu", &n) == 1) size = n;
      pclose(p);
    }
  }
  unlink(path);
  return size;
}
