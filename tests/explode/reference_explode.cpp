// The first, straightforward decoder of the implode stream format, kept unchanged as the
// reference the fast decoder is compared against: one symbol at a time, a bit buffer that
// holds 8 to 15 bits, one byte loaded per consume, byte-by-byte match copies. Its results,
// callback calls and partial output on damaged or cut streams are the behaviour to keep.
#include "explode/reference_explode.h"

#include "payload/implode_codes.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace {

// Fixed codes: payload/implode_codes.h, shared with the decoder and the compressor. (The
// decoder's tests write the codes out again on their own, as a cross-check.)
using namespace implode_codes;

// Literal codes longer than 8 bits are split into classes by their first bits (see
// BuildLiteralTables). This walks the same split over the fixed code and checks that it is
// sound: no two codes claim one table entry, every code is found again with the lookups
// DecodeSymbol makes, and the class sizes are the expected ones.
struct LiteralSplitCheck {
  uint16_t owner[4][256];  // 0 = free, else symbol + 1
  bool ok = true;
  uint32_t classCount[4] = {};

  constexpr LiteralSplitCheck() : owner{} {
    for (int s = 255; s >= 0; --s) {
      const uint32_t v = kLiteralCodes[s];
      const uint32_t n = kLiteralBits[s];
      uint32_t table = 0, shift = 0, size = 256;
      if (n > 8 && (v & 0xFF) != 0) {
        if ((v & 0x3F) != 0) {
          table = 1, shift = 4;
        } else {
          table = 2, shift = 6, size = 128;
        }
      } else if (n > 8) {
        table = 3, shift = 8;
      }
      ++classCount[table];
      if (n - shift > 8 || (table == 2 && n - shift > 7)) ok = false;
      for (uint32_t i = v >> shift; i < size; i += 1u << (n - shift)) {
        if (owner[table][i] != 0) ok = false;
        owner[table][i] = static_cast<uint16_t>(s + 1);
      }
    }
    // Decode each code followed by all-zero and all-one padding.
    for (uint32_t s = 0; s < 256 && ok; ++s) {
      for (uint32_t pad = 0; pad < 2; ++pad) {
        const uint32_t n = kLiteralBits[s];
        const uint32_t bits = kLiteralCodes[s] | (pad ? (0xFFFFFFu << n) & 0xFFFFFF : 0);
        const uint32_t first = bits & 0xFF;
        uint32_t found = 0;
        if (first == 0) {
          found = owner[3][(bits >> 8) & 0xFF];
        } else if (owner[0][first] != 0) {
          found = owner[0][first];
        } else if ((first & 0x3F) != 0) {
          found = owner[1][(bits >> 4) & 0xFF];
        } else {
          found = owner[2][(bits >> 6) & 0x7F];
        }
        if (found != s + 1) ok = false;
      }
    }
  }
};
constexpr LiteralSplitCheck kLiteralSplit;
static_assert(kLiteralSplit.ok, "literal code split into lookup tables must be unambiguous");
static_assert(kLiteralSplit.classCount[0] == 69 && kLiteralSplit.classCount[1] == 86 &&
                  kLiteralSplit.classCount[2] == 69 && kLiteralSplit.classCount[3] == 32,
              "literal code classes have the expected sizes");
// The first-level table uses 255 as the escape to a second level; byte 255 must never occupy a
// first-level entry itself.
static_assert(kLiteralBits[255] > 8, "byte 255 must not have a first-level code");

// Symbols returned by DecodeSymbol: 0-255 literal bytes, 256 + length value for matches.
constexpr uint32_t kFirstMatchSymbol = 256;
constexpr uint32_t kEndOfStreamLengthValue = 517;  // length code 15 with extra value 255
constexpr uint32_t kEndOfStream = kFirstMatchSymbol + kEndOfStreamLengthValue;  // 773
constexpr uint32_t kDecodeFailed = kEndOfStream + 1;                            // 774
constexpr uint32_t kEscape = 255;

constexpr uint32_t kHistoryStart = 0;
constexpr uint32_t kBlockStart = kExplodeBlockSize;    // 4096: first output position
constexpr uint32_t kBlockEnd = 2 * kExplodeBlockSize;  // 8192: a full block is ready

// Every check of input against what the decoder can accept goes through here: when the
// condition does not hold, the enclosing function returns the given failure value.
#define EXPLODE_CHECK(condition, failure) \
  do {                                    \
    if (!(condition)) return (failure);   \
  } while (0)

// ---------------------------------------------------------------------------------------------
// Bit reader.
//
// State, all in the work area:
//   bitBuffer  the loaded stream bits not yet consumed; bit 0 is the next stream bit. It always
//              holds 8 + extraBits valid bits and zeros above them, so the next 8 bits can be
//              looked at (bitBuffer & 0xFF) without reading and without a failure path.
//   extraBits  how many valid bits lie above the lowest 8 (0-7).
//   input[inputPos, inputCount)
//              bytes delivered by the read callback and not yet loaded into bitBuffer.
// Consume(n), 1 <= n <= 8, drops n bits. When fewer than n bits lie above the lowest 8, it
// loads exactly one more byte (refilling input through the read callback when it is used up)
// so that 8 valid bits remain afterwards. It fails only when the callback returns 0; then the
// state is unchanged and decoding stops. Because of the 8-bit look-ahead, a consume that ends
// within the last input byte fails, even though the consumed bits themselves were present.

