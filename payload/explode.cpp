// Decoder of the implode stream format. See explode.h for the calling contract.
#include "payload/explode.h"

#include "payload/implode_codes.h"

#include <array>
#include <cstddef>
#include <cstring>

// The work area lives in the install context's scratch buffer, shared with its data blocks.
static_assert(sizeof(ExplodeWorkArea) <= 16644,
              "the work area must fit the install scratch buffer");
// The fast loop checks the position before every match that may be longer than 16 bytes, so
// one may start at the last block position (8191) at most; its 16-byte copies may write 15
// bytes beyond its end. Two symbols of up to 16 bytes, copied 16 bytes at a time (and a
// literal's byte stored up to 30 bytes on), stay well inside that.
static_assert(sizeof(ExplodeWorkArea::window) >= 2 * kExplodeBlockSize + kExplodeMaxMatch + 15,
              "a longest match from the last block position, and the overshoot of 16-byte "
              "copies, must fit the window");

namespace {

// ---------------------------------------------------------------------------------------------
// Fixed codes: payload/implode_codes.h.

using namespace implode_codes;

// Lengths with extra bits follow one rule, which lets a table entry carry the extra-bit count
// alone: base = 2^extra + 6.
constexpr bool LengthBasesFollowExtraBits() {
  for (uint32_t i = 0; i < 16; ++i) {
    if (kLengthExtraBits[i] != 0 && kLengthBase[i] != (1u << kLengthExtraBits[i]) + 6) {
      return false;
    }
  }
  return true;
}
static_assert(LengthBasesFollowExtraBits(), "length bases with extra bits are 2^extra + 6");

// ---------------------------------------------------------------------------------------------
// Decode tables.
//
// The symbol table is looked up with the next 11 stream bits, flag bit included, and tells
// what they start with. An entry is 16 bits: bits 0-3 are the stream bits it accounts for,
// bits 6-15 a value whose range tells the kind, so that the commonest test is one comparison:
//     0-255  a literal byte (mode 0: flag and 8 plain bits; mode 1: flag and a literal code of
//            up to 10 bits)
//   256-551  a literal code longer than 10 bits: value - 256 is the first entry of its 8-entry
//            group in the long-literal table, which the 3 bits after the first 11 index
//   576-615  a match of length value - 576, extra bits included (length codes whose code and
//            extra bits fit in the 10 bits after the flag: lengths 2-39)
//   768-776  a match whose value - 768 extra bits are still to be read (length codes 12-15)
// A long-literal group's entry counts the whole code when all codes of the group have one
// length (36 of the 37 groups), so the literal's length is known before its byte is looked up.
// The one group whose codes differ in length (three of 12 bits, two of 13) counts the first 11
// bits only and sets bit 4 (kMixedGroup). A long-literal entry holds the code bits left after
// the first 10 in bits 0-3 and the byte in bits 6-13. The distance table is looked up with the
// next 8 bits: bits 0-3 the distance code's bit length, bits 6-11 its index.

constexpr uint32_t kSymbolMask = (1u << kExplodeSymbolTableBits) - 1;
constexpr uint32_t kDirectLiteralBits = kExplodeSymbolTableBits - 1;  // code bits after the flag
constexpr uint32_t kLongLiteralGroupBits = 3;
constexpr uint32_t kLongLiteralIndexMask = kExplodeLongLiteralEntries - 1;
constexpr uint32_t kMixedGroup = 16;

constexpr uint32_t kLongLiteralValue = 256;
constexpr uint32_t kMatchValue = 576;
constexpr uint32_t kMatchExtraValue = 768;

constexpr uint16_t SymbolEntry(uint32_t bits, uint32_t value) {
  return static_cast<uint16_t>(bits | value << 6);
}

// Match lengths: the length value plus 2. The end-of-stream code is length code 15 with extra
// value 255.
constexpr uint32_t kEndOfStreamLength = 517 + 2;
// Length of a match-extra entry with e extra bits read as x: 2^e + 6 + x + 2.
constexpr uint32_t kExtraLengthOffset = 6 + 2;

static_assert(1 + kLengthBits[15] + kLengthExtraBits[15] > kExplodeSymbolTableBits,
              "the end-of-stream code must come from a match-extra entry");
static_assert(kMatchValue + kLengthBase[11] + (1u << kLengthExtraBits[11]) - 1 + 2 <
                  kMatchExtraValue,
              "resolved match lengths stay below the match-extra values");
static_assert(kLongLiteralValue + (kExplodeLongLiteralGroups << kLongLiteralGroupBits) <=
                  kMatchValue,
              "long-literal values stay below the match values");
static_assert((kExplodeLongLiteralEntries & kLongLiteralIndexMask) == 0 &&
                  kExplodeLongLiteralGroups << kLongLiteralGroupBits <= kExplodeLongLiteralEntries,
              "the long-literal table is a power of two that holds every group");
static_assert(kMatchExtraValue + 8 < 1u << 10, "match-extra values fit the entry");

// The fast loop's tables (not in builds optimised for size, where their 130 KB would outweigh
// the rest of the program). Constant data made at compile time, shared by all calls and only
// read; a stream touches one table of each kind.
//
// The coded symbol tables, one per literal mode and dictionary size, are looked up with the
// next 13 stream bits: 16 KB, which leaves room in a 32 or 48 KB first-level cache for the
// window and the rest (a 14-bit table, which holds every literal code, missed the cache four
// times as often and decoded slower). An entry resolves a whole symbol, distance code
// included, when it is a literal or a match of up to 16 bytes whose flag, length code, extra
// bits and distance code fit in those 13 bits: on executables 97% of all symbols. Literals and
// these matches then take the same steps, and the loop does not branch on which of the two
// comes next; on executables no predictor guesses that much better than a coin, and a wrong
// guess used to cost more than the decoding itself.
//   bits 0-5   the bits the symbol takes, low distance bits included; for a match the table
//              leaves to the loop's second path (longer matches, longer codes, and the
//              end-of-stream code), the flag, the length code and its extra bits when these fit
//              the lookup, else the flag and the length code
//   bits 6-15  the symbol's value: a literal's byte (0-255, or a pair value, see below); a
//              resolved match's number among the (length, distance code) pairs the tables
//              resolve, plus 256; for any other match, its length (kUnresolvedValue +
//              length - 2) or, when the length's extra bits do not fit, its length code
//              (kLengthCodeValue + code - kFirstLongLengthCode)
// The value indexes the symbol information of the literal mode and dictionary size, three
// tables side by side. A 32-bit word:
//   bits 0-7   where the symbol's low distance bits start in it
//   bits 8-15  how many there are (the operand of an x86 bit-field extraction, BEXTR)
//   bits 16-31 the base: the distance without its low bits, plus 1; for an unresolved match,
//              its length or kCodeOnlyBase + its length code
// a byte, the output the symbol takes less 1: 0 for a literal, a match's length - 1, 255 for
// an unresolved match; and a literal's byte. So a distance is the base plus the low bits, and
// one comparison of it with the length sends every symbol that cannot be copied 16 bytes at a
// time to the second path: a match that overlaps its own source (a distance below its length),
// and every unresolved match, whose length is set above any distance it may compute. A literal
// copies 16 bytes from far back in the window and then stores its byte: bytes written that long
// ago are in the cache, so the copy waits for no recent store. FastTablesDecode proves the
// tables at compile time.
#if !defined(TSARIN_SMALL_DECODER) && defined(__OPTIMIZE_SIZE__)
#define TSARIN_SMALL_DECODER 1
#endif
#if !TSARIN_SMALL_DECODER
constexpr uint32_t kCodedSymbolBits = 13;
constexpr uint32_t kCodedSymbolMask = (1u << kCodedSymbolBits) - 1;
constexpr uint32_t kCodedMatchMax = 16;
static_assert(1 + kMaxCodeBits == kCodedSymbolBits + 1,
              "every literal code but the longest fits one lookup");
static_assert(1 + kLengthBits[15] <= kCodedSymbolBits, "every length code fits one lookup");
static_assert(kCodedSymbolBits + 6 < 64, "an entry's bit count fits bits 0-5");

// Whether the coded tables resolve a match of length code i whose length (extra bits
// included) is `length` and whose distance code is d.
constexpr bool Resolves(uint32_t i, uint32_t length, uint32_t d) {
  return length <= kCodedMatchMax &&
         1u + kLengthBits[i] + kLengthExtraBits[i] + kDistanceBits[d] <= kCodedSymbolBits;
}

// The values of resolved matches, numbered in the order of their length code, extra value
// and distance code.
struct MatchValues {
  uint16_t value[kCodedMatchMax - 1][64] = {};  // by length - 2 and distance code; 0: unresolved
  uint32_t next = 256;

