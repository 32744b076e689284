// Built into the tests of the tools' and of the setup's build, so it checks both CRC-32 builds.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "payload/crc32.h"

namespace {

// The definition, a bit at a time: `r` is the complemented register before `byte`.
uint32_t BitwiseStep(uint32_t r, uint8_t byte) {
  r ^= byte;
  for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1)));
  return r;
}

// Every length to past a thousand bytes (the eight-byte steps, the 64- and 16-byte folds and
// their tails), at every alignment to 16 bytes, whole and split in two calls.
TEST(Crc32, MatchesTheDefinitionAtEveryLengthAlignmentAndSplit) {
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);  // the published check value
  alignas(16) static uint8_t bytes[1100];
  std::mt19937 random(7);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 16; ++offset) {
    const uint8_t* data = bytes + offset;
    uint32_t r = 0xFFFFFFFFu;
    for (size_t size = 0; offset + size < sizeof bytes; r = BitwiseStep(r, data[size++])) {
      ASSERT_EQ(Crc32Update(0, data, size), ~r) << offset << " " << size;
      ASSERT_EQ(Crc32Update(Crc32Update(0, data, size / 3), data + size / 3, size - size / 3), ~r);
    }
  }
}

}  // namespace
