// Built into the tests of both decoder builds, so it checks both builds of the CRC-32.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "payload/crc32.h"

namespace {

// The definition, a bit at a time: independent of the tables.
uint32_t BitwiseCrc32(const uint8_t* data, size_t size) {
  uint32_t r = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    r ^= data[i];
    for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1)));
  }
  return ~r;
}

// Every length around the eight-byte steps, at every alignment, whole and split in two calls.
TEST(Crc32, MatchesTheDefinitionAtEveryLengthAlignmentAndSplit) {
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);  // the published check value
  EXPECT_EQ(Crc32Update(0, "", 0), 0u);
  std::vector<uint8_t> bytes(200);
  std::mt19937 random(7);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t size = 0; size + offset <= 40; ++size) {
      const uint8_t* data = bytes.data() + offset;
      uint32_t expected = BitwiseCrc32(data, size);
      ASSERT_EQ(Crc32Update(0, data, size), expected) << offset << " " << size;
      size_t half = size / 3;
      ASSERT_EQ(Crc32Update(Crc32Update(0, data, half), data + half, size - half), expected);
    }
  }
  EXPECT_EQ(Crc32Update(0, bytes.data(), bytes.size()), BitwiseCrc32(bytes.data(), bytes.size()));
}

}  // namespace
