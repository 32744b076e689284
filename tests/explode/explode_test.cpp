// ExplodeStream, in the build this program links, against the reference decoder
// (reference_explode.cpp, its own copy of the codes): both must return the same result and
// make the same callback calls in the same order, with the same sizes and bytes. The streams:
// hand-built ones that reach the edges of the header, the input buffer, the window and the
// output blocks, and compressor output, random token sequences and random bytes, whole, cut
// and damaged, with many read sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "explode/reference_explode.h"
#include "payload/explode.h"
#include "tools/implode.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Tokens = std::vector<ImplodeToken>;

struct ReadPlan {
  uint32_t first = 2048, later = 2048;
  uint32_t claimed = 0;  // if non-zero, the count returned for a full 2048-byte read
};

// All a decoder shows its caller.
struct Trace {
  int32_t result = -1;
  std::string calls, output;
  std::vector<uint32_t> writes;
};

struct Feed {
  const Bytes& data;
  ReadPlan plan;
  Trace* trace;
  size_t pos = 0, reads = 0;
};

uint32_t Read(char* buffer, uint32_t* size, void* param) {
  Feed* f = static_cast<Feed*>(param);
  const uint32_t count = static_cast<uint32_t>(std::min<size_t>(
      {f->reads++ == 0 ? f->plan.first : f->plan.later, *size, f->data.size() - f->pos}));
  if (count != 0) std::memcpy(buffer, f->data.data() + f->pos, count);
  f->pos += count;
  f->trace->calls += "read " + std::to_string(*size) + " -> " + std::to_string(count) + "\n";
  *size = 777;  // what is left here must not matter
  return f->plan.claimed != 0 && count == 2048 ? f->plan.claimed : count;
}

void Write(char* buffer, uint32_t* count, void* param) {
  Trace* t = static_cast<Feed*>(param)->trace;
  t->calls += "write " + std::to_string(*count) + "\n";
  t->writes.push_back(*count);
  t->output.append(buffer, *count);
  *count = 0;  // nor here
}

class ExplodeTest : public testing::Test {
 protected:
  // Runs both decoders, ExplodeStream on a work area dirty from earlier use, and compares all
  // they show; ExplodeStream's trace stays in got_.
  testing::AssertionResult Same(const Bytes& stream, const ReadPlan& plan = {}) {
    want_ = got_ = Trace();
    Feed want{stream, plan, &want_}, got{stream, plan, &got_};
    want_.result = ReferenceExplodeStream(Read, Write, reference_.get(), &want);
    std::memset(static_cast<void*>(work_.get()), ++runs_ * 37, sizeof(ExplodeWorkArea));
    got_.result = ExplodeStream(Read, Write, work_.get(), &got);
    if (got_.result == want_.result && got_.calls == want_.calls && got_.output == want_.output) {
      return testing::AssertionSuccess();
    }
    size_t at = 0;
    const size_t common = std::min(got_.output.size(), want_.output.size());
    while (at < common && got_.output[at] == want_.output[at]) ++at;
    return testing::AssertionFailure()
           << "stream of " << stream.size() << " bytes, reads " << plan.first << "/" << plan.later
           << ": result " << got_.result << " (reference " << want_.result << "), output "
           << got_.output.size() << " bytes (reference " << want_.output.size()
           << "), first difference at " << at << "\ncalls:\n"
           << got_.calls.substr(0, 2000) << "reference calls:\n"
           << want_.calls.substr(0, 2000);
  }

  Trace want_, got_;

 private:
  std::unique_ptr<ExplodeWorkArea> work_ = std::make_unique<ExplodeWorkArea>();
  std::unique_ptr<ReferenceWorkArea> reference_ = std::make_unique<ReferenceWorkArea>();
  uint32_t runs_ = 0;
};

// --- Stream material ---------------------------------------------------------------------------

const ImplodeOptions kHeaders[] = {{0, 4}, {0, 5}, {0, 6}, {1, 4}, {1, 5}, {1, 6}};

Bytes Encode(const ImplodeOptions& options, const Tokens& tokens, const Bytes& trailing = {}) {
  Bytes stream;
  EXPECT_TRUE(ImplodeEncode(tokens, options, &stream));
  stream.insert(stream.end(), trailing.begin(), trailing.end());
  return stream;
}

