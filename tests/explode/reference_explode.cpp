// See reference_explode.h. Written to be plainly right rather than fast: the reader keeps 8 bits
// of look-ahead and loads one byte at a time, codes are read a bit at a time, matches copied a
// byte at a time.
#include "explode/reference_explode.h"

#include <cstring>

namespace {

enum : int32_t { kOk, kBadDictionary, kBadLiteralMode, kShortInput, kTruncated };
constexpr uint32_t kReadSize = 2048, kBlockSize = 4096, kEndLength = 519;

// Bit lengths of the literal (mode 1), length and distance codes, one hex digit per symbol.
const char kLiteralBits[] =
    "BCCCCCCCC87CC7CCCCCCCCCCCCDCCCCC4A8CACA87789767876777787788CB79BC676657886B967667B66679899B8B"
    "9C8C566656665B756556A55558788ABBCCCDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDCCCCCCCCCC"
    "CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCDCDDDCDDDCDDDDCDDDCCCDDDDDDDDDDD";
const char kLengthBits[] = "3233444555566677";
const char kDistanceBits[] = "2445555666666666666666777777777777777777777777778888888888888888";
const uint16_t kLengthBase[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 14, 22, 38, 70, 134, 262};

// A code given by its bit lengths. Ordered by length and then by symbol, each symbol's canonical
// code is the code space taken by those before it; the stream carries it complemented, first
// bit highest. symbolAt[1 << n | n stream bits, first bit highest] is the symbol + 1, or 0.
struct Code {
  uint16_t symbolAt[1 << 14] = {};
  explicit Code(const char* bits) {
    const auto length = [&](uint32_t s) { return bits[s] - (bits[s] <= '9' ? '0' : 'A' - 10); };
    for (uint32_t s = 0; bits[s] != 0; ++s) {
      const int n = length(s);
      uint32_t canonical = 0;
      for (uint32_t t = 0; bits[t] != 0; ++t) {
        if (length(t) < n || (length(t) == n && t < s)) canonical += 1u << (n - length(t));
      }
      symbolAt[1u << n | (~canonical & ((1u << n) - 1))] = static_cast<uint16_t>(s + 1);
    }
  }
};

// Loads input bytes until n bits and 8 more are loaded, asking for input when the buffer is used
// up. False when the input ends first.
bool Fill(ReferenceWorkArea* w, uint32_t n) {
  while (w->bitCount < n + 8) {
    if (w->inputPos == w->inputCount) {
      uint32_t size = kReadSize;
      const uint32_t count = w->read(reinterpret_cast<char*>(w->input), &size, w->param);
      if (count == 0) return false;
      w->inputCount = count < kReadSize ? count : kReadSize;  // never more than was offered
      w->inputPos = 0;
    }
    w->bits |= uint64_t{w->input[w->inputPos++]} << w->bitCount;
    w->bitCount += 8;
  }
  return true;
}

uint32_t Peek(const ReferenceWorkArea* w, uint32_t n) {
  return static_cast<uint32_t>(w->bits) & ((1u << n) - 1);
}

bool Take(ReferenceWorkArea* w, uint32_t n, uint32_t* value) {
  if (!Fill(w, n)) return false;
  *value = Peek(w, n);
  w->bits >>= n;
  w->bitCount -= n;
  return true;
}

bool Decode(ReferenceWorkArea* w, const Code& code, uint32_t* symbol) {
  uint32_t at = 1, bit;
  while (code.symbolAt[at] == 0) {
    if (!Take(w, 1, &bit)) return false;
    at = at << 1 | bit;
  }
  *symbol = code.symbolAt[at] - 1u;
  return true;
}

void Write(ReferenceWorkArea* w, uint32_t count) {
  w->write(reinterpret_cast<char*>(w->window + kBlockSize), &count, w->param);
}

}  // namespace

int32_t ReferenceExplodeStream(ReferenceReadFn read, ReferenceWriteFn write, ReferenceWorkArea* w,
                               void* param) {
  static const Code literals(kLiteralBits), lengths(kLengthBits), distances(kDistanceBits);
  *w = ReferenceWorkArea{read, write, param, 0, 0, 2, 0, {}, {}};
  uint32_t size = kReadSize;
  const uint32_t count = read(reinterpret_cast<char*>(w->input), &size, param);
  if (count <= 4) return kShortInput;  // even the empty stream's 4 bytes
  w->inputCount = count < kReadSize ? count : kReadSize;
  const uint32_t literalMode = w->input[0], dictBits = w->input[1];
  if (dictBits < 4 || dictBits > 6) return kBadDictionary;
  if (literalMode > 1) return kBadLiteralMode;
  uint32_t out = kBlockSize;  // after 4096 bytes of history, zeros as initialised above
  int32_t result = kTruncated;
  for (uint32_t flag, value; Take(w, 1, &flag);) {
    if (flag == 0) {
      if (!(literalMode == 1 ? Decode(w, literals, &value) : Take(w, 8, &value))) break;
      w->window[out++] = static_cast<uint8_t>(value);
    } else {
      uint32_t code, index, low;
      if (!Decode(w, lengths, &code)) break;
      const uint32_t extra = code < 8 ? 0 : code - 7;
      const bool loaded = Fill(w, extra);
      const uint32_t length = kLengthBase[code] + Peek(w, extra) + 2;
      if (length == kEndLength) {  // the end code's last bits may end the input
        result = kOk;
        break;
      }
      const uint32_t lowBits = length == 2 ? 2 : dictBits;
      if (!loaded || !Take(w, extra, &value) || !Decode(w, distances, &index) ||
          !Take(w, lowBits, &low)) {
        break;
      }
      for (uint32_t i = 0; i < length; ++i, ++out) {
        w->window[out] = w->window[out - (index << lowBits) - low - 1];
      }
    }
    if (out >= 2 * kBlockSize) {
      Write(w, kBlockSize);
      std::memmove(w->window, w->window + kBlockSize, out - kBlockSize);
      out -= kBlockSize;
    }
  }
  Write(w, out - kBlockSize);
  return result;
}