  constexpr MatchValues() {
    for (uint32_t i = 0; i < 16; ++i) {
      for (uint32_t x = 0; x < (1u << kLengthExtraBits[i]); ++x) {
        const uint32_t length = kLengthBase[i] + x + 2;
        for (uint32_t d = 0; d < 64; ++d) {
          if (Resolves(i, length, d)) value[length - 2][d] = static_cast<uint16_t>(next++);
        }
      }
    }
  }
};
constexpr MatchValues kMatchValues;
constexpr uint32_t kUnresolvedValue = kMatchValues.next;

// Length codes whose flag, code and extra bits fit the lookup give their length in the entry.
constexpr bool LengthFits(uint32_t i) {
  return 1u + kLengthBits[i] + kLengthExtraBits[i] <= kCodedSymbolBits;
}
constexpr uint32_t kFirstLongLengthCode = 14;
constexpr uint32_t kKnownLengthMax = kLengthBase[kFirstLongLengthCode] + 1;
constexpr bool LongLengthCodesLast() {
  for (uint32_t i = 0; i < 16; ++i) {
    if (LengthFits(i) != (i < kFirstLongLengthCode)) return false;
  }
  return true;
}
static_assert(LongLengthCodesLast(), "the length codes whose extra bits do not fit come last");
constexpr uint32_t kLengthCodeValue = kUnresolvedValue + kKnownLengthMax - 1;

// The literal codes one bit longer than the lookup (mode 1) come in pairs that share all other
// bits, the pair's first byte (in byte order) with a last bit of 1. An entry stands for the
// pair and takes the last bit too, which the information extracts as if a low distance bit;
// the byte is found at the value less that bit. The value is the pair's second byte when the
// two are adjacent; otherwise one of the pair values below, whose neighbour below holds the
// first byte.
constexpr bool IsLongLiteral(uint32_t s) {
  return 1u + kLiteralBits[s] > kCodedSymbolBits;
}
// Pairs the long literals off in byte order, which is the order of their codes, and checks
// that the codes of each pair differ in the last bit only, the first's ending in 1.
struct LongLiteralPairs {
  uint8_t partner[256] = {};
  bool ok = true;

  constexpr LongLiteralPairs() {
    uint32_t first = 256;
    for (uint32_t s = 0; s < 256; ++s) {
      partner[s] = static_cast<uint8_t>(s);
      if (!IsLongLiteral(s)) continue;
      if (first == 256) {
        first = s;
        continue;
      }
      const uint32_t lastBit = 1u << (kLiteralBits[s] - 1);
      if (kLiteralBits[first] != kLiteralBits[s] ||
          (kLiteralCodes[first] ^ kLiteralCodes[s]) != lastBit ||
          (kLiteralCodes[first] & lastBit) == 0) {
        ok = false;
      }
      partner[first] = static_cast<uint8_t>(s);
      partner[s] = static_cast<uint8_t>(first);
      first = 256;
    }
    if (first != 256) ok = false;
  }
};
constexpr LongLiteralPairs kLongLiteralPairs;
static_assert(kLongLiteralPairs.ok,
              "the longest literal codes pair up, the first byte's ending in 1");
constexpr uint32_t LongLiteralPartner(uint32_t s) {
  return kLongLiteralPairs.partner[s];
}

constexpr uint32_t kPairValues = kLengthCodeValue + 16 - kFirstLongLengthCode;
struct LiteralBytes {
  uint8_t byte[1u << 10] = {};
  uint32_t pairs = 0;            // pairs of non-adjacent bytes: values kPairValues + 1, + 3, ...
  uint16_t pairValue[256] = {};  // by first byte

  constexpr LiteralBytes() {
    for (uint32_t b = 0; b < 256; ++b) byte[b] = static_cast<uint8_t>(b);
    for (uint32_t s = 0; s < 256; ++s) {
      const uint32_t t = LongLiteralPartner(s);
      if (!IsLongLiteral(s) || t < s + 2) continue;
      const uint32_t v = kPairValues + 2 * pairs++ + 1;
      pairValue[s] = static_cast<uint16_t>(v);
      byte[v - 1] = static_cast<uint8_t>(s);
      byte[v] = static_cast<uint8_t>(t);
    }
  }
};
constexpr LiteralBytes kLiteralBytes;
static_assert(kPairValues + 2 * kLiteralBytes.pairs <= 1u << 10, "every value fits an entry");

struct CodedSymbols {
  uint16_t entry[1u << kCodedSymbolBits] = {};
  bool ok = true;

  // Sets the entries that start with code. Only a match left unresolved may be set twice: the
  // 13 bits can be the start of several symbols too long for them, all with one length or
  // length code.
  constexpr void Fill(uint32_t code, uint32_t bits, uint16_t value) {
    for (uint32_t i = code; i < (1u << kCodedSymbolBits); i += 1u << bits) {
      if (entry[i] != 0 && !(entry[i] == value &&
                             (value >> 6) - kUnresolvedValue < kPairValues - kUnresolvedValue)) {
        ok = false;
      }
      entry[i] = value;
    }
  }

