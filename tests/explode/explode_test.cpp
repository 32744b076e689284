// Tests of the implode-stream decoder against streams built here, bit by bit, from the code
// tables as the format defines them (written out again below rather than taken from the
// decoder, so that a wrong table on either side shows up).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/explode.h"
#include "support/bit_writer.h"

namespace {

// --- The format's code tables ----------------------------------------------------------------

struct Code {
  uint32_t stored;  // first stream bit = bit 0
  int bits;
};

const Code kLengthCode[16] = {{0x05, 3}, {0x03, 2}, {0x01, 3}, {0x06, 3}, {0x0A, 4}, {0x02, 4},
                              {0x0C, 4}, {0x14, 5}, {0x04, 5}, {0x18, 5}, {0x08, 5}, {0x30, 6},
                              {0x10, 6}, {0x20, 6}, {0x40, 7}, {0x00, 7}};
const int kLengthExtra[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
const uint32_t kLengthBase[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 14, 22, 38, 70, 134, 262};

const uint8_t kDistanceStored[64] = {
    0x03, 0x0D, 0x05, 0x19, 0x09, 0x11, 0x01, 0x3E, 0x1E, 0x2E, 0x0E, 0x36, 0x16, 0x26, 0x06, 0x3A,
    0x1A, 0x2A, 0x0A, 0x32, 0x12, 0x22, 0x42, 0x02, 0x7C, 0x3C, 0x5C, 0x1C, 0x6C, 0x2C, 0x4C, 0x0C,
    0x74, 0x34, 0x54, 0x14, 0x64, 0x24, 0x44, 0x04, 0x78, 0x38, 0x58, 0x18, 0x68, 0x28, 0x48, 0x08,
    0xF0, 0x70, 0xB0, 0x30, 0xD0, 0x50, 0x90, 0x10, 0xE0, 0x60, 0xA0, 0x20, 0xC0, 0x40, 0x80, 0x00};

int DistanceBits(int index) {
  if (index == 0) return 2;
  if (index <= 2) return 4;
  if (index <= 6) return 5;
  if (index <= 21) return 6;
  if (index <= 47) return 7;
  return 8;
}

const uint8_t kLiteralLengths[16][16] = {
    {11, 12, 12, 12, 12, 12, 12, 12, 12, 8, 7, 12, 12, 7, 12, 12},
    {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 13, 12, 12, 12, 12, 12},
    {4, 10, 8, 12, 10, 12, 10, 8, 7, 7, 8, 9, 7, 6, 7, 8},
    {7, 6, 7, 7, 7, 7, 8, 7, 7, 8, 8, 12, 11, 7, 9, 11},
    {12, 6, 7, 6, 6, 5, 7, 8, 8, 6, 11, 9, 6, 7, 6, 6},
    {7, 11, 6, 6, 6, 7, 9, 8, 9, 9, 11, 8, 11, 9, 12, 8},
    {12, 5, 6, 6, 6, 5, 6, 6, 6, 5, 11, 7, 5, 6, 5, 5},
    {6, 10, 5, 5, 5, 5, 8, 7, 8, 8, 10, 11, 11, 12, 12, 12},
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13},
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13},
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13},
    {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},
    {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},
    {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},
    {13, 12, 13, 13, 13, 12, 13, 13, 13, 12, 13, 13, 13, 13, 12, 13},
    {13, 13, 12, 12, 12, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13}};

// Canonical codes counted per bit length, complemented, bit-reversed into stream order.
std::vector<Code> CodesFromLengths(const std::vector<int>& lengths) {
  int count[16] = {};
  for (int n : lengths) ++count[n];
  count[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int n = 1; n < 16; ++n) {
    code = (code + count[n - 1]) << 1;
    next[n] = code;
  }
  std::vector<Code> codes;
  for (int n : lengths) {
    const uint32_t complement = ~next[n]++ & ((1u << n) - 1);
    uint32_t stored = 0;
    for (int bit = 0; bit < n; ++bit) stored |= ((complement >> bit) & 1) << (n - 1 - bit);
    codes.push_back({stored, n});
  }
  return codes;
}

const std::vector<Code>& LiteralCodes() {
  static const std::vector<Code> codes = [] {
    std::vector<int> lengths;
    for (int i = 0; i < 256; ++i) lengths.push_back(kLiteralLengths[i >> 4][i & 15]);
    return CodesFromLengths(lengths);
  }();
  return codes;
}

