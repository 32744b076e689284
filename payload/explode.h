// Decoder of the implode stream format: a sliding-window scheme with fixed prefix codes for
// literals, match lengths and match distances.
//
// ExplodeStream decodes one whole stream per call. It pulls compressed bytes through the read
// callback (blocks of up to 2048 bytes), pushes output through the write callback (blocks of
// exactly 4096 bytes, then one final block of 0 to 4095 bytes), keeps all of its state in the
// caller's work area and allocates nothing. Platform-free.
#ifndef TSARIN_PAYLOAD_EXPLODE_H
#define TSARIN_PAYLOAD_EXPLODE_H

#include <cstdint>

// Stores up to *size (always 2048) compressed bytes at the start of buffer and returns how many
// it stored; 0 means no more input.
typedef uint32_t (*ExplodeReadFn)(char* buffer, uint32_t* size, void* param);
// Takes *count decompressed bytes from buffer. Write failures are the callback's business.
typedef void (*ExplodeWriteFn)(char* buffer, uint32_t* count, void* param);

enum ExplodeResult : int32_t {
  kExplodeOk = 0,              // the end-of-stream code was reached
  kExplodeBadDictionary = 1,   // dictionary-size byte not 4, 5 or 6
  kExplodeBadLiteralMode = 2,  // literal mode not 0 or 1
  kExplodeShortInput = 3,      // the first read delivered 4 bytes or fewer
  kExplodeTruncated = 4,       // input ended before the end-of-stream code
};

constexpr uint32_t kExplodeReadSize = 2048;
constexpr uint32_t kExplodeBlockSize = 4096;
constexpr uint32_t kExplodeMaxMatch = 518;
// Match copies move 16 bytes at a time and may write up to 15 bytes past the end of a match
// longer than 32 bytes (shorter ones stay further inside the window).
constexpr uint32_t kExplodeCopySlack = 16;
// The symbol table is looked up with the next 11 stream bits: the flag bit and up to 10 code
// bits. The literal codes longer than 10 bits are finished in 37 groups of 8 long-literal
// entries; the long-literal table is a power of two larger, so that every literal's index into
// it, taken modulo its size, lands inside.
// (Builds not optimised for size decode the bulk of a stream with constant tables instead,
// one lookup per literal or short match; these serve the exact path near the end of the
// input.)
constexpr uint32_t kExplodeSymbolTableBits = 11;
constexpr uint32_t kExplodeLongLiteralGroups = 37;
constexpr uint32_t kExplodeLongLiteralEntries = 512;

// The decoder's whole state for one call. The caller supplies the memory; its contents
// between calls do not matter.
struct ExplodeWorkArea {
  uint64_t bitBuffer;  // loaded, unconsumed stream bits; bit 0 is the next one
  uint32_t bitCount;   // valid bits in bitBuffer
  uint32_t literalMode;
  uint32_t dictBits;
  uint32_t outputPos;  // index in window of the next output byte
  uint32_t inputPos;
  uint32_t inputCount;
  void* param;
  ExplodeReadFn read;
  ExplodeWriteFn write;
  // 4096 bytes of history, 4096 of current output, room for a 518-byte match decoded from
  // position 8191 (and one byte more), and the slack of word-sized copies.
  uint8_t window[2 * kExplodeBlockSize + kExplodeMaxMatch - 1 + kExplodeCopySlack];
  uint8_t input[kExplodeReadSize];
  uint16_t symbolTable[1u << kExplodeSymbolTableBits];
  uint16_t longLiteralTable[kExplodeLongLiteralEntries];
  uint16_t distanceTable[256];
};

// Decodes one stream. Returns an ExplodeResult (0 on success).
int32_t ExplodeStream(ExplodeReadFn read, ExplodeWriteFn write, ExplodeWorkArea* work, void* param);

#endif  // TSARIN_PAYLOAD_EXPLODE_H
