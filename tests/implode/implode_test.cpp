// Tests of the implode compressor: every stream it writes must decode, through the setup's own
// decoder, to the input, use exactly its own bytes, and keep to the format's reach limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/explode.h"
#include "tools/implode.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Tokens = std::vector<ImplodeToken>;

// The output of the setup's decoder, which must accept the stream.
Bytes Decode(const Bytes& stream) {
  struct Io {
    const Bytes& in;
    size_t pos;
    Bytes out;
  } io{stream, 0, {}};
  auto read = [](char* buffer, uint32_t* size, void* p) {
    Io& io = *static_cast<Io*>(p);
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(io.in.size() - io.pos, *size));
    std::copy_n(io.in.data() + io.pos, n, buffer);
    io.pos += n;
    return n;
  };
  auto write = [](char* buffer, uint32_t* count, void* p) {
    static_cast<Io*>(p)->out.insert(static_cast<Io*>(p)->out.end(), buffer, buffer + *count);
  };
  EXPECT_EQ(ExplodeStream(read, write, std::make_unique<ExplodeWorkArea>().get(), &io), kExplodeOk);
  return io.out;
}

// Deterministic test data: random bytes, text of a few words, or little-endian records with
// slowly changing fields, like tables in an executable.
enum Kind { kRandom, kText, kBinary };
Bytes Data(Kind kind, size_t n, uint32_t seed) {
  static const std::string kWords[] = {"the ",   "setup ",  "installs ", "files ",   "into ",
                                       "a ",     "target ", "directory", ", and ",   "then\r\n",
                                       "opens ", "Readme ", "Tessarin ", "program ", "of "};
  uint32_t s = seed * 2654435761u + 1, counter = 0x401000;
  Bytes b;
  while (b.size() < n) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    counter += 4 + (s & 12);
    if (kind == kRandom) b.push_back(static_cast<uint8_t>(s));
    if (kind == kText) b.insert(b.end(), kWords[s % 15].begin(), kWords[s % 15].end());
    if (kind == kBinary)
      for (uint32_t x : {counter, counter >> 8, counter >> 16, 0u, 0xFFu, 0x25u, s >> 8 & 3, 0u,
                         0x8Bu, 0x45u, 0xFCu, 0x90u})
        b.push_back(static_cast<uint8_t>(x));
  }
  b.resize(n);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<ImplodeOptions> AllOptions() {
  std::vector<ImplodeOptions> all;
  for (ImplodeParser parser : {ImplodeParser::kLazy, ImplodeParser::kOptimal})
    for (int mode = 0; mode <= 1; ++mode)
      for (int bits = 4; bits <= 6; ++bits) all.push_back({mode, bits, parser});
  return all;
}

std::string Describe(const ImplodeOptions& o) {
  return std::string(o.parser == ImplodeParser::kLazy ? "lazy" : "optimal") + ", mode " +
         std::to_string(o.literalMode) + ", dict " + std::to_string(o.dictBits);
}

Tokens Parse(const Bytes& data, const ImplodeOptions& o) {
  Tokens t;
  EXPECT_TRUE(o.parser == ImplodeParser::kLazy
                  ? ImplodeParseLazy(data.data(), data.size(), o, &t)
                  : ImplodeParseOptimal(data.data(), data.size(), o, &t));
  return t;
}

// The stream decodes to data, and uses every byte up to the end code and no more (a trailing
// byte would make the setup read the next entry from inside this one), by the scan the
// packer's test command relies on.
void ExpectDecodesTo(const Bytes& stream, const Bytes& data) {
  EXPECT_TRUE(Decode(stream) == data);
  ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), nullptr);
  EXPECT_EQ(scan.result, ImplodeScanResult::kOk);
  EXPECT_EQ(scan.usedBytes, stream.size());
}

TEST(ImplodeRoundTrip, EveryHeaderAndParserDecodesToTheInputUsingExactlyTheStreamBytes) {
  // Repeats longer than the optimal parser's tree compares, and long enough to be taken whole;
  // runs that stop a few bytes short of each other and of the input's end.
  Bytes block = Data(kRandom, 700, 6), repeated = block + block + block + block, runs;
  repeated[2000] ^= 1;
  for (size_t n = 1; runs.size() < 6000; n += 37) runs.insert(runs.end(), n, runs.size() & 1);
  std::vector<Bytes> corpus = {{0x00, 0xFF},
                               {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'},
                               repeated + block + block,
                               runs,
                               Bytes(9000, 0),
                               Bytes(519, 'a') + Bytes{'b'},
                               Data(kText, 20000, 1),
                               Data(kBinary, 20000, 2),
                               Data(kRandom, 5000, 3)};
  for (size_t n : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u}) corpus.push_back(Data(kText, n, n));
  for (const Bytes& data : corpus) {
    for (const ImplodeOptions& o : AllOptions()) {
      SCOPED_TRACE(std::to_string(data.size()) + " bytes, " + Describe(o));
      Bytes stream;
      ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), o, &stream));
      EXPECT_EQ(stream[0], o.literalMode);
      EXPECT_EQ(stream[1], o.dictBits);
      ExpectDecodesTo(stream, data);
    }
  }
}