// --- Building streams ------------------------------------------------------------------------

// Writes symbols and keeps, next to the stream, the output a correct decoder must produce and
// where each symbol ends.
class StreamBuilder {
 public:
  StreamBuilder(int literalMode, int dictBits) : literalMode_(literalMode), dictBits_(dictBits) {
    bits_.PutByte(static_cast<uint8_t>(literalMode));
    bits_.PutByte(static_cast<uint8_t>(dictBits));
  }

  void Literal(uint8_t byte) {
    bits_.PutBits(0, 1);
    if (literalMode_ == 0) {
      bits_.PutBits(byte, 8);
    } else {
      bits_.PutBits(LiteralCodes()[byte].stored, LiteralCodes()[byte].bits);
    }
    expected_.push_back(static_cast<char>(byte));
    EndSymbol();
  }

  void Literals(const std::string& text) {
    for (char c : text) Literal(static_cast<uint8_t>(c));
  }

  void Match(uint32_t length, uint32_t distance) {
    ASSERT_GE(length, 2u);
    ASSERT_LE(length, 518u);
    PutLength(length - 2);
    const int lowBits = length == 2 ? 2 : dictBits_;
    const uint32_t index = (distance - 1) >> lowBits;
    ASSERT_LT(index, 64u) << "distance " << distance << " too far for length " << length;
    bits_.PutBits(kDistanceStored[index], DistanceBits(static_cast<int>(index)));
    bits_.PutBits((distance - 1) & ((1u << lowBits) - 1), lowBits);
    // History before the first output byte reads as zeros.
    for (uint32_t i = 0; i < length; ++i) {
      const size_t pos = expected_.size();
      expected_.push_back(pos >= distance ? expected_[pos - distance] : '\0');
    }
    EndSymbol();
  }

  void End() { PutLength(517); }

  std::vector<uint8_t> Bytes() const { return bits_.Bytes(); }
  const std::string& Expected() const { return expected_; }
  size_t BitCount() const { return bits_.BitCount(); }

  // Output a decoder may have written when the stream is cut after `bytes` bytes: symbols
  // whose bits end before the last available byte. The reader always keeps 8 bits of
  // look-ahead, so the byte holding a symbol's last bit is not enough on its own.
  std::string ExpectedWhenCut(size_t bytes) const {
    size_t out = 0;
    for (const auto& end : symbolEnds_) {
      const size_t streamBits = (bytes - 2) * 8;
      const size_t needed = (end.bit + 7) / 8 * 8 + 8;
      if (needed > streamBits) break;
      out = end.output;
    }
    return expected_.substr(0, out);
  }

 private:
  struct SymbolEnd {
    size_t bit;     // bit offset after the header where the symbol ends
    size_t output;  // output bytes once it is decoded
  };

  void PutLength(uint32_t value) {
    int index = 15;
    while (kLengthBase[index] > value) --index;
    bits_.PutBits(1, 1);
    bits_.PutBits(kLengthCode[index].stored, kLengthCode[index].bits);
    bits_.PutBits(value - kLengthBase[index], kLengthExtra[index]);
  }

  void EndSymbol() { symbolEnds_.push_back({bits_.BitCount() - 16, expected_.size()}); }

  int literalMode_;
  int dictBits_;
  BitWriter bits_;
  std::string expected_;
  std::vector<SymbolEnd> symbolEnds_;
};

// Deterministic filler bytes.
std::string Noise(size_t size, uint32_t seed) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    out.push_back(static_cast<char>(seed >> 23));
  }
  return out;
}

// Compares outputs without printing kilobytes of bytes on failure.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  return testing::AssertionFailure() << "output of " << actual.size() << " bytes, expected "
                                     << expected.size() << ", first difference at " << i;
}

// --- Running the decoder ---------------------------------------------------------------------

struct Outcome {
  int32_t result = -1;
  std::string output;
  std::vector<uint32_t> writes;  // sizes in call order
  int reads = 0;
  int emptyReads = 0;       // reads that returned 0
  int readsAfterEmpty = 0;  // a decoder must not ask again once told the input has ended
  bool sizeAlways2048 = true;
};

struct Source {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
  uint32_t firstRead;
  uint32_t laterReads;
  uint32_t claimed = 0;  // if non-zero, the count returned for a full 2048-byte read
  Outcome* run;
};