// Tokens of hand-built streams: literals of one byte or of noise, and matches.
struct Build {
  Build& Literals(size_t n, int byte = -1) {
    for (size_t i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      tokens.push_back(ImplodeToken::Literal(static_cast<uint8_t>(byte < 0 ? seed >> 23 : byte)));
    }
    return *this;
  }
  Build& Match(uint32_t length, uint32_t distance) {
    tokens.push_back(ImplodeToken::Match(length, distance));
    return *this;
  }
  Tokens tokens;
  uint32_t seed = 1;
};

uint32_t Next(std::mt19937& rng) {
  return static_cast<uint32_t>(rng());
}

// Text, runs, short periods, noise, and copies from up to 5000 bytes back, for the compressor.
Bytes Material(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(1, 'T');
  while (out.size() < size) {
    const uint32_t kind = Next(rng) % 5, n = Next(rng) % 300 + 1;
    const size_t back = std::min<size_t>(out.size(), kind == 0   ? 1
                                                     : kind == 1 ? Next(rng) % 14 + 2
                                                                 : Next(rng) % 5000 + 1);
    for (uint32_t i = 0; i < n; ++i) {
      out.push_back(kind == 3   ? static_cast<uint8_t>(Next(rng))
                    : kind == 4 ? " etaoinshrdlu\r\n"[Next(rng) % 15]
                                : out[out.size() - back]);
    }
  }
  return out;
}

Bytes Compress(const Bytes& data, const ImplodeOptions& options) {
  Bytes stream;
  EXPECT_TRUE(ImplodeBuffer(data.data(), data.size(), options, &stream));
  return stream;
}

// Literals, and matches of every length class at distances up to the farthest each may reach.
Bytes RandomStream(const ImplodeOptions& options, size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  Tokens tokens;
  uint32_t produced = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pick = Next(rng) % 10;
    if (pick < 4 || produced < 2) {
      tokens.push_back(ImplodeToken::Literal(static_cast<uint8_t>(Next(rng))));
      ++produced;
      continue;
    }
    const uint32_t length = pick < 7 ? 2 + Next(rng) % 20 : 2 + Next(rng) % 517;
    const uint32_t reach = std::min<uint32_t>(produced, length == 2 ? 256 : 64 << options.dictBits);
    const uint32_t within = Next(rng) % 3 == 0 ? std::min<uint32_t>(reach, 17) : reach;
    tokens.push_back(ImplodeToken::Match(length, 1 + Next(rng) % within));
    produced += length;
  }
  return Encode(options, tokens);
}

// --- Hand-built streams ------------------------------------------------------------------------

TEST_F(ExplodeTest, DecodesAStreamMadeElsewhereWithItsEndCodeInTheLastByte) {
  // Literals, a match that overlaps its own output, and the end code in the last byte.
  EXPECT_TRUE(Same({0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}));
  EXPECT_EQ(got_.output, "AIAIAIAIAIAIA");
  EXPECT_EQ(got_.calls, "read 2048 -> 8\nread 2048 -> 0\nwrite 13\n");
  EXPECT_EQ(got_.result, kExplodeOk);
}

TEST_F(ExplodeTest, RefusesBadHeadersAndShortFirstReadsWithoutWriting) {
  struct Case {
    uint8_t literalMode, dictBits;
    int32_t result;
  };
  // The dictionary size is checked first. A first read of 4 bytes or fewer is refused before
  // either, even with the empty stream (header and end code) in it.
  const Case cases[] = {{0, 6, kExplodeOk},
                        {1, 4, kExplodeOk},
                        {0, 3, kExplodeBadDictionary},
                        {0, 7, kExplodeBadDictionary},
                        {1, 0, kExplodeBadDictionary},
                        {2, 3, kExplodeBadDictionary},
                        {7, 255, kExplodeBadDictionary},
                        {2, 4, kExplodeBadLiteralMode},
                        {255, 6, kExplodeBadLiteralMode}};
  for (const Case& c : cases) {
    for (uint32_t first = 0; first <= 6; ++first) {
      EXPECT_TRUE(Same({c.literalMode, c.dictBits, 0x01, 0xFF, 0x00, 0x00}, {first, 1}));
      EXPECT_EQ(got_.result, first <= 4 ? kExplodeShortInput : c.result)
          << int{c.literalMode} << "/" << int{c.dictBits} << ", first read " << first;
    }
  }
}