TEST(ImplodeRoundTrip, AStreamWrittenInPiecesOfAnySizeIsTheSameAndDecodesAcrossBlocks) {
  // Small blocks, so that matches reach back into the block before, for every header.
  const Bytes data = Data(kText, 9000, 40) + Data(kBinary, 7000, 41);
  for (const ImplodeOptions& o : AllOptions()) {
    Bytes whole;
    for (size_t piece : {data.size(), size_t{1}, size_t{777}}) {
      ImplodeWriter writer(o, 1500);
      Bytes stream;
      for (size_t at = 0; at < data.size(); at += piece)
        writer.Write(data.data() + at, std::min(piece, data.size() - at), &stream);
      writer.Finish(&stream);
      if (whole.empty()) whole = stream;
      EXPECT_TRUE(stream == whole) << Describe(o) << ", pieces of " << piece;
    }
    ExpectDecodesTo(whole, data);
  }
}

TEST(ImplodeRoundTrip, KnownStreamsAreReproducedBitForBitAndEveryLengthDecodes) {
  // Empty input: the header and the end code. Literals A and I, a match of 11 at distance 2,
  // the end code in the last byte.
  for (auto [text, mode, bits, expected] :
       {std::tuple{"", 0, 6, Bytes{0x00, 0x06, 0x01, 0xFF}},
        std::tuple{"", 1, 6, Bytes{0x01, 0x06, 0x01, 0xFF}},
        std::tuple{"AIAIAIAIAIAIA", 0, 4, Bytes{0, 4, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}}}) {
    Bytes stream;
    ASSERT_TRUE(ImplodeBuffer(reinterpret_cast<const uint8_t*>(text), std::strlen(text),
                              {mode, bits}, &stream));
    EXPECT_EQ(stream, expected) << text;
  }
  // Every match length once, from a run: every length code and extra value.
  Tokens tokens = {ImplodeToken::Literal('x')};
  for (uint32_t length = 2; length <= kImplodeMaxMatch; ++length)
    tokens.push_back(ImplodeToken::Match(length, 1));
  Bytes stream;
  ASSERT_TRUE(ImplodeEncode(tokens, {1, 6}, &stream));
  EXPECT_TRUE(Decode(stream) ==
              Bytes(1 + (2 + kImplodeMaxMatch) * (kImplodeMaxMatch - 1) / 2, 'x'));
}

// A repeat exactly at the reach of its kind is taken; one byte farther it is not.
TEST(ImplodeReach, MatchesReachTheirLimitAndNeverFarther) {
  for (const ImplodeOptions& o : AllOptions()) {
    const uint32_t window = ImplodeWindowSize(o.dictBits);
    for (uint32_t length : {2u, 24u}) {
      const uint32_t limit = length == 2 ? kImplodeMaxShortDistance : window;
      for (uint32_t distance : {limit, limit + 1}) {
        // Two bytes, filler without a repeated byte pair, the two again; or a random block,
        // random filler, the block again.
        Bytes data = length == 2 ? Bytes{0xFE, 0xFF} : Data(kRandom, distance, distance);
        for (uint32_t i = 0; data.size() < distance; ++i) data.push_back(i % 0xFE);
        data = data + Bytes(data.begin(), data.begin() + length);
        bool found = false;
        for (const ImplodeToken& t : Parse(data, o))
          found = found || (t.length > 1 && t.value == distance);
        EXPECT_EQ(found, distance == limit)
            << Describe(o) << ", " << length << " bytes at " << distance;
      }
    }
  }
}

TEST(ImplodeReach, EncoderRefusesTokensAndHeadersTheDecoderCannotFollow) {
  // Literals 'z', then a match: refused when it reaches before the first byte or farther than
  // its length allows, or is too long; the longest and farthest reaching ones decode.
  struct Row {
    size_t literals;
    uint32_t length, distance;
    bool valid;
  };
  for (const Row& r :
       {Row{0, 3, 1, false}, Row{1, 3, 2, false}, Row{1, 519, 1, false}, Row{1, 518, 1, true},
        Row{1, 3, 0, false}, Row{1100, 2, 257, false}, Row{1100, 2, 256, true},
        Row{1100, 3, 1025, false}, Row{1100, 3, 1024, true}}) {
    Tokens tokens(r.literals, ImplodeToken::Literal('z'));
    tokens.push_back(ImplodeToken::Match(r.length, r.distance));
    Bytes out = {1, 2, 3};
    EXPECT_EQ(ImplodeEncode(tokens, {0, 4}, &out), r.valid) << r.length << " from " << r.distance;
    // Every byte a copy of the first; a refused encode leaves the output alone.
    EXPECT_TRUE(r.valid ? Decode(out) == Bytes(r.literals + r.length, 'z')
                        : out == (Bytes{1, 2, 3}));
  }
  Bytes out;
  EXPECT_FALSE(ImplodeEncode({ImplodeToken{1, 256}}, {0, 4}, &out)) << "literal out of range";
  for (auto [mode, bits] : {std::pair{2, 6}, std::pair{-1, 6}, std::pair{0, 3}, std::pair{0, 7}})
    EXPECT_FALSE(ImplodeBuffer(reinterpret_cast<const uint8_t*>("abc"), 3, {mode, bits}, &out));
}