uint32_t ReadFromSource(char* buffer, uint32_t* size, void* param) {
  Source* src = static_cast<Source*>(param);
  Outcome* run = src->run;
  if (*size != kExplodeReadSize) run->sizeAlways2048 = false;
  if (run->emptyReads > 0) ++run->readsAfterEmpty;
  const uint32_t want = std::min(*size, run->reads == 0 ? src->firstRead : src->laterReads);
  ++run->reads;
  const uint32_t count =
      static_cast<uint32_t>(std::min<size_t>(want, src->data->size() - src->pos));
  std::memcpy(buffer, src->data->data() + src->pos, count);
  src->pos += count;
  *size = 12345;  // whatever is left here must not matter
  if (count == 0) ++run->emptyReads;
  if (src->claimed != 0 && count == kExplodeReadSize) return src->claimed;
  return count;
}

void WriteToRun(char* buffer, uint32_t* count, void* param) {
  Outcome* run = static_cast<Source*>(param)->run;
  run->writes.push_back(*count);
  run->output.append(buffer, *count);
  *count = 0;
}

Outcome Explode(const std::vector<uint8_t>& stream, uint32_t firstRead = kExplodeReadSize,
                uint32_t laterReads = kExplodeReadSize, uint32_t claimed = 0) {
  Outcome run;
  Source src{&stream, 0, firstRead, laterReads, claimed, &run};
  // Leftovers of earlier use must not matter: start from a dirty work area.
  auto work = std::make_unique<ExplodeWorkArea>();
  std::memset(static_cast<void*>(work.get()), 0xA5, sizeof(ExplodeWorkArea));
  run.result = ExplodeStream(ReadFromSource, WriteToRun, work.get(), &src);
  return run;
}

// Full blocks, then exactly one final write of less than a block.
void ExpectBlockShape(const Outcome& run) {
  ASSERT_FALSE(run.writes.empty());
  for (size_t i = 0; i + 1 < run.writes.size(); ++i) {
    EXPECT_EQ(run.writes[i], kExplodeBlockSize) << "write " << i;
  }
  EXPECT_LT(run.writes.back(), kExplodeBlockSize);
  EXPECT_EQ(run.readsAfterEmpty, 0);
  EXPECT_TRUE(run.sizeAlways2048);
}

// A stream with every kind of symbol, a block boundary, and a little of everything else.
StreamBuilder MixedStream(int literalMode, int dictBits) {
  StreamBuilder s(literalMode, dictBits);
  s.Literals("Tessarin\r\n");
  s.Match(2, 3);
  s.Match(9, 10);
  s.Literals(Noise(40, 7));
  for (int i = 0; i < 9; ++i) s.Match(518, 1 + 37 * i);  // crosses the first block
  s.Literal(0xFF);
  s.Literal(0x00);
  s.Match(5, 1);
  s.Match(300, 1000);
  s.Literals("end");
  return s;
}

// --- Tests -----------------------------------------------------------------------------------

TEST(ExplodeReferenceStream, DecodesLiteralsMatchAndEndInLastByte) {
  const std::vector<uint8_t> stream = {0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F};
  const Outcome run = Explode(stream);
  EXPECT_EQ(run.result, kExplodeOk);
  EXPECT_TRUE(SameBytes(run.output, "AIAIAIAIAIAIA"));
  EXPECT_EQ(run.writes, std::vector<uint32_t>{13});
  EXPECT_EQ(run.reads, 2);  // the last read is the one that finds no look-ahead byte
  EXPECT_EQ(run.emptyReads, 1);
}

TEST(ExplodeHeader, RefusesBadHeaderWithoutWritingAndChecksDictionaryFirst) {
  struct Case {
    uint8_t literalMode, dictBits;
    int32_t result;
  };
  const Case cases[] = {{0, 3, kExplodeBadDictionary},    {0, 7, kExplodeBadDictionary},
                        {1, 0, kExplodeBadDictionary},    {2, 4, kExplodeBadLiteralMode},
                        {255, 6, kExplodeBadLiteralMode}, {2, 3, kExplodeBadDictionary},
                        {7, 255, kExplodeBadDictionary}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> stream = {c.literalMode, c.dictBits, 0x01, 0xFE, 0x01, 0x00};
    const Outcome run = Explode(stream);
    EXPECT_EQ(run.result, c.result) << int{c.literalMode} << "/" << int{c.dictBits};
    EXPECT_TRUE(run.writes.empty());
    EXPECT_EQ(run.reads, 1);
  }
}