  constexpr CodedSymbols(uint32_t literalMode, uint32_t dictBits) {
    for (uint32_t s = 0; s < 256; ++s) {
      const uint32_t code = uint32_t{kLiteralCodes[s]} << 1;
      if (literalMode == 0) {
        Fill(s << 1, 9, SymbolEntry(9, s));
      } else if (!IsLongLiteral(s)) {
        Fill(code, kLiteralBits[s] + 1u, SymbolEntry(kLiteralBits[s] + 1u, s));
      } else if (const uint32_t t = LongLiteralPartner(s); t > s) {
        Fill(code & kCodedSymbolMask, kCodedSymbolBits,
             SymbolEntry(kLiteralBits[s] + 1u, t == s + 1 ? t : kLiteralBytes.pairValue[s]));
      }
    }
    for (uint32_t i = 0; i < 16; ++i) {
      const uint32_t head = 1 + kLengthBits[i];
      const uint32_t extra = kLengthExtraBits[i];
      const uint32_t lengthBits = head + extra;
      for (uint32_t x = 0; x < (1u << extra); ++x) {
        const uint32_t length = kLengthBase[i] + x + 2;
        const uint16_t unresolved =
            LengthFits(i) ? SymbolEntry(lengthBits, kUnresolvedValue + length - 2)
                          : SymbolEntry(head, kLengthCodeValue + i - kFirstLongLengthCode);
        const uint32_t lengthCode = (1u | uint32_t{kLengthCodes[i]} << 1 | x << head);
        const uint32_t lowBits = length == 2 ? 2 : dictBits;  // as LowDistanceBits
        if (length > kCodedMatchMax) {
          Fill(lengthCode & kCodedSymbolMask,
               lengthBits < kCodedSymbolBits ? lengthBits : kCodedSymbolBits, unresolved);
          continue;
        }
        for (uint32_t d = 0; d < 64; ++d) {
          const uint32_t bits = lengthBits + kDistanceBits[d];
          const uint32_t code = lengthCode | uint32_t{kDistanceCodes[d]} << lengthBits;
          if (Resolves(i, length, d)) {
            Fill(code, bits, SymbolEntry(bits + lowBits, kMatchValues.value[length - 2][d]));
          } else {
            Fill(code & kCodedSymbolMask, bits < kCodedSymbolBits ? bits : kCodedSymbolBits,
                 unresolved);
          }
        }
      }
    }
    // No entry is 0, as every symbol takes bits: so every entry was set.
    for (uint16_t e : entry) ok = ok && e != 0;
  }
};
constexpr CodedSymbols kCodedSymbols[2][3] = {
    {CodedSymbols(0, 4), CodedSymbols(0, 5), CodedSymbols(0, 6)},
    {CodedSymbols(1, 4), CodedSymbols(1, 5), CodedSymbols(1, 6)}};
static_assert(kCodedSymbols[0][0].ok && kCodedSymbols[0][1].ok && kCodedSymbols[0][2].ok &&
                  kCodedSymbols[1][0].ok && kCodedSymbols[1][1].ok && kCodedSymbols[1][2].ok,
              "the codes fill every entry of the coded tables exactly once");

constexpr uint32_t kInfoBaseShift = 16;
constexpr uint32_t kLiteralSource = 2048;         // how far back a literal copies from
constexpr uint32_t kUnresolvedLengthLess1 = 255;  // above every distance such an entry computes
static_assert(kLiteralSource + 1 < kExplodeBlockSize, "a literal copies from inside the window");
static_assert(kCodedMatchMax - 1 < kUnresolvedLengthLess1 &&
                  kPairValues - kUnresolvedValue + 2 <= kUnresolvedLengthLess1,
              "the unresolved length exceeds every resolved one and every distance it computes");
// An unresolved match's information gives its length, or as if one beyond the known ones, its
// length code: kCodeOnlyBase + code.
constexpr uint32_t kCodeOnlyBase = kKnownLengthMax + 1 - kFirstLongLengthCode;

constexpr uint32_t Info(uint32_t lowStart, uint32_t lowBits, uint32_t base) {
  return lowStart | lowBits << 8 | base << kInfoBaseShift;
}

// The bits of `bits` that an information word's low 16 bits describe, as BEXTR takes them:
// bits 0-7 the first one, bits 8-15 how many (here at most 6, from at most bit 13; none when
// 0).
constexpr uint32_t LowBitsOf(uint64_t bits, uint32_t control) {
  return static_cast<uint32_t>(bits >> (control & 63)) & ((1u << ((control >> 8) & 7)) - 1);
}

struct SymbolInfos {
  uint32_t info[1u << 10] = {};
  uint8_t lengthLess1[1u << 10] = {};
  uint8_t byte[1u << 10] = {};  // kLiteralBytes, kept beside the rest

  constexpr SymbolInfos(uint32_t literalMode, uint32_t dictBits) {
    for (uint32_t v = 0; v < (1u << 10); ++v) byte[v] = kLiteralBytes.byte[v];
    // A literal's and an unresolved symbol's low bits: none; but the last code bit of a pair of
    // long literals, which tells the second byte from the first.
    for (uint32_t b = 0; b < 256; ++b) {
      const bool pair = literalMode == 1 && IsLongLiteral(b) && LongLiteralPartner(b) == b - 1;
      info[b] = Info(pair ? kCodedSymbolBits : 0, pair ? 1 : 0, kLiteralSource);
      if (const uint32_t v = kLiteralBytes.pairValue[b]; v != 0) {
        info[v] = Info(kCodedSymbolBits, 1, kLiteralSource);
      }
    }
    for (uint32_t i = 0; i < 16; ++i) {
      for (uint32_t x = 0; x < (1u << kLengthExtraBits[i]); ++x) {
        const uint32_t length = kLengthBase[i] + x + 2;
        const uint32_t lowBits = length == 2 ? 2 : dictBits;  // as LowDistanceBits
        for (uint32_t d = 0; d < 64; ++d) {
          if (!Resolves(i, length, d)) continue;
          const uint32_t v = kMatchValues.value[length - 2][d];
          info[v] = Info(1 + kLengthBits[i] + kLengthExtraBits[i] + kDistanceBits[d], lowBits,
                         (d << lowBits) + 1);
          lengthLess1[v] = static_cast<uint8_t>(length - 1);
        }
      }
    }
    // An unresolved match: its length, or a length code above every such length.
    for (uint32_t v = kUnresolvedValue; v < kPairValues; ++v) {
      info[v] = Info(0, 0, v - kUnresolvedValue + 2);
      lengthLess1[v] = kUnresolvedLengthLess1;
    }
  }
};
constexpr SymbolInfos kSymbolInfos[2][3] = {
    {SymbolInfos(0, 4), SymbolInfos(0, 5), SymbolInfos(0, 6)},
    {SymbolInfos(1, 4), SymbolInfos(1, 5), SymbolInfos(1, 6)}};

// Decodes every literal, and every match with its lowest and highest low distance bits, as the
// fast loop does, followed by all-zero or all-one bits, and checks what comes out: the byte,
// the length and distance, or the second path with the bits the entry counts and the length
// or length code its information gives.
constexpr bool FastTablesDecode(uint32_t literalMode, uint32_t dictBits) {
  const CodedSymbols& table = kCodedSymbols[literalMode][dictBits - 4];
  const SymbolInfos& infos = kSymbolInfos[literalMode][dictBits - 4];
  for (uint64_t pad = 0; pad < 2; ++pad) {
    const auto decode = [&](uint64_t stream, uint32_t n, uint32_t* used, uint32_t* lengthLess1,
                            uint32_t* base, uint32_t* low, uint32_t* value) {
      stream |= pad ? ~uint64_t{0} << n : 0;
      const uint32_t entry = table.entry[stream & kCodedSymbolMask];
      *used = entry & 63;
      *value = entry >> 6;
      const uint32_t info = infos.info[*value];
      *lengthLess1 = infos.lengthLess1[*value];
      *base = info >> kInfoBaseShift;
      *low = LowBitsOf(stream, info);
    };
    uint32_t used = 0, lengthLess1 = 0, base = 0, low = 0, value = 0;
    for (uint32_t s = 0; s < 256; ++s) {
      const uint32_t n = literalMode == 0 ? 8 : kLiteralBits[s];
      decode(uint64_t{literalMode == 0 ? s : kLiteralCodes[s]} << 1, n + 1, &used, &lengthLess1,
             &base, &low, &value);
      if (used != n + 1 || lengthLess1 != 0 || base + low <= lengthLess1 ||
          infos.byte[value - low] != s) {
        return false;
      }
    }
    for (uint32_t i = 0; i < 16; ++i) {
      const uint32_t head = 1 + kLengthBits[i];
      const uint32_t lengthBits = head + kLengthExtraBits[i];
      // Lengths whose extra bits the lookup leaves out: the first and the last.
      const uint32_t xStep = LengthFits(i) ? 1 : (1u << kLengthExtraBits[i]) - 1;
      for (uint32_t x = 0; x < (1u << kLengthExtraBits[i]); x += xStep) {
        const uint32_t length = kLengthBase[i] + x + 2;
        const uint32_t lowBits = length == 2 ? 2 : dictBits;
        for (uint32_t d = 0; d < 64; ++d) {
          for (uint32_t lowValue : {0u, (1u << lowBits) - 1}) {
            const uint32_t bits = lengthBits + kDistanceBits[d];
            const uint64_t stream = 1u | uint64_t{kLengthCodes[i]} << 1 | uint64_t{x} << head |
                                    uint64_t{kDistanceCodes[d]} << lengthBits |
                                    uint64_t{lowValue} << bits;
            decode(stream, bits + lowBits, &used, &lengthLess1, &base, &low, &value);
            const bool ok = Resolves(i, length, d)
                                ? used == bits + lowBits && lengthLess1 == length - 1 &&
                                      base + low == (d << lowBits) + lowValue + 1
                                : lengthLess1 == kUnresolvedLengthLess1 &&
                                      base + low <= lengthLess1 &&
                                      (LengthFits(i) ? used == lengthBits && base == length
                                                     : used == head && base == kCodeOnlyBase + i);
            if (!ok) return false;
          }
        }
      }
    }
  }
  return true;
}
static_assert(FastTablesDecode(0, 4), "the fast loop's tables decode every symbol");
static_assert(FastTablesDecode(0, 5), "the fast loop's tables decode every symbol");
static_assert(FastTablesDecode(0, 6), "the fast loop's tables decode every symbol");
static_assert(FastTablesDecode(1, 4), "the fast loop's tables decode every symbol");
static_assert(FastTablesDecode(1, 5), "the fast loop's tables decode every symbol");
static_assert(FastTablesDecode(1, 6), "the fast loop's tables decode every symbol");

// The distance codes for the second path, looked up with the next 8 bits: bits 0-3 the code's
// bit length, bits 6-11 its index (the layout of the work area's distance table).
struct CodedDistances {
  uint16_t entry[256] = {};
  constexpr CodedDistances() {
    for (uint32_t d = 0; d < 64; ++d) {
      for (uint32_t i = kDistanceCodes[d]; i < 256; i += 1u << kDistanceBits[d]) {
        entry[i] = static_cast<uint16_t>(kDistanceBits[d] | d << 6);
      }
    }
  }
};
constexpr CodedDistances kCodedDistances;
#endif

// The long-literal groups: the first 10 code bits of every longer code select one group; the
// next 3 bits select the entry, spread over the entries its remaining bits leave open. The
// decoder numbers the groups as it meets their prefixes (BuildLiteralEntries); this check,
// made at compile time only, proves that the codes need no more groups than the table holds
// and fill every entry of them exactly once.
struct LongLiterals {
  uint16_t prefix[kExplodeLongLiteralGroups] = {};
  bool ok = true;

