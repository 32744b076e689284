// Built into the tests of both decoder builds, so it checks both builds of the CRC-32.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "payload/crc32.h"

namespace {

// The definition, a bit at a time: independent of the tables and of the folding. `r` is the
// complemented register before `byte`.
uint32_t BitwiseStep(uint32_t r, uint8_t byte) {
  r ^= byte;
  for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1)));
  return r;
}

// Every length to past a thousand bytes (the eight-byte steps, the 64- and 16-byte folds and
// their tails), at every alignment to 16 bytes, whole and split in two calls.
TEST(Crc32, MatchesTheDefinitionAtEveryLengthAlignmentAndSplit) {
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);  // the published check value
  EXPECT_EQ(Crc32Update(0, "", 0), 0u);
  alignas(16) static uint8_t bytes[1100];
  std::mt19937 random(7);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 16; ++offset) {
    const uint8_t* data = bytes + offset;
    uint32_t r = 0xFFFFFFFFu;
    for (size_t size = 0; offset + size < sizeof bytes; r = BitwiseStep(r, data[size++])) {
      const uint32_t expected = ~r;
      ASSERT_EQ(Crc32Update(0, data, size), expected) << offset << " " << size;
      size_t part = size / 3;
      ASSERT_EQ(Crc32Update(Crc32Update(0, data, part), data + part, size - part), expected);
    }
  }
}

}  // namespace