TEST(ExplodeHeader, FirstReadOfFourBytesOrFewerIsRefusedEvenForValidEmptyStream) {
  StreamBuilder empty(0, 6);
  empty.End();
  const std::vector<uint8_t> stream = empty.Bytes();
  ASSERT_EQ(stream.size(), 4u);
  for (uint32_t first = 0; first <= 4; ++first) {
    const Outcome run = Explode(stream, first);
    EXPECT_EQ(run.result, kExplodeShortInput) << first;
    EXPECT_TRUE(run.writes.empty());
    EXPECT_EQ(run.reads, 1);
  }
  // The same stream with one byte to spare is fine, and so is a 5-byte first read of a longer
  // stream followed by further reads.
  std::vector<uint8_t> padded = stream;
  padded.push_back(0x00);
  const Outcome emptyRun = Explode(padded);
  EXPECT_EQ(emptyRun.result, kExplodeOk);
  EXPECT_EQ(emptyRun.writes, std::vector<uint32_t>{0});

  StreamBuilder mixed = MixedStream(1, 4);
  mixed.End();
  const Outcome run = Explode(mixed.Bytes(), 5, 3);
  EXPECT_EQ(run.result, kExplodeOk);
  EXPECT_TRUE(SameBytes(run.output, mixed.Expected()));
}

TEST(ExplodeTruncation, CutStreamWritesExactlyTheSymbolsBeforeTheCut) {
  for (int literalMode = 0; literalMode <= 1; ++literalMode) {
    StreamBuilder s = MixedStream(literalMode, 5);
    s.End();
    const std::vector<uint8_t> full = s.Bytes();
    for (size_t cut = 5; cut < full.size(); ++cut) {
      const std::vector<uint8_t> stream(full.begin(), full.begin() + cut);
      const Outcome run = Explode(stream);
      ASSERT_EQ(run.result, kExplodeTruncated) << "mode " << literalMode << " cut " << cut;
      ASSERT_TRUE(SameBytes(run.output, s.ExpectedWhenCut(cut)))
          << "mode " << literalMode << " cut " << cut;
      ExpectBlockShape(run);
      EXPECT_EQ(run.emptyReads, 1);
    }
    EXPECT_EQ(Explode(full).result, kExplodeOk);
  }
}

TEST(ExplodeInput, ReadSizeDoesNotChangeTheOutput) {
  StreamBuilder s(1, 6);
  for (int i = 0; i < 6; ++i) {
    s.Literals(Noise(700, i));
    s.Match(518, 4000);
    s.Match(3, 4096);
    s.Match(2, 256);
  }
  s.End();
  const std::vector<uint8_t> stream = s.Bytes();
  ASSERT_GT(stream.size(), 3 * kExplodeReadSize);
  const Outcome reference = Explode(stream);
  ASSERT_EQ(reference.result, kExplodeOk);
  ASSERT_TRUE(SameBytes(reference.output, s.Expected()));
  const uint32_t plans[][2] = {{5, 1}, {2048, 1}, {7, 2047}, {100, 3}};
  for (const auto& plan : plans) {
    const Outcome run = Explode(stream, plan[0], plan[1]);
    EXPECT_EQ(run.result, kExplodeOk) << plan[0] << "/" << plan[1];
    EXPECT_TRUE(SameBytes(run.output, reference.output)) << plan[0] << "/" << plan[1];
    EXPECT_EQ(run.writes, reference.writes);
  }
}

TEST(ExplodeInput, OverlongReadCountDoesNotReadPastTheBuffer) {
  StreamBuilder s(0, 6);
  s.Literals(Noise(6000, 3));
  s.End();
  const Outcome run = Explode(s.Bytes(), kExplodeReadSize, kExplodeReadSize, 0xFFFFFFFFu);
  EXPECT_EQ(run.result, kExplodeOk);
  EXPECT_TRUE(SameBytes(run.output, s.Expected()));
}