  constexpr LongLiterals() {
    uint32_t groups = 0;
    bool filled[kExplodeLongLiteralGroups << kLongLiteralGroupBits] = {};
    for (uint32_t s = 0; s < 256; ++s) {
      const uint32_t n = kLiteralBits[s];
      if (n <= kDirectLiteralBits) continue;
      const uint32_t v = kLiteralCodes[s];
      const uint32_t first = v & ((1u << kDirectLiteralBits) - 1);
      uint32_t g = 0;
      while (g < groups && prefix[g] != first) ++g;
      if (g == groups) {
        if (groups == kExplodeLongLiteralGroups) {
          ok = false;
          return;
        }
        prefix[groups++] = static_cast<uint16_t>(first);
      }
      const uint32_t rest = n - kDirectLiteralBits;
      if (rest > kLongLiteralGroupBits) ok = false;
      for (uint32_t i = v >> kDirectLiteralBits; i < (1u << kLongLiteralGroupBits);
           i += 1u << rest) {
        const uint32_t at = (g << kLongLiteralGroupBits) + i;
        if (filled[at]) ok = false;
        filled[at] = true;
      }
    }
    if (groups != kExplodeLongLiteralGroups) ok = false;
    for (bool f : filled) ok = ok && f;
  }
};
static_assert(LongLiterals().ok,
              "literal codes longer than 10 bits fill the long-literal groups exactly once");

// Sets entries code, code + 2^bits, ... below size to value.
template <typename T>
void FillEntries(T* table, uint32_t size, uint32_t code, uint32_t bits, T value) {
  for (uint32_t i = code; i < size; i += 1u << bits) table[i] = value;
}

// Literal mode 1's entries, made from the code lengths alone by the code-assignment rule:
// codes are handed out in order of length and, within a length, of byte, each one more than
// the last and shifted left as the length grows; the stream holds a code complemented and
// last bit first. Making them here rather than keeping the 1.2 KB of codes and groups as data
// keeps the small build small. Expects even symbol-table entries at 0.
void BuildLiteralEntries(ExplodeWorkArea* work) {
  // next[n]: the code the next byte with an n-bit code gets.
  uint32_t next[kMaxCodeBits + 1] = {};
  for (uint32_t s = 0; s < 256; ++s) ++next[kLiteralBits[s]];
  for (uint32_t n = 1, code = 0, count = 0; n <= kMaxCodeBits; ++n) {
    code = (code + count) << 1;
    count = next[n];
    next[n] = code;
  }
  uint16_t* const table = work->symbolTable;
  uint32_t groups = 0;
  for (uint32_t s = 0; s < 256; ++s) {
    const uint32_t n = kLiteralBits[s];
    const uint32_t canonical = next[n]++;
    uint32_t v = 0;
    for (uint32_t bit = 0; bit < n; ++bit) v = v << 1 | ((~canonical >> bit) & 1);
    if (n <= kDirectLiteralBits) {
      FillEntries(table, 1u << kExplodeSymbolTableBits, v << 1, n + 1, SymbolEntry(n + 1, s));
      continue;
    }
    const uint32_t rest = n - kDirectLiteralBits;
    uint16_t& head = table[(v & ((1u << kDirectLiteralBits) - 1)) << 1];
    if (head == 0) {
      head = SymbolEntry(kExplodeSymbolTableBits + rest,
                         kLongLiteralValue + (groups++ << kLongLiteralGroupBits));
    } else if ((head & 15) != kExplodeSymbolTableBits + rest) {
      head = static_cast<uint16_t>((head & ~15u) | kMixedGroup | kExplodeSymbolTableBits);
    }
    FillEntries(work->longLiteralTable + ((head >> 6) - kLongLiteralValue),
                1u << kLongLiteralGroupBits, v >> kDirectLiteralBits, rest,
                static_cast<uint16_t>(rest | s << 6));
  }
}

// Fills every entry: both codes after the flag are complete, so no index is left out. The
// table is cleared first, as mode 1's literal entries are made on a clear table, and so is the
// long-literal table, whose unused entries every direct literal reads (DecodeSymbol).
void BuildTables(ExplodeWorkArea* work) {
  uint16_t* const table = work->symbolTable;
  const uint32_t size = 1u << kExplodeSymbolTableBits;
  std::memset(table, 0, sizeof work->symbolTable);
  std::memset(work->longLiteralTable, 0, sizeof work->longLiteralTable);
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t head = 1 + kLengthBits[i];
    const uint32_t code = 1u | uint32_t{kLengthCodes[i]} << 1;
    const uint32_t extra = kLengthExtraBits[i];
    if (head + extra <= kExplodeSymbolTableBits) {
      for (uint32_t x = 0; x < (1u << extra); ++x) {
        FillEntries(table, size, code | x << head, head + extra,
                    SymbolEntry(head + extra, kMatchValue + kLengthBase[i] + x + 2));
      }
    } else {
      FillEntries(table, size, code, head, SymbolEntry(head, kMatchExtraValue + extra));
    }
  }
  if (work->literalMode == 0) {
    for (uint32_t b = 0; b < 256; ++b) FillEntries(table, size, b << 1, 9, SymbolEntry(9, b));
  } else {
    BuildLiteralEntries(work);
  }
  for (uint32_t i = 0; i < 64; ++i) {
    FillEntries(work->distanceTable, 256, kDistanceCodes[i], kDistanceBits[i],
                static_cast<uint16_t>(kDistanceBits[i] | i << 6));
  }
}