bool Consume(ReferenceWorkArea* work, uint32_t n) {
  if (work->extraBits >= n) {
    work->bitBuffer >>= n;
    work->extraBits -= n;
    return true;
  }
  if (work->inputPos == work->inputCount) {
    uint32_t size = kExplodeReadSize;
    const uint32_t count = work->read(reinterpret_cast<char*>(work->input), &size, work->param);
    EXPLODE_CHECK(count != 0, false);
    // A callback that claims more than it was offered cannot make us read past the buffer.
    work->inputCount = count < kExplodeReadSize ? count : kExplodeReadSize;
    work->inputPos = 0;
  }
  work->bitBuffer >>= work->extraBits;  // exactly 8 valid bits remain
  work->bitBuffer |= uint32_t{work->input[work->inputPos++]} << 8;
  work->bitBuffer >>= n - work->extraBits;
  work->extraBits += 8 - n;
  return true;
}

inline uint32_t Peek8(const ReferenceWorkArea* work) {
  return work->bitBuffer & 0xFF;
}

// ---------------------------------------------------------------------------------------------
// Decode tables, rebuilt on every call.

// Sets entries code, code + 2^bits, ... below size to value.
void FillEntries(uint8_t* table, uint32_t size, uint32_t code, uint32_t bits, uint8_t value) {
  for (uint32_t i = code; i < size; i += 1u << bits) table[i] = value;
}

void BuildLiteralTables(ReferenceWorkArea* work) {
  std::memcpy(work->literalBits, kLiteralBits, sizeof(work->literalBits));
  for (int s = 255; s >= 0; --s) {
    const uint32_t v = kLiteralCodes[s];
    const uint32_t n = work->literalBits[s];
    const uint8_t value = static_cast<uint8_t>(s);
    if (n <= 8) {
      FillEntries(work->literalTable, 256, v, n, value);
    } else if ((v & 0xFF) != 0) {
      work->literalTable[v & 0xFF] = kEscape;
      if ((v & 0x3F) != 0) {
        work->literalBits[s] = static_cast<uint8_t>(n - 4);
        FillEntries(work->literalTableAfter4, 256, v >> 4, n - 4, value);
      } else {
        work->literalBits[s] = static_cast<uint8_t>(n - 6);
        FillEntries(work->literalTableAfter6, 128, v >> 6, n - 6, value);
      }
    } else {
      work->literalBits[s] = static_cast<uint8_t>(n - 8);
      FillEntries(work->literalTableAfter8, 256, v >> 8, n - 8, value);
    }
  }
}

template <size_t N>
void BuildShortCodeTable(uint8_t* table, const uint8_t (&codes)[N], const uint8_t (&bits)[N]) {
  for (int i = static_cast<int>(N) - 1; i >= 0; --i) {
    FillEntries(table, 256, codes[i], bits[i], static_cast<uint8_t>(i));
  }
}

// ---------------------------------------------------------------------------------------------
// Symbols.

// Returns a literal byte (0-255), 256 + a match's length value, kEndOfStream or kDecodeFailed.
uint32_t DecodeSymbol(ReferenceWorkArea* work) {
  if (work->bitBuffer & 1) {
    EXPLODE_CHECK(Consume(work, 1), kDecodeFailed);
    const uint32_t code = work->lengthTable[Peek8(work)];
    EXPLODE_CHECK(Consume(work, work->lengthBits[code]), kDecodeFailed);
    uint32_t value = code;
    const uint32_t extraBits = work->lengthExtraBits[code];
    if (extraBits != 0) {
      value = work->lengthBase[code] + (work->bitBuffer & ((1u << extraBits) - 1));
      // The end-of-stream code's last bit may lie in the last input byte; its bits are already
      // loaded, so only the look-ahead beyond it is missing.
      EXPLODE_CHECK(Consume(work, extraBits) || value == kEndOfStreamLengthValue, kDecodeFailed);
    }
    return kFirstMatchSymbol + value;
  }

  EXPLODE_CHECK(Consume(work, 1), kDecodeFailed);
  if (work->literalMode == 0) {
    const uint32_t byte = Peek8(work);
    EXPLODE_CHECK(Consume(work, 8), kDecodeFailed);
    return byte;
  }
  const uint32_t first = Peek8(work);
  uint32_t byte;
  if (first == 0) {
    EXPLODE_CHECK(Consume(work, 8), kDecodeFailed);
    byte = work->literalTableAfter8[Peek8(work)];
  } else {
    byte = work->literalTable[first];
    if (byte == kEscape) {
      if ((first & 0x3F) != 0) {
        EXPLODE_CHECK(Consume(work, 4), kDecodeFailed);
        byte = work->literalTableAfter4[Peek8(work)];
      } else {
        EXPLODE_CHECK(Consume(work, 6), kDecodeFailed);
        byte = work->literalTableAfter6[Peek8(work) & 0x7F];
      }
    }
  }
  EXPLODE_CHECK(Consume(work, work->literalBits[byte]), kDecodeFailed);
  return byte;
}