TEST(ExplodeOutput, WritesFullBlocksThenOneFinalWriteOfTheRest) {
  struct Case {
    size_t size;
    std::vector<uint32_t> writes;
  };
  const Case cases[] = {{0, {0}},
                        {1, {1}},
                        {4095, {4095}},
                        {4096, {4096, 0}},
                        {4097, {4096, 1}},
                        {8192, {4096, 4096, 0}},
                        {12288 + 518, {4096, 4096, 4096, 518}}};
  // Output made mostly of long matches (blocks fill up in the middle of a copy) or of literals
  // only, in both literal modes; with bytes after the end code, the end is decoded away from
  // the input's end too, where a block that fills up just before the end code must still be
  // followed by the final write.
  for (const Case& c : cases) {
    for (int variant = 0; variant < 3; ++variant) {
      for (size_t trailing : {size_t{1}, size_t{24}}) {
        StreamBuilder s(variant == 2 ? 1 : 0, 4);
        size_t left = c.size;
        if (variant == 0 && left > 0) {
          s.Literal('z');
          --left;
        }
        while (left > 0) {
          const size_t n = variant == 0 ? std::min<size_t>(left, 518) : 1;
          if (n >= 2) {
            s.Match(static_cast<uint32_t>(n), 1);
          } else {
            s.Literal(static_cast<uint8_t>('a' + left % 7));
          }
          left -= n;
        }
        s.End();
        std::vector<uint8_t> stream = s.Bytes();
        stream.insert(stream.end(), trailing, 0);  // also: a lone end code is too short
        const Outcome run = Explode(stream);
        EXPECT_EQ(run.result, kExplodeOk) << c.size << " variant " << variant;
        EXPECT_EQ(run.writes, c.writes) << c.size << " variant " << variant << " +" << trailing;
        EXPECT_TRUE(SameBytes(run.output, s.Expected())) << c.size << " variant " << variant;
      }
    }
  }
}

TEST(ExplodeWindow, LongestMatchAtLastBlockPositionKeepsPendingInputIntact) {
  // The match starts at window position 8191: after 4095 bytes, and after 8191 bytes once the
  // history holds real output. It fills the window to its last byte. After one more literal it
  // starts at 8192, when a literal at 8191 and the match are decoded in a row before the block
  // is written.
  for (size_t before : {size_t{4095}, size_t{8191}, size_t{4096}, size_t{8192}}) {
    StreamBuilder s(0, 6);
    s.Literals(Noise(before, 11));
    s.Match(518, 1000);
    s.Literals(Noise(3000, 12));  // decoded from input already buffered during the copy
    s.End();
    const Outcome run = Explode(s.Bytes());
    EXPECT_EQ(run.result, kExplodeOk) << before;
    EXPECT_TRUE(SameBytes(run.output, s.Expected())) << before;
    ExpectBlockShape(run);
  }
}

TEST(ExplodeWindow, ShortMatchAcrossBlockEndThenLongestMatchKeepsPendingInputIntact) {
  // A 16-byte match from position 8191 ends 15 bytes past the block end; a longest match right
  // after it must wait for the block to be written, or its copy runs past the window into the
  // input buffer. That damages the output only while unread input lies at the start of that
  // buffer, so the literals before the matches (' ' takes 5 bits, 0x80 14) are chosen to put
  // the longest match at each of the first bytes of a read in turn.
  auto build = [](size_t spaces, size_t* longMatchBit) {
    StreamBuilder s(1, 6);
    std::string before(8191 - 16, static_cast<char>(0x80));
    before.replace(0, spaces, std::string(spaces, ' '));
    s.Literals(before);
    s.Literals(Noise(16, 13));
    s.Match(16, 100);
    *longMatchBit = s.BitCount();
    s.Match(518, 1000);
    s.Literals(Noise(3000, 14));
    s.End();
    return s;
  };
  size_t noSpaces = 0;
  build(0, &noSpaces);
  int cases = 0;
  for (size_t spaces = 0; spaces < 8191 - 16 && cases < 24; ++spaces) {
    if ((noSpaces - 9 * spaces) / 8 % kExplodeReadSize >= 24) continue;
    ++cases;
    size_t bit = 0;
    const StreamBuilder s = build(spaces, &bit);
    ASSERT_EQ(bit, noSpaces - 9 * spaces);
    const Outcome run = Explode(s.Bytes());
    EXPECT_EQ(run.result, kExplodeOk) << spaces;
    EXPECT_TRUE(SameBytes(run.output, s.Expected())) << spaces;
  }
  EXPECT_EQ(cases, 24);
}