TEST_F(ExplodeTest, WritesFullBlocksThenOneFinalShorterBlock) {
  struct Case {
    uint32_t size;
    std::vector<uint32_t> writes;
  };
  const Case cases[] = {{0, {0}},
                        {1, {1}},
                        {4095, {4095}},
                        {4096, {4096, 0}},
                        {4097, {4096, 1}},
                        {8192, {4096, 4096, 0}},
                        {12288 + 518, {4096, 4096, 4096, 518}}};
  // Output of a literal and longest matches (blocks fill up in the middle of a copy), or of
  // literals only in either mode. With bytes after the end code, it is decoded away from the
  // input's end too, where a block filled just before it must still be followed by the final
  // write.
  for (const Case& c : cases) {
    for (int variant = 0; variant < 3; ++variant) {
      Build b;
      for (uint32_t left = c.size, n; left > 0; left -= n) {
        n = variant == 0 && left < c.size ? std::min(left, 518u) : 1;
        n == 1 ? b.Literals(1) : b.Match(n, 1);
      }
      for (size_t trailing : {1, 24}) {
        EXPECT_TRUE(Same(Encode({variant == 2, 4}, b.tokens, Bytes(trailing, 0))));
        EXPECT_EQ(got_.writes, c.writes) << c.size << " variant " << variant << " +" << trailing;
      }
    }
  }
}

TEST_F(ExplodeTest, MatchesFromTheLastBlockPositionLeavePendingInputIntact) {
  // A longest match from window position 8191, the last before the block is written: after
  // 4095 bytes, and after 8191 once the history holds output. It fills the window to its last
  // byte, while the input after it is loaded already. One byte later it starts at 8192, right
  // after a literal at 8191, before the block is written.
  for (size_t before : {4095, 8191, 4096, 8192}) {
    EXPECT_TRUE(
        Same(Encode({0, 6}, Build().Literals(before).Match(518, 1000).Literals(3000).tokens)))
        << before;
  }
  // A 16-byte match from position 8191 ends 15 bytes past the block end, and a longest match
  // right after it must wait for the block to be written, or its copy runs past the window into
  // the input buffer. That damages the output only while unread input lies at the start of the
  // buffer: the first read puts the longest match at each of the first 24 bytes of a read.
  const Bytes stream = Encode({1, 6}, Build()
                                          .Literals(3, ' ')
                                          .Literals(8188, 0x80)
                                          .Match(16, 100)
                                          .Match(518, 1000)
                                          .Literals(3000)
                                          .tokens);
  const uint32_t at = (16 + 3 * ImplodeLiteralBits(1, ' ') + 8188 * ImplodeLiteralBits(1, 0x80) +
                       ImplodeMatchBits(6, 16, 100)) /
                      8;
  ASSERT_GE(at % 2048, 28u);  // so that every first read below is over 4 bytes
  for (uint32_t k = 0; k < 24; ++k) EXPECT_TRUE(Same(stream, {(at - k) % 2048, 2048})) << k;
}

TEST_F(ExplodeTest, EveryHeaderDecodesEveryLiteralLengthAndDistanceCode) {
  // Every literal, then every match length (every length code with each of its extra values),
  // each at a distance of the next distance code in turn with a varying low part, then the
  // farthest distances.
  for (const ImplodeOptions& options : kHeaders) {
    Build b;
    for (int byte = 0; byte < 256; ++byte) b.Literals(1, byte);
    b.Literals(4096);
    for (uint32_t length = 2; length <= 518; ++length) {
      const uint32_t lowBits = length == 2 ? 2 : options.dictBits;
      b.Match(length, (length % 64 << lowBits) + (length * 7 & ((1u << lowBits) - 1)) + 1);
    }
    b.Match(2, 256).Match(3, 64u << options.dictBits).Match(518, 64u << options.dictBits);
    EXPECT_TRUE(Same(Encode(options, b.tokens))) << options.literalMode << "/" << options.dictBits;
  }
}