// Why decoding stopped.
constexpr uint32_t kEndOfStream = 0;
constexpr uint32_t kDecodeFailed = 1;

constexpr uint32_t kHistoryStart = 0;
constexpr uint32_t kBlockStart = kExplodeBlockSize;    // 4096: first output position
constexpr uint32_t kBlockEnd = 2 * kExplodeBlockSize;  // 8192: a full block is ready

// The fast loop's helpers are inlined into each of its variants.
#if defined(__GNUC__)
#define EXPLODE_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define EXPLODE_ALWAYS_INLINE inline
#endif

// Every check of input against what the decoder can accept goes through here: when the
// condition does not hold, the enclosing function returns the given failure value.
#define EXPLODE_CHECK(condition, failure) \
  do {                                    \
    if (!(condition)) return (failure);   \
  } while (0)

// ---------------------------------------------------------------------------------------------
// Symbols.

struct Symbol {
  uint32_t length;  // 0: a literal; 2-518: a match; kEndOfStreamLength: the end
  uint32_t value;   // the literal byte, or the match distance (1-4096)
};

// The longest symbol: flag, 7-bit length code, 8 extra bits, 8-bit distance code, 6 low bits.
constexpr uint32_t kMaxSymbolBits = 1 + 7 + 8 + 8 + 6;
#if !TSARIN_SMALL_DECODER
// The longest symbol a coded-table entry resolves: 14 bits and 6 low distance bits.
constexpr uint32_t kMaxCodedSymbolBits = kCodedSymbolBits + 6;
// A refill leaves 56 or more bits counted, and all 64 bits of the buffer are stream bits (the
// ones above the count come from the same load). The fast loop decodes a resolved symbol and
// then any symbol from the counted bits, and looks up the next symbol's entry with the bits
// after those.
static_assert(kMaxCodedSymbolBits + kMaxSymbolBits <= 56,
              "a refill must cover a resolved symbol and any symbol");
static_assert(kMaxCodedSymbolBits + kMaxSymbolBits + kCodedSymbolBits <= 64,
              "the next lookup must stay inside the loaded bits");
#endif

// Low distance bits of a match: 2 for a 2-byte match whatever the dictionary size.
EXPLODE_ALWAYS_INLINE uint32_t LowDistanceBits(uint32_t length, uint32_t dictBits) {
  return length == 2 ? 2 : dictBits;
}

// Decodes the symbol at the start of bits, whose table entry is given, and returns how many
// bits it takes. Only that many low bits of `bits` matter: when fewer are valid, the result is
// some symbol that claims more bits than are valid (a prefix code cannot mistake a longer code
// for a shorter one). The low 32 bits of the buffer hold any symbol, and shifts of 32-bit
// values are single instructions on 32-bit processors too.
static_assert(kMaxSymbolBits <= 32, "a symbol fits 32 bits");
inline uint32_t DecodeSymbol(const ExplodeWorkArea* work, uint32_t bits, uint32_t entry,
                             Symbol* symbol) {
  uint32_t used = entry & 15;
  const uint32_t value = entry >> 6;
  if (value < kMatchValue) {
    // Any literal. Whether the next one has a long code is a coin toss on executables, so the
    // byte is chosen without a branch: every literal reads the long-literal entry its value
    // and the next bits point to (any entry, for a short code), and a mask keeps the value or
    // takes that entry's byte. The mask is hidden from the compiler, which would otherwise
    // branch on it again.
    const uint32_t second = work->longLiteralTable[(value - kLongLiteralValue +
                                                    ((bits >> kExplodeSymbolTableBits) & 7)) &
                                                   kLongLiteralIndexMask];
    uint32_t longCode = 0u - static_cast<uint32_t>(value >= kLongLiteralValue);
#if defined(__GNUC__)
    __asm__("" : "+r"(longCode));
#endif
    symbol->length = 0;
    symbol->value = value ^ ((value ^ (second >> 6)) & longCode);
    if (entry & kMixedGroup) used += second & 15;
    return used;
  }
  uint32_t length = value - kMatchValue;
  if (value >= kMatchExtraValue) {
    const uint32_t extraBits = value - kMatchExtraValue;
    const uint32_t extra = (bits >> used) & ((1u << extraBits) - 1);
    length = (1u << extraBits) + kExtraLengthOffset + extra;
    used += extraBits;
    if (length == kEndOfStreamLength) {
      symbol->length = length;
      return used;
    }
  }
  const uint32_t code = work->distanceTable[(bits >> used) & 0xFF];
  used += code & 15;
  const uint32_t lowBits = LowDistanceBits(length, work->dictBits);
  const uint32_t low = (bits >> used) & ((1u << lowBits) - 1);
  symbol->length = length;
  symbol->value = ((code >> 6) << lowBits) + low + 1;
  return used + lowBits;
}

// ---------------------------------------------------------------------------------------------
// Bit reader.
//
// State (locals of DecodeBody while it runs, the work area around the slow path):
//   bitBuffer  loaded stream bits; bit 0 is the next stream bit. The low bitCount bits are
//              valid; above them lie zeros or the bits of the next unloaded input bytes.
//   bitCount   0-63.
//   input[inputPos, inputCount)
//              bytes delivered by the read callback and not yet counted in bitCount.
//
// The stream behaves as if read through an 8-bit look-ahead: a symbol is complete only when
// the input holds at least 8 bits beyond its last bit, except the end-of-stream code, whose
// last bits may end the input. The read callback is called only when the input buffer is used
// up and the current symbol needs more bits, one call per missing byte as a one-byte-at-a-time
// reader would make them, so the calls do not depend on how far ahead the decoder loads.
//
// Fast path (both builds): with 8 or more unloaded bytes, one 64-bit little-endian load tops
// the buffer up to 56-63 valid bits, more than the longest symbol and its look-ahead need.
// Slow path (DecodeSlow, and the small build's loop): the bytes left in the input buffer are
// loaded one at a time up to 56-63 valid bits, which hold any symbol and its look-ahead; when
// the buffer runs out first and the symbol is not complete, the callback delivers more and the
// loading goes on.

EXPLODE_ALWAYS_INLINE uint64_t Load64LittleEndian(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && defined(__GNUC__)
  typedef uint64_t __attribute__((may_alias, aligned(1))) Unaligned64;
  return *reinterpret_cast<const Unaligned64*>(p);
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;
  std::memcpy(&v, p, sizeof(v));
  return v;
#else
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
#endif
}