TEST(ImplodeScan, StreamsReachingBeforeTheFirstByteCutShortOrWithABadHeaderAreCaught) {
  // 'a', then 3 bytes from distance 2: the setup's decoder passes it, the scan must not.
  const Bytes before = {0, 6, 0xC2, 0x7E, 0x10, 0xF0, 0x0F};
  ImplodeScan scan = ImplodeScanStream(before.data(), before.size(), nullptr);
  EXPECT_EQ(scan.result, ImplodeScanResult::kBeforeStart);
  EXPECT_EQ(scan.outputBytes, 1u);
  Bytes good;
  ASSERT_TRUE(ImplodeBuffer(reinterpret_cast<const uint8_t*>("abcabcabcabc"), 12, {}, &good));
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_EQ(ImplodeScanStream(good.data(), cut, nullptr).result, ImplodeScanResult::kTruncated);
  good[1] = 7;
  EXPECT_EQ(ImplodeScanStream(good.data(), good.size(), nullptr).result,
            ImplodeScanResult::kBadHeader);
}

// Fewest bits any parse of data can take: every distance tried at every position, every length
// of every match weighed.
uint64_t ExhaustiveBits(const Bytes& data, const ImplodeOptions& o) {
  std::vector<uint64_t> best(data.size() + 1, UINT64_MAX);
  best[0] = 0;
  for (size_t pos = 0; pos < data.size(); ++pos) {
    auto relax = [&](size_t to, uint64_t bits) { best[to] = std::min(best[to], best[pos] + bits); };
    relax(pos + 1, ImplodeLiteralBits(o.literalMode, data[pos]));
    for (uint32_t d = 1; d <= pos && d <= ImplodeWindowSize(o.dictBits); ++d) {
      for (uint32_t l = 1; l <= kImplodeMaxMatch && pos + l <= data.size(); ++l) {
        if (data[pos + l - 1] != data[pos + l - 1 - d]) break;
        if (l > 2 || (l == 2 && d <= kImplodeMaxShortDistance))
          relax(pos + l, ImplodeMatchBits(o.dictBits, l, d));
      }
    }
  }
  return best.back();
}

TEST(ImplodeCosts, CostsAddUpToTheStreamSizeAndTheOptimalParseMissesNoCheaperOne) {
  // The optimal parser trusts these costs; a disagreement with the encoder would mislead it.
  // Without runs or repeats longer than its shortcuts, its parse must cost exactly what trying
  // every distance at every position costs.
  for (const Bytes& data :
       {Data(kText, 1500, 20) + Data(kBinary, 1500, 21), Data(kRandom, 600, 11)}) {
    for (const ImplodeOptions& o : AllOptions()) {
      SCOPED_TRACE(Describe(o) + ", " + std::to_string(data.size()) + " bytes");
      const Tokens tokens = Parse(data, o);
      uint64_t bits = 0;
      for (const ImplodeToken& t : tokens) {
        bits += t.length == 1 ? ImplodeLiteralBits(o.literalMode, static_cast<uint8_t>(t.value))
                              : ImplodeMatchBits(o.dictBits, t.length, t.value);
      }
      Bytes stream;
      ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
      EXPECT_EQ(stream.size(), (16 + kImplodeEndBits + bits + 7) / 8);
      EXPECT_TRUE(Decode(stream) == data);
      if (o.parser == ImplodeParser::kOptimal) {
        EXPECT_EQ(bits, ExhaustiveBits(data, o));
      }
    }
  }
}

TEST(ImplodeRoundTrip, OptimalParseOfInputsOverOneMebibyteDecodes) {
  // Past each MiB the optimal parser's match finder renumbers the positions it keeps; matches
  // found after that must still point at the right bytes.
  Bytes data;
  for (uint32_t seed = 30; data.size() < 2300000; ++seed)
    data = data + Data(seed % 2 != 0 ? kText : kBinary, 60000, seed);
  Bytes stream;
  ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), {0, 4, ImplodeParser::kOptimal}, &stream));
  EXPECT_TRUE(Decode(stream) == data);
}

}  // namespace