// Returns the distance (1 or more) of a match of the given length, or 0 when input ran out.
uint32_t DecodeDistance(ReferenceWorkArea* work, uint32_t length) {
  const uint32_t code = work->distanceTable[Peek8(work)];
  EXPLODE_CHECK(Consume(work, work->distanceBits[code]), 0);
  const uint32_t lowBits = length == 2 ? 2 : work->dictBits;
  const uint32_t lowMask = length == 2 ? 3 : work->dictMask;
  const uint32_t low = work->bitBuffer & lowMask;
  EXPLODE_CHECK(Consume(work, lowBits), 0);
  return (code << lowBits) + low + 1;
}

void WriteOutput(ReferenceWorkArea* work, uint32_t count) {
  work->write(reinterpret_cast<char*>(work->window + kBlockStart), &count, work->param);
}

// Decodes symbols until the end-of-stream code or until input runs out. Returns kEndOfStream or
// kDecodeFailed. Writes every full block; the caller writes the rest.
uint32_t DecodeBody(ReferenceWorkArea* work) {
  // A distance reaching before the first output byte copies zeros rather than whatever the
  // caller's memory held, so damaged input still decodes deterministically.
  std::memset(work->window + kHistoryStart, 0, kBlockStart - kHistoryStart);
  work->outputPos = kBlockStart;
  for (;;) {
    const uint32_t symbol = DecodeSymbol(work);
    if (symbol >= kEndOfStream) return symbol;
    if (symbol < kFirstMatchSymbol) {
      work->window[work->outputPos++] = static_cast<uint8_t>(symbol);
    } else {
      const uint32_t length = symbol - (kFirstMatchSymbol - 2);
      const uint32_t distance = DecodeDistance(work, length);
      EXPLODE_CHECK(distance != 0, kDecodeFailed);
      // Distances are at most 4096 and the position at least 4096, so the source stays inside
      // the window; byte by byte, so that a distance shorter than the length repeats.
      uint8_t* out = work->window + work->outputPos;
      const uint8_t* from = out - distance;
      for (uint32_t i = 0; i < length; ++i) out[i] = from[i];
      work->outputPos += length;
    }
    if (work->outputPos >= kBlockEnd) {
      WriteOutput(work, kExplodeBlockSize);
      std::memmove(work->window, work->window + kExplodeBlockSize,
                   work->outputPos - kExplodeBlockSize);
      work->outputPos -= kExplodeBlockSize;
    }
  }
}

}  // namespace

int32_t ReferenceExplodeStream(ExplodeReadFn read, ExplodeWriteFn write, ReferenceWorkArea* work,
                               void* param) {
  work->read = read;
  work->write = write;
  work->param = param;

  uint32_t size = kExplodeReadSize;
  uint32_t count = read(reinterpret_cast<char*>(work->input), &size, param);
  // The shortest stream (header and end-of-stream code) is 4 bytes; it is refused as well.
  EXPLODE_CHECK(count > 4, kExplodeShortInput);
  work->inputCount = count < kExplodeReadSize ? count : kExplodeReadSize;

  work->literalMode = work->input[0];
  work->dictBits = work->input[1];
  work->bitBuffer = work->input[2];
  work->extraBits = 0;
  work->inputPos = 3;

  EXPLODE_CHECK(work->dictBits >= 4 && work->dictBits <= 6, kExplodeBadDictionary);
  work->dictMask = 0xFFFFu >> (16 - work->dictBits);
  EXPLODE_CHECK(work->literalMode <= 1, kExplodeBadLiteralMode);
  if (work->literalMode == 1) BuildLiteralTables(work);

  std::memcpy(work->lengthBits, kLengthBits, sizeof(work->lengthBits));
  BuildShortCodeTable(work->lengthTable, kLengthCodes, kLengthBits);
  std::memcpy(work->lengthExtraBits, kLengthExtraBits, sizeof(work->lengthExtraBits));
  std::memcpy(work->lengthBase, kLengthBase, sizeof(work->lengthBase));
  std::memcpy(work->distanceBits, kDistanceBits, sizeof(work->distanceBits));
  BuildShortCodeTable(work->distanceTable, kDistanceCodes, kDistanceBits);

  const uint32_t stop = DecodeBody(work);
  WriteOutput(work, work->outputPos - kBlockStart);
  return stop == kEndOfStream ? kExplodeOk : kExplodeTruncated;
}