TEST_F(ExplodeTest, EndCodeEndsTheStreamAtAnyBitOfTheLastByteAndBeforeTrailingBytes) {
  // The end code ends with the last byte after 8 literals, inside it after 1 to 7 (after none,
  // one byte follows, as a first read of 4 bytes is refused).
  for (size_t literals = 0; literals <= 8; ++literals) {
    const Tokens tokens = Build().Literals(literals).tokens;
    EXPECT_TRUE(Same(Encode({0, 6}, tokens, Bytes(literals == 0, 0)))) << literals;
    EXPECT_TRUE(Same(Encode({0, 6}, tokens, {0xFF, 0x12, 0x00, 0x80}), {5, 1})) << literals;
  }
}

// --- Compressor output, random tokens, random bytes --------------------------------------------

TEST_F(ExplodeTest, AnyReadSizeGivesTheReferenceCallsAndOutput) {
  const ReadPlan plans[] = {{5, 2048},    {6, 7},  {2047, 2048},       {100, 1000},
                            {2048, 2047}, {9, 63}, {2048, 2048, 4096}, {2048, 2048, 0xFFFFFFFFu}};
  uint32_t seed = 1;
  for (const ImplodeOptions& options : kHeaders) {
    for (const Bytes& stream :
         {Compress(Material(60000, seed), options), RandomStream(options, 3000, seed + 100)}) {
      ASSERT_GT(stream.size(), 2 * 2048u);
      for (uint32_t later = 1; later <= 24; ++later) EXPECT_TRUE(Same(stream, {2048, later}));
      for (const ReadPlan& plan : plans) EXPECT_TRUE(Same(stream, plan));
    }
    ++seed;
  }
}

TEST_F(ExplodeTest, CutStreamsStopAfterTheReferenceSymbolAtEveryCut) {
  uint32_t seed = 50;
  for (const ImplodeOptions& options : kHeaders) {
    const Bytes full = RandomStream(options, 400, seed++);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      const Bytes stream(full.begin(), full.begin() + cut);
      ASSERT_TRUE(Same(stream)) << "cut " << cut;
      ASSERT_TRUE(Same(stream, {5, 3})) << "cut " << cut;
    }
  }
  // Cuts of a long stream around every input-buffer edge.
  const Bytes text = Compress(Material(40000, 9), {1, 4});
  for (size_t edge = 2048; edge < text.size(); edge += 2048) {
    for (size_t cut = edge - 12; cut <= std::min(edge + 12, text.size()); ++cut) {
      ASSERT_TRUE(Same(Bytes(text.begin(), text.begin() + cut))) << "cut " << cut;
    }
  }
}

TEST_F(ExplodeTest, DamagedAndRandomStreamsGiveTheReferenceResultAndPartialOutput) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    const ImplodeOptions& options = kHeaders[round % 6];
    Bytes stream;
    if (round % 3 == 0) {
      // Random bytes behind a valid header: every bit pattern decodes to something, with an end
      // code only by chance, and distances reach before the first byte.
      stream.resize(2 + Next(rng) % 6000);
      for (uint8_t& b : stream) b = static_cast<uint8_t>(Next(rng));
      stream[0] = static_cast<uint8_t>(options.literalMode);
      stream[1] = static_cast<uint8_t>(options.dictBits);
    } else {
      stream = round % 3 == 1 ? RandomStream(options, 200 + Next(rng) % 1500, Next(rng))
                              : Compress(Material(1000 + Next(rng) % 20000, Next(rng)), options);
      for (int flips = 1 + Next(rng) % 4; flips > 0; --flips) {
        stream[2 + Next(rng) % (stream.size() - 2)] ^= static_cast<uint8_t>(1u << (Next(rng) % 8));
      }
      if (Next(rng) % 2) stream.resize(2 + Next(rng) % (stream.size() - 1));
    }
    const uint32_t later = Next(rng) % 3 == 0 ? 1 + Next(rng) % 16 : 2048;
    ASSERT_TRUE(Same(stream, {2048, later})) << "round " << round;
    ASSERT_TRUE(Same(stream, {5 + Next(rng) % 40, 1 + Next(rng) % 2048})) << "round " << round;
  }
}

}  // namespace