static_assert(kMaxSymbolBits + 8 <= 56, "56 loaded bits hold any symbol and its look-ahead");

#if !TSARIN_SMALL_DECODER
// Decodes the next symbol when fewer than 8 input bytes remain unloaded. Returns false when
// the input ends before the symbol (and its look-ahead) is complete.
bool DecodeSlow(ExplodeWorkArea* work, Symbol* symbol) {
  for (;;) {
    // Bytes already delivered go into the buffer first, up to 56 bits or more: the symbol then
    // decodes at the first try unless the input buffer runs out before.
    if (work->bitCount < 56 && work->inputPos != work->inputCount) {
      const uint64_t valid = (uint64_t{1} << work->bitCount) - 1;
      work->bitBuffer = (work->bitBuffer & valid) | uint64_t{work->input[work->inputPos++]}
                                                        << work->bitCount;
      work->bitCount += 8;
      continue;
    }
    const uint32_t used = DecodeSymbol(work, static_cast<uint32_t>(work->bitBuffer),
                                       work->symbolTable[work->bitBuffer & kSymbolMask], symbol);
    if (used + 8 <= work->bitCount) {
      work->bitBuffer >>= used;
      work->bitCount -= used;
      return true;
    }
    // Incomplete with fewer than 56 bits: the input buffer is used up.
    uint32_t size = kExplodeReadSize;
    const uint32_t count = work->read(reinterpret_cast<char*>(work->input), &size, work->param);
    // The end-of-stream code's last bits may lie in the last input byte; they are valid, only
    // the look-ahead beyond them is missing.
    EXPLODE_CHECK(count != 0 || (symbol->length == kEndOfStreamLength && used <= work->bitCount),
                  false);
    if (count == 0) return true;
    // A callback that claims more than it was offered cannot make us read past the buffer.
    work->inputCount = count < kExplodeReadSize ? count : kExplodeReadSize;
    work->inputPos = 0;
  }
}

// ---------------------------------------------------------------------------------------------
// Output.

// Returns v, which the compiler must then treat as unknown: keeps a selection by mask from
// being turned back into a branch on the value the mask came from.
EXPLODE_ALWAYS_INLINE uintptr_t HideFromOptimizer(uintptr_t v) {
#if defined(__GNUC__)
  __asm__("" : "+r"(v));
#endif
  return v;
}

EXPLODE_ALWAYS_INLINE void Copy8(uint8_t* to, const uint8_t* from) {
  uint64_t v;
  std::memcpy(&v, from, 8);
  std::memcpy(to, &v, 8);
}

EXPLODE_ALWAYS_INLINE void Copy16(uint8_t* to, const uint8_t* from) {
  uint64_t v[2];
  std::memcpy(v, from, 16);
  std::memcpy(to, v, 16);
}

EXPLODE_ALWAYS_INLINE void Store64LittleEndian(uint8_t* p, uint64_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(p, &v, sizeof(v));
#else
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
#endif
}

// LowBitsOf; kBextr: as one BEXTR instruction (x86 with BMI1 only), which reads only the low
// 16 bits of control.
template <bool kBextr>
EXPLODE_ALWAYS_INLINE size_t ExtractBits(uint64_t bits, size_t control) {
#if defined(__GNUC__) && defined(__x86_64__)
  if (kBextr) {
    size_t field;
    __asm__("bextr %2, %1, %0" : "=r"(field) : "r"(bits), "r"(control));
    return field;
  }
#endif
  return LowBitsOf(bits, static_cast<uint32_t>(control));
}

// Whole periods of a distance d (1-7) that reach at least 8 and at least 16 bytes back.
constexpr uint8_t kPeriodsOf8[8] = {0, 8, 8, 9, 8, 10, 12, 14};
constexpr uint8_t kPeriodsOf16[8] = {0, 16, 16, 18, 16, 20, 18, 21};
constexpr bool PeriodTablesAgree() {
  for (uint32_t d = 1; d < 8; ++d) {
    if (kPeriodsOf8[d] != (8 + d - 1) / d * d || kPeriodsOf16[d] != (16 + d - 1) / d * d) {
      return false;
    }
  }
  return true;
}
static_assert(PeriodTablesAgree(), "period tables are the smallest multiples of 8 and 16");

// Copies a match of a distance shorter than 8 bytes as a byte-by-byte copy would: the match
// repeats the last `distance` bytes. The first 8 bytes are that pattern doubled in a register
// until it fills a word; after them, 8- and 16-byte copies from a whole number of periods back
// (at least as far back as they are long) read only bytes that follow the pattern already. May
// write up to 15 bytes past the end (the window's copy slack).
void CopyNearMatch(uint8_t* out, uint32_t length, uint32_t distance) {
  uint64_t pattern = Load64LittleEndian(out - distance) & ((uint64_t{1} << (8 * distance)) - 1);
  for (uint32_t have = distance; have < 8; have *= 2) pattern |= pattern << (8 * have);
  Store64LittleEndian(out, pattern);
  if (length <= 8) return;
  Copy8(out + 8, out + 8 - kPeriodsOf8[distance]);
  const uint32_t back = kPeriodsOf16[distance];
  for (uint32_t done = 16; done < length; done += 16) Copy16(out + done, out + done - back);
}

// Copies a match and returns its end. A distance of 16 or more lets every 16-byte copy read
// only bytes already in place, 8 or more every 8-byte copy. The first 32 bytes go in two
// 16-byte copies whatever the length, which covers most longer matches without a loop. May
// write up to 31 bytes past the end of a match shorter than 32 bytes, and 15 past a longer one
// (the window's copy slack, and room in it for a short match's copy from the last position).
EXPLODE_ALWAYS_INLINE uint8_t* CopyMatch(uint8_t* out, uint32_t length, uint32_t distance) {
  const uint8_t* from = out - distance;
  if (distance >= 16) {
    Copy16(out, from);
    Copy16(out + 16, from + 16);
    for (uint32_t done = 32; done < length; done += 16) Copy16(out + done, from + done);
  } else if (distance >= 8) {
    for (uint32_t done = 0; done < length; done += 8) Copy8(out + done, from + done);
  } else {
    CopyNearMatch(out, length, distance);
  }
  return out + length;
}
static_assert(2 * kExplodeBlockSize - 1 + 32 <= sizeof(ExplodeWorkArea::window),
              "a short match's 32-byte copy from the last block position fits the window");

#else
// Whole periods of a distance d (1-7) that fit in 8 bytes.
constexpr uint8_t kWholePeriodsIn8[8] = {0, 8, 8, 6, 8, 5, 6, 7};
constexpr bool WholePeriodsAgree() {
  for (uint32_t d = 1; d < 8; ++d) {
    if (kWholePeriodsIn8[d] != 8 / d * d) return false;
  }
  return true;
}
static_assert(WholePeriodsAgree(), "the table holds the largest multiples of d up to 8");

