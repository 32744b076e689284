#include "payload/crc32.h"

#ifndef TSARIN_SMALL_CRC
#ifdef __OPTIMIZE_SIZE__
#define TSARIN_SMALL_CRC 1
#else
#define TSARIN_SMALL_CRC 0
#endif
#endif

// On x86-64 the fast build folds 64 bytes a step with carry-less multiplication where the
// processor has it (checked at run time; only that function is compiled for it).
#if !TSARIN_SMALL_CRC && defined(__x86_64__) && defined(__GNUC__)
#define TSARIN_CLMUL_CRC 1
#include <immintrin.h>
#else
#define TSARIN_CLMUL_CRC 0
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

// Crc32Update through the tables.
uint32_t TableUpdate(uint32_t crc, const unsigned char* p, size_t size) {
  const uint32_t(*t)[256] = TheTables().table;
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

#if TSARIN_CLMUL_CRC
// Folding. Sixteen bytes loaded little-endian are a polynomial of degree 127 with the first
// bit's coefficient in bit 0 (bit i holds x^(127-i)), the order the register uses; the CRC of a
// message is the message times x^32 modulo P. A block B that lies D bits before the end of what
// has been read contributes B * x^D, so B can be replaced by any polynomial congruent to it
// modulo P and moved D bits on: with B = H * x^64 + L (H its first eight bytes), B * x^D is
// congruent to H * (x^(D+64) mod P) + L * (x^D mod P), which has fewer than 128 bits and is
// added to the block D bits further.
//
// A carry-less product of a quadword (bit i holds x^(63-i)) and a constant whose bit i holds
// x^(32-i) has bit i holding x^(95-i); read as a 128-bit block (x^(127-i)) it is the product
// times x^32. The constant that multiplies by x^n is therefore x^(n-32) mod P, in the
// register's bit order (bit 31-d holds x^d) moved up one bit.

// x^n mod P in the register's bit order.
constexpr uint32_t PowerOfXModP(int n) {
  uint32_t r = 0x80000000u;                                          // x^0
  for (; n > 0; --n) r = (r >> 1) ^ (kPolynomial & (0u - (r & 1)));  // times x
  return r;
}
static_assert(PowerOfXModP(0) == 0x80000000u && PowerOfXModP(31) == 0x00000001u, "x^0, x^31");
static_assert(PowerOfXModP(32) == kPolynomial, "x^32 is P without its top term");
static_assert(PowerOfXModP(33) == 0x76DC4190u, "x^33: no reduction, one place on");
static_assert(PowerOfXModP(39) == 0x77073096u, "x^39: table[0][1], byte 1 (x^7) times x^32");

constexpr uint64_t FoldConstant(int n) {
  return uint64_t{PowerOfXModP(n - 32)} << 1;
}

// The constants that move a block 64 bytes and 16 bytes on: H's (low quadword), then L's.
constexpr uint64_t kBy64Bytes[2] = {FoldConstant(512 + 64), FoldConstant(512)};
constexpr uint64_t kBy16Bytes[2] = {FoldConstant(128 + 64), FoldConstant(128)};

__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldConstants(const uint64_t (&k)[2]) {
  return _mm_set_epi64x(static_cast<long long>(k[1]), static_cast<long long>(k[0]));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i block, __m128i constants,
                                                             __m128i next) {
  const __m128i h = _mm_clmulepi64_si128(block, constants, 0x00);
  const __m128i l = _mm_clmulepi64_si128(block, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(h, l), next);
}

constexpr size_t kClmulMinimum = 15 + 64;  // the unaligned head, then four blocks at least

// Crc32Update for `size` >= kClmulMinimum: four blocks in flight, 64 bytes apart.
__attribute__((target("pclmul,sse4.1"))) uint32_t ClmulUpdate(uint32_t crc, const unsigned char* p,
                                                              size_t size) {
  const size_t head = (0u - reinterpret_cast<uintptr_t>(p)) & 15;
  const uint32_t r = ~TableUpdate(crc, p, head);
  p += head;
  size -= head;
  auto load = [](const unsigned char* at) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(at));
  };
  // The register so far adds to the first 32 bits still to come.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(r)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  size -= 64;
  const __m128i by64Bytes = FoldConstants(kBy64Bytes);
  for (; size >= 64; size -= 64, p += 64) {
    x0 = Fold(x0, by64Bytes, load(p));
    x1 = Fold(x1, by64Bytes, load(p + 16));
    x2 = Fold(x2, by64Bytes, load(p + 32));
    x3 = Fold(x3, by64Bytes, load(p + 48));
  }
  const __m128i by16Bytes = FoldConstants(kBy16Bytes);
  x0 = Fold(Fold(Fold(x0, by16Bytes, x1), by16Bytes, x2), by16Bytes, x3);
  for (; size >= 16; size -= 16, p += 16) x0 = Fold(x0, by16Bytes, load(p));
  // What is left of everything so far is these 16 bytes, read from a zero register.
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x0);
  return TableUpdate(TableUpdate(~0u, rest, 16), p, size);
}
#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
#if TSARIN_CLMUL_CRC
  if (size >= kClmulMinimum && __builtin_cpu_supports("pclmul") &&
      __builtin_cpu_supports("sse4.1")) {
    return ClmulUpdate(crc, p, size);
  }
#endif
  return TableUpdate(crc, p, size);
}
