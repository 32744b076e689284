#include "payload/crc32.h"

#ifndef TSARIN_SMALL_CRC
#ifdef __OPTIMIZE_SIZE__
#define TSARIN_SMALL_CRC 1
#else
#define TSARIN_SMALL_CRC 0
#endif
#endif

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;  // x^32 + x^26 + ... + 1, bits reflected
constexpr int kTables = TSARIN_SMALL_CRC ? 1 : 8;

// table[0][b]: the register after feeding byte b into a zero register. table[k][b]: the same
// followed by k zero bytes, which lets eight bytes be folded in at once.
struct Tables {
  uint32_t table[kTables][256];
  Tables() {
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t r = b;
      for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (kPolynomial & (0u - (r & 1)));
      table[0][b] = r;
    }
    for (int k = 1; k < kTables; ++k) {
      for (int b = 0; b < 256; ++b) {
        uint32_t previous = table[k - 1][b];
        table[k][b] = (previous >> 8) ^ table[0][previous & 0xFF];
      }
    }
  }
};

const Tables& TheTables() {
  static const Tables tables;  // thread-safe where threads exist; built on first use
  return tables;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const uint32_t(*t)[256] = TheTables().table;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uint32_t r = ~crc;
#if !TSARIN_SMALL_CRC
  for (; size >= 8; size -= 8, p += 8) {
    // Little-endian loads put the first byte lowest, where the reflected register takes it.
    uint32_t low =
        (p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24)) ^ r;
    uint32_t high = p[4] | (uint32_t{p[5]} << 8) | (uint32_t{p[6]} << 16) | (uint32_t{p[7]} << 24);
    r = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
        t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
#endif
  for (; size > 0; --size, ++p) r = (r >> 8) ^ t[0][(r ^ *p) & 0xFF];
  return ~r;
}