// Copies a match and returns its end. With a distance of 8 or more, in 8-byte copies that read
// only bytes already in place. With a shorter one the output repeats every `distance` bytes:
// its first 8 bytes are copied one at a time and then stored again and again, each time a whole
// number of periods on. Loading bytes that were stored a moment ago by stores of another size
// stalls the processor until they are written, which a copy overlapping its own output would do
// at every step. May write up to 7 bytes past the end (the window's copy slack).
uint8_t* CopyMatch(uint8_t* out, uint32_t length, uint32_t distance) {
  uint8_t* const end = out + length;
  if (distance >= 8) {
    do {
      // A word at a time: two words on 32-bit processors.
      for (uint32_t i = 0; i < 8; i += sizeof(uintptr_t)) {
        uintptr_t v;
        std::memcpy(&v, out - distance + i, sizeof v);
        std::memcpy(out + i, &v, sizeof v);
      }
      out += 8;
    } while (out < end);
    return end;
  }
  for (uint32_t i = 0; i < 8; ++i) out[i] = (out - distance)[i];
  uint32_t low, high;
  std::memcpy(&low, out, 4);
  std::memcpy(&high, out + 4, 4);
  const uint32_t step = kWholePeriodsIn8[distance];
  for (out += step; out < end; out += step) {
    std::memcpy(out, &low, 4);
    std::memcpy(out + 4, &high, 4);
  }
  return end;
}
#endif

void WriteOutput(ExplodeWorkArea* work, uint32_t count) {
  work->write(reinterpret_cast<char*>(work->window + kBlockStart), &count, work->param);
}

void Flush(ExplodeWorkArea* work, uint8_t*& out) {
  WriteOutput(work, kExplodeBlockSize);
  uint8_t* const block = work->window + kBlockStart;
  std::memmove(work->window, block, out - block);
  out -= kExplodeBlockSize;
}

#if !TSARIN_SMALL_DECODER
// The decoder's moving parts while DecodeBody runs (the bit reader's state and the output
// position), kept in registers by the fast loop.
struct Cursor {
  uint64_t bits;
  uint32_t bitCount;
  const uint8_t* in;
  uint8_t* out;
};

// Fast loop: runs while the output position is before the block end and 8 or more input bytes
// are unloaded, so every refill leaves at least 56 bits. A round decodes two symbols resolved
// by the coded table, or one and then any other symbol, which ends the round (19 + 30 bits).
// Literals and resolved matches take one path, without a branch on the kind of symbol: 16
// bytes are copied from the distance back, a literal's byte is stored over the first of them,
// the output advances by the length, and the symbol's bits are consumed. A resolved match that
// overlaps its own source, and every other match, take a second path: the symbol information
// gives the length code, whose extra bits and the distance code follow. The window's slack
// takes whatever lands beyond the block end. Returns true at the end-of-stream code.
template <bool kBextr>
EXPLODE_ALWAYS_INLINE bool RunFast(const ExplodeWorkArea* work, Cursor* cursor,
                                   const uint8_t* inFastEnd, uint8_t* blockEnd) {
  const uint16_t* const table = reinterpret_cast<const uint16_t*>(HideFromOptimizer(
      reinterpret_cast<uintptr_t>(kCodedSymbols[work->literalMode][work->dictBits - 4].entry)));
  const uint32_t dictBits = work->dictBits;
  const SymbolInfos* const infos = reinterpret_cast<const SymbolInfos*>(HideFromOptimizer(
      reinterpret_cast<uintptr_t>(&kSymbolInfos[work->literalMode][dictBits - 4])));
  uint64_t bits = cursor->bits;
  // Only the low 6 bits of bitCount are kept exact in this loop: entries are subtracted whole
  // and 64-bit shifts use their count modulo 64.
  uint32_t bitCount = cursor->bitCount;
  const uint8_t* in = cursor->in;
  uint8_t* out = cursor->out;
  bool end = false;

#define EXPLODE_REFILL()                               \
  do {                                                 \
    bits |= Load64LittleEndian(in) << (bitCount & 63); \
    in += 7 - ((bitCount >> 3) & 7);                   \
    bitCount |= 56;                                    \
  } while (0)
#define EXPLODE_CONSUME(n) \
  do {                     \
    const uint32_t n_ = n; \
    bits >>= n_ & 63;      \
    bitCount -= n_;        \
  } while (0)
// Decodes the symbol of entry, a literal or a resolved match, and looks up the next entry; any
// other match jumps to `exact` with nothing consumed and its information looked up. The bits
// are consumed by the entry itself, whose bits 6-15 a 64-bit shift ignores and whose multiples
// of 64 leave bitCount's low 6 bits alone: the shift then waits for the lookup only. The byte
// is looked up with the value less the extracted bits, which for a pair of long literals is
// their last code bit. A match stores the byte meant for a literal 2 * (length - 1) bytes on,
// past its end, where the next symbol writes over it: one address serves both.
#define EXPLODE_RESOLVED_SYMBOL()                       \
  do {                                                  \
    const size_t value = entry >> 6;                    \
    info = infos->info[value];                          \
    lengthLess1 = infos->lengthLess1[value];            \
    const size_t low = ExtractBits<kBextr>(bits, info); \
    distance = (info >> kInfoBaseShift) + low;          \
    if (distance <= lengthLess1) goto exact;            \
    Copy16(out, out - distance);                        \
    out[2 * lengthLess1] = infos->byte[value - low];    \
    out += lengthLess1 + 1;                             \
    EXPLODE_CONSUME(HideFromOptimizer(entry));          \
    entry = table[bits & kCodedSymbolMask];             \
  } while (0)

  size_t info, lengthLess1, distance;
  if (out >= blockEnd || in >= inFastEnd) return false;
  // The next symbol's entry is looked up as soon as the previous symbol is consumed, before the
  // refill: a refill only adds bits above the counted ones, and the bits the lookup reads are
  // stream bits already (see the bit budget above).
  EXPLODE_REFILL();
  uint32_t entry = table[bits & kCodedSymbolMask];
  for (;;) {
    EXPLODE_REFILL();
    EXPLODE_RESOLVED_SYMBOL();
    EXPLODE_RESOLVED_SYMBOL();
    if (out >= blockEnd || in >= inFastEnd) break;
    continue;
  exact:
    // The block end is checked first: the symbol before this one may have reached it, and the
    // window's slack has room for one longest match from before the block end only.
    if (out >= blockEnd) break;
    {
      // A resolved match that overlaps its source: the entry counts all of its bits.
      uint32_t used = entry & 63;
      uint32_t length = lengthLess1 + 1;
      if (lengthLess1 == kUnresolvedLengthLess1) {
        // Any other match: the information gives its length, or its length code and the
        // extra bits follow; then the distance code.
        length = info >> kInfoBaseShift;
        if (length > kKnownLengthMax) {
          const uint32_t i = length - kCodeOnlyBase;
          const uint32_t extra = kLengthExtraBits[i];
          length = kLengthBase[i] + 2 + (static_cast<uint32_t>(bits >> used) & ((1u << extra) - 1));
          used += extra;
          if (length == kEndOfStreamLength) {
            end = true;
            break;
          }
        }
        const uint32_t code = kCodedDistances.entry[(bits >> used) & 0xFF];
        used += code & 15;
        const uint32_t lowBits = LowDistanceBits(length, dictBits);
        distance = ((code >> 6) << lowBits) +
                   (static_cast<uint32_t>(bits >> used) & ((1u << lowBits) - 1)) + 1;
        used += lowBits;
      }
      EXPLODE_CONSUME(used);
      // Distances are at most 4096 and the position at least 4096, so the source stays inside
      // the window.
      out = CopyMatch(out, length, distance);
    }
    entry = table[bits & kCodedSymbolMask];
    if (out >= blockEnd || in >= inFastEnd) break;
  }
#undef EXPLODE_RESOLVED_SYMBOL
#undef EXPLODE_CONSUME
#undef EXPLODE_REFILL
  cursor->bits = bits;
  cursor->bitCount = bitCount & 63;
  cursor->in = in;
  cursor->out = out;
  return end;
}

typedef bool (*RunFastFn)(const ExplodeWorkArea*, Cursor*, const uint8_t*, uint8_t*);