TEST(ExplodeDistance, LengthTwoMatchUsesTwoLowBitsWhateverTheDictionary) {
  for (int dictBits = 4; dictBits <= 6; ++dictBits) {
    const uint32_t farthest = 1u << (dictBits + 6);
    StreamBuilder s(1, dictBits);
    s.Literals(Noise(farthest, dictBits));
    for (uint32_t d : {1u, 2u, 3u, 4u, 5u, 17u, 64u, 65u, 255u, 256u}) s.Match(2, d);
    s.Match(3, farthest);
    s.Match(518, farthest);
    s.Match(3, 1);
    s.End();
    const Outcome run = Explode(s.Bytes());
    EXPECT_EQ(run.result, kExplodeOk) << dictBits;
    EXPECT_TRUE(SameBytes(run.output, s.Expected())) << dictBits;
  }
}

TEST(ExplodeDistance, MatchReachingBeforeFirstByteCopiesZeros) {
  StreamBuilder s(0, 6);
  s.Literal('x');
  s.Match(5, 3);
  s.Match(4, 4096);
  s.End();
  ASSERT_EQ(s.Expected(), std::string("x\0\0x\0\0\0\0\0\0", 10));
  const Outcome run = Explode(s.Bytes());  // the work area starts full of 0xA5
  EXPECT_EQ(run.result, kExplodeOk);
  EXPECT_TRUE(SameBytes(run.output, s.Expected()));
}

TEST(ExplodeCodes, EveryHeaderCombinationDecodesEveryLengthDistanceAndLiteralCode) {
  for (int literalMode = 0; literalMode <= 1; ++literalMode) {
    for (int dictBits = 4; dictBits <= 6; ++dictBits) {
      StreamBuilder s(literalMode, dictBits);
      for (int b = 0; b < 256; ++b) s.Literal(static_cast<uint8_t>(b));
      s.Literals(Noise(4096, 5));
      // Every match length (every length code with each of its extra values), each with a
      // distance from the next distance code in turn and a varying low part.
      for (uint32_t length = 2; length <= 518; ++length) {
        const int lowBits = length == 2 ? 2 : dictBits;
        const uint32_t index = length % 64;
        const uint32_t low = (length * 7) & ((1u << lowBits) - 1);
        s.Match(length, (index << lowBits) + low + 1);
      }
      s.End();
      const Outcome run = Explode(s.Bytes());
      EXPECT_EQ(run.result, kExplodeOk) << literalMode << "/" << dictBits;
      EXPECT_TRUE(SameBytes(run.output, s.Expected())) << literalMode << "/" << dictBits;
      ExpectBlockShape(run);
    }
  }
}

TEST(ExplodeEnd, EndCodeEndingInLastByteOrMidByteSucceedsAndTrailingBytesAreIgnored) {
  for (int literals = 0; literals <= 8; ++literals) {
    StreamBuilder s(0, 6);
    for (int i = 0; i < literals; ++i) s.Literal(static_cast<uint8_t>('a' + i));
    s.End();
    std::vector<uint8_t> stream = s.Bytes();
    // Pad the first read beyond 4 bytes where the stream itself is that short.
    if (stream.size() < 5) stream.push_back(0);
    const Outcome exact = Explode(stream);
    EXPECT_EQ(exact.result, kExplodeOk) << literals;
    EXPECT_TRUE(SameBytes(exact.output, s.Expected())) << literals;
    EXPECT_EQ(exact.readsAfterEmpty, 0);

    stream.insert(stream.end(), {0xFF, 0x12, 0x00, 0x80});
    const Outcome trailing = Explode(stream, 5, 1);
    EXPECT_EQ(trailing.result, kExplodeOk) << literals;
    EXPECT_TRUE(SameBytes(trailing.output, s.Expected())) << literals;
  }
  // 8 literals of 9 bits and the 16-bit end code fill exactly 11 bytes.
  StreamBuilder aligned(0, 5);
  aligned.Literals("abcdefgh");
  aligned.End();
  EXPECT_EQ(aligned.BitCount() % 8, 0u);
  const Outcome run = Explode(aligned.Bytes());
  EXPECT_EQ(run.result, kExplodeOk);
  EXPECT_EQ(run.emptyReads, 1);
}

}  // namespace
