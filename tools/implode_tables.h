// The fixed prefix codes of the implode stream format, as the encoder uses them. The codes
// themselves live in payload/implode_codes.h, shared with the decoder.
#ifndef TSARIN_TOOLS_IMPLODE_TABLES_H
#define TSARIN_TOOLS_IMPLODE_TABLES_H

#include <cstddef>
#include <cstdint>

#include "payload/implode_codes.h"

namespace implode_tables {

constexpr int kLengthCodes = 16;
constexpr int kDistanceCodes = 64;
constexpr int kLiteralCodes = 256;

using implode_codes::kDistanceBits;
using implode_codes::kLengthBase;
using implode_codes::kLengthBits;
using implode_codes::kLengthExtraBits;
using implode_codes::kLiteralBits;
inline constexpr const uint8_t (&kLengthStored)[kLengthCodes] = implode_codes::kLengthCodes;
inline constexpr const uint8_t (&kDistanceStored)[kDistanceCodes] = implode_codes::kDistanceCodes;

template <size_t N>
struct StoredCodes {
  uint16_t code[N];
};
constexpr StoredCodes<kLiteralCodes> LiteralStored() {
  StoredCodes<kLiteralCodes> out{};
  for (int i = 0; i < kLiteralCodes; ++i) out.code[i] = implode_codes::kLiteralCodes[i];
  return out;
}
constexpr StoredCodes<kLiteralCodes> kLiteralStored = LiteralStored();

constexpr int kEndCode = 15;  // with extra value kEndExtra: end of stream, no distance
constexpr uint32_t kEndExtra = 255;

static_assert(kLengthBase[kEndCode] + kEndExtra + 2 == 519,
              "the end code sits one past the longest match");

constexpr bool LengthBasesChain() {
  for (int i = 0; i + 1 < kLengthCodes; ++i)
    if (kLengthBase[i] + (1u << kLengthExtraBits[i]) != kLengthBase[i + 1]) return false;
  return true;
}
static_assert(LengthBasesChain(), "each length code must start where the one before ends");

}  // namespace implode_tables

#endif  // TSARIN_TOOLS_IMPLODE_TABLES_H