bool RunFastGeneric(const ExplodeWorkArea* work, Cursor* cursor, const uint8_t* inFastEnd,
                    uint8_t* blockEnd) {
  return RunFast<false>(work, cursor, inFastEnd, blockEnd);
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(TSARIN_EXPLODE_GENERIC_ONLY)
// The same loop for processors with BMI1 and BMI2, whose shifts take any register and leave
// the flags alone and whose BEXTR extracts the low distance bits in one step: chosen at run
// time, as the baseline x86-64 build cannot assume them. (TSARIN_EXPLODE_GENERIC_ONLY leaves
// it out, so that tests can run the baseline loop.)
#define EXPLODE_HAS_BMI2_VARIANT 1
__attribute__((target("bmi,bmi2"))) bool RunFastBmi2(const ExplodeWorkArea* work, Cursor* cursor,
                                                     const uint8_t* inFastEnd, uint8_t* blockEnd) {
  return RunFast<true>(work, cursor, inFastEnd, blockEnd);
}
#endif

RunFastFn ChooseFastLoop() {
#if EXPLODE_HAS_BMI2_VARIANT
  __builtin_cpu_init();
  if (__builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2")) return RunFastBmi2;
#endif
  return RunFastGeneric;
}

// Decodes symbols until the end-of-stream code or until input runs out. Returns kEndOfStream or
// kDecodeFailed. Writes every full block; the caller writes the rest.
uint32_t DecodeBody(ExplodeWorkArea* work) {
  // A distance reaching before the first output byte copies zeros rather than whatever the
  // caller's memory held, so damaged input still decodes deterministically.
  std::memset(work->window + kHistoryStart, 0, kBlockStart - kHistoryStart);
  const RunFastFn runFast = ChooseFastLoop();
  uint8_t* const blockEnd = work->window + kBlockEnd;
  Cursor cursor{0, 0, work->input + work->inputPos, work->window + kBlockStart};
  for (;;) {
    if (cursor.out >= blockEnd) Flush(work, cursor.out);
    const uint32_t inputCount = work->inputCount;
    // The fast loop needs in <= input + inputCount - 8.
    const uint8_t* const inFastEnd = work->input + (inputCount >= 8 ? inputCount - 7 : 0);
    if (cursor.in < inFastEnd) {
      if (runFast(work, &cursor, inFastEnd, blockEnd)) {
        // The fast loop may decode the end code right after the symbols that filled the block:
        // that block is written here, so the final write holds only what follows it.
        if (cursor.out >= blockEnd) Flush(work, cursor.out);
        work->outputPos = static_cast<uint32_t>(cursor.out - work->window);
        return kEndOfStream;
      }
      continue;
    }

    // Near the end of the input buffer: one symbol the exact way.
    work->bitBuffer = cursor.bits;
    work->bitCount = cursor.bitCount;
    work->inputPos = static_cast<uint32_t>(cursor.in - work->input);
    Symbol symbol;
    const bool complete = DecodeSlow(work, &symbol);
    cursor.bits = work->bitBuffer;
    cursor.bitCount = work->bitCount;
    cursor.in = work->input + work->inputPos;
    if (!complete || symbol.length == kEndOfStreamLength) {
      work->outputPos = static_cast<uint32_t>(cursor.out - work->window);
      return complete ? kEndOfStream : kDecodeFailed;
    }
    if (symbol.length == 0) {
      *cursor.out++ = static_cast<uint8_t>(symbol.value);
    } else {
      cursor.out = CopyMatch(cursor.out, symbol.length, symbol.value);
    }
  }
}

#else
// The small build: one loop for every symbol, the bit reader's state in locals. While 8 or more
// bytes of the input buffer are unloaded, one 64-bit load tops the buffer up to 56-63 bits;
// then the bytes left are loaded one at a time. Bits above the count are zeros or the stream
// bits of the next unloaded bytes, so loading those bytes again changes nothing.
uint32_t DecodeBody(ExplodeWorkArea* work) {
  std::memset(work->window + kHistoryStart, 0, kBlockStart - kHistoryStart);
  uint8_t* out = work->window + kBlockStart;
  uint64_t bits = 0;
  uint32_t bitCount = 0;
  const uint8_t* in = work->input + work->inputPos;
  const uint8_t* end = work->input + work->inputCount;
  uint32_t stop = kEndOfStream;
  for (;;) {
    if (out >= work->window + kBlockEnd) Flush(work, out);
    // The symbol's entry is looked up before the refill, which only adds bits above those it
    // reads when 11 or more are counted. With fewer (the callback has just delivered more),
    // the bytes are loaded one at a time and the entry looked up after them.
    uint32_t entry = work->symbolTable[bits & kSymbolMask];
    if (end - in >= 8 && bitCount >= kExplodeSymbolTableBits) {
      bits |= Load64LittleEndian(in) << bitCount;
      in += (63 - bitCount) >> 3;
      bitCount |= 56;
    } else {
      while (bitCount < 56 && in != end) {
        bits |= uint64_t{*in++} << bitCount;
        bitCount += 8;
      }
      entry = work->symbolTable[bits & kSymbolMask];
    }
    Symbol symbol;
    const uint32_t used = DecodeSymbol(work, static_cast<uint32_t>(bits), entry, &symbol);
    if (used + 8 > bitCount) {
      // Incomplete with fewer than 56 bits: the input buffer is used up. The end-of-stream
      // code's last bits may lie in the last input byte; only the look-ahead is missing then.
      uint32_t size = kExplodeReadSize;
      const uint32_t count = work->read(reinterpret_cast<char*>(work->input), &size, work->param);
      if (count != 0) {
        // A callback that claims more than it was offered cannot make us read past the buffer.
        in = work->input;
        end = in + (count < kExplodeReadSize ? count : kExplodeReadSize);
        continue;
      }
      if (symbol.length != kEndOfStreamLength || used > bitCount) {
        stop = kDecodeFailed;
        break;
      }
    }
    bits >>= used;
    bitCount -= used;
    if (symbol.length == 0) {
      *out++ = static_cast<uint8_t>(symbol.value);
    } else if (symbol.length == kEndOfStreamLength) {
      break;
    } else {
      out = CopyMatch(out, symbol.length, symbol.value);
    }
  }
  work->outputPos = static_cast<uint32_t>(out - work->window);
  return stop;
}
#endif

}  // namespace

int32_t ExplodeStream(ExplodeReadFn read, ExplodeWriteFn write, ExplodeWorkArea* work,
                      void* param) {
  work->read = read;
  work->write = write;
  work->param = param;

  uint32_t size = kExplodeReadSize;
  const uint32_t count = read(reinterpret_cast<char*>(work->input), &size, param);
  // The shortest stream (header and end-of-stream code) is 4 bytes; it is refused as well.
  EXPLODE_CHECK(count > 4, kExplodeShortInput);
  work->inputCount = count < kExplodeReadSize ? count : kExplodeReadSize;

  work->literalMode = work->input[0];
  work->dictBits = work->input[1];
  work->inputPos = 2;

  EXPLODE_CHECK(work->dictBits >= 4 && work->dictBits <= 6, kExplodeBadDictionary);
  EXPLODE_CHECK(work->literalMode <= 1, kExplodeBadLiteralMode);
  BuildTables(work);

  const uint32_t stop = DecodeBody(work);
  WriteOutput(work, work->outputPos - kBlockStart);
  return stop == kEndOfStream ? kExplodeOk : kExplodeTruncated;
}
