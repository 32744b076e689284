// Tests of the implode compressor: every stream it writes must decode, through the setup's own
// decoder, to the input, use exactly its own bytes, and keep to the format's reach limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/explode.h"
#include "tools/implode.h"
#include "tools/implode_tables.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  int32_t result = -1;
  bool wantedMore = false;  // asked for input after the last byte: the stream used all of it
  Bytes output;
  const Bytes* in;
  size_t pos = 0;
};

Decoded Decode(const Bytes& stream) {
  Decoded d;
  d.in = &stream;
  auto read = [](char* buffer, uint32_t* size, void* param) -> uint32_t {
    Decoded* s = static_cast<Decoded*>(param);
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(s->in->size() - s->pos, *size));
    s->wantedMore = s->wantedMore || n == 0;
    std::copy_n(s->in->begin() + static_cast<long>(s->pos), n, buffer);
    s->pos += n;
    return n;
  };
  auto write = [](char* buffer, uint32_t* count, void* param) {
    Bytes& out = static_cast<Decoded*>(param)->output;
    out.insert(out.end(), buffer, buffer + *count);
  };
  std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea());
  d.result = ExplodeStream(read, write, work.get(), &d);
  return d;
}

// Deterministic test data.
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    return state ^= state << 5;
  }
};

Bytes RandomBytes(size_t n, uint32_t seed) {
  Random r(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(r.Next());
  return b;
}

Bytes Text(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"the ",   "setup ",  "installs ", "files ",   "into ",
                                       "a ",     "target ", "directory", ", and ",   "then\r\n",
                                       "opens ", "Readme ", "Tessarin ", "program ", "of "};
  Random r(seed);
  Bytes b;
  while (b.size() < n) {
    const char* w = kWords[r.Next() % 15];
    while (*w != '\0' && b.size() < n) b.push_back(static_cast<uint8_t>(*w++));
  }
  return b;
}

// Little-endian records with slowly changing fields, like tables in an executable.
Bytes Binary(size_t n, uint32_t seed) {
  Random r(seed);
  Bytes b;
  for (uint32_t counter = 0x401000; b.size() < n;) {
    counter += 4 + (r.Next() & 12);
    const uint32_t low = r.Next() & 3;
    for (uint32_t x : {counter, counter >> 8, counter >> 16, 0u, 0xFFu, 0x25u, low, 0u, 0x8Bu,
                       0x45u, 0xFCu, 0x90u})
      b.push_back(static_cast<uint8_t>(x));
  }
  b.resize(n);
  return b;
}

struct Sample {
  std::string name;
  Bytes data;
};

std::vector<Sample> Corpus() {
  std::vector<Sample> c = {
      {"empty", {}},
      {"two bytes", {0x00, 0xFF}},
      {"short periodic input", {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'}},
      {"text", Text(20000, 1)},
      {"binary", Binary(20000, 2)},
      {"random", RandomBytes(5000, 3)},
      {"zeros", Bytes(9000, 0)},
      {"run of 519 then other", Bytes(519, 'a')},
      {"random block repeated with a 700-byte period", {}},
      {"runs of rising length up to the end", {}},
  };
  c[7].data.push_back('b');
  // Repeats longer than the optimal parser's tree compares, and long enough to be taken whole.
  Bytes block = RandomBytes(700, 6);
  for (int i = 0; i < 6; ++i) c[8].data.insert(c[8].data.end(), block.begin(), block.end());
  c[8].data[2000] ^= 1;
  // Runs that stop a few bytes short of each other and of the input's end.
  for (size_t n = 1; c[9].data.size() < 6000; n += 37) {
    c[9].data.insert(c[9].data.end(), n, c[9].data.size() & 1);
  }
  for (size_t n : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u}) {
    c.push_back({"text of " + std::to_string(n), Text(n, static_cast<uint32_t>(n))});
  }
  return c;
}

std::vector<ImplodeOptions> AllOptions() {
  std::vector<ImplodeOptions> all;
  for (ImplodeParser parser : {ImplodeParser::kLazy, ImplodeParser::kOptimal})
    for (int mode = 0; mode <= 1; ++mode)
      for (int bits = 4; bits <= 6; ++bits) {
        all.push_back({mode, bits, parser});
      }
  return all;
}

std::string Describe(const ImplodeOptions& o) {
  return std::string(o.parser == ImplodeParser::kLazy ? "lazy" : "optimal") + " mode " +
         std::to_string(o.literalMode) + " dict " + std::to_string(o.dictBits);
}

std::vector<ImplodeToken> Parse(const Bytes& data, const ImplodeOptions& o) {
  std::vector<ImplodeToken> tokens;
  bool ok = o.parser == ImplodeParser::kLazy
                ? ImplodeParseLazy(data.data(), data.size(), o, &tokens)
                : ImplodeParseOptimal(data.data(), data.size(), o, &tokens);
  EXPECT_TRUE(ok);
  return tokens;
}

// --- Round trips -----------------------------------------------------------------------------

TEST(ImplodeRoundTrip, EveryHeaderAndParserDecodesToTheInputUsingExactlyTheStreamBytes) {
  for (const Sample& s : Corpus()) {
    for (const ImplodeOptions& o : AllOptions()) {
      SCOPED_TRACE(s.name + ", " + Describe(o));
      Bytes stream;
      ASSERT_TRUE(ImplodeBuffer(s.data.data(), s.data.size(), o, &stream));
      ASSERT_GE(stream.size(), 4u);
      EXPECT_EQ(stream[0], o.literalMode);
      EXPECT_EQ(stream[1], o.dictBits);
      if (stream.size() <= 4) continue;  // the decoder refuses a 4-byte stream by design
      Decoded d = Decode(stream);
      EXPECT_EQ(d.result, kExplodeOk);
      EXPECT_TRUE(d.output == s.data);
      // Trailing bytes would make the setup read the next entry from inside this one.
      EXPECT_TRUE(d.wantedMore);
      // The packer's test command must pass every stream the compressor writes.
      ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), nullptr);
      EXPECT_EQ(scan.result, ImplodeScanResult::kOk);
      EXPECT_EQ(scan.usedBytes, stream.size());
    }
  }
}

TEST(ImplodeRoundTrip, AStreamWrittenInPiecesOfAnySizeIsTheSameAndDecodesAcrossBlocks) {
  // Small blocks, so that matches reach back into the block before, for every header.
  Bytes data = Text(9000, 40);
  Bytes binary = Binary(7000, 41);
  data.insert(data.end(), binary.begin(), binary.end());
  for (const ImplodeOptions& o : AllOptions()) {
    SCOPED_TRACE(Describe(o));
    Bytes whole;
    for (size_t piece : {data.size(), size_t{1}, size_t{777}}) {
      ImplodeWriter writer(o, 1500);
      Bytes stream;
      for (size_t at = 0; at < data.size(); at += piece)
        writer.Write(data.data() + at, std::min(piece, data.size() - at), &stream);
      writer.Finish(&stream);
      if (whole.empty()) whole = stream;
      EXPECT_TRUE(stream == whole) << piece;
    }
    Decoded d = Decode(whole);
    EXPECT_EQ(d.result, kExplodeOk);
    EXPECT_TRUE(d.output == data);
    EXPECT_EQ(ImplodeScanStream(whole.data(), whole.size(), nullptr).usedBytes, whole.size());
  }
}

TEST(ImplodeRoundTrip, KnownStreamsAreReproducedBitForBit) {
  struct Known {
    std::string text;
    int mode, bits;
    Bytes stream;
  };
  for (const Known& k : {
           // Empty input: the header and the end code.
           Known{"", 0, 6, {0x00, 0x06, 0x01, 0xFF}},
           Known{"", 1, 6, {0x01, 0x06, 0x01, 0xFF}},
           // Literals A and I, a match of 11 at distance 2, the end code in the last byte.
           Known{"AIAIAIAIAIAIA", 0, 4, {0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}},
       }) {
    const ImplodeOptions o{k.mode, k.bits};
    Bytes stream;
    ASSERT_TRUE(
        ImplodeBuffer(reinterpret_cast<const uint8_t*>(k.text.data()), k.text.size(), o, &stream));
    EXPECT_EQ(stream, k.stream) << k.text;
  }
}

TEST(ImplodeRoundTrip, LongestMatchAndLongestLengthCodesDecode) {
  // Every length from 2 to 518 once, from a run, at distance 1.
  for (int mode = 0; mode <= 1; ++mode) {
    const ImplodeOptions o{mode};
    std::vector<ImplodeToken> tokens = {ImplodeToken::Literal('x')};
    Bytes expected = {'x'};
    for (uint32_t length = 2; length <= kImplodeMaxMatch; ++length) {
      tokens.push_back(ImplodeToken::Match(length, 1));
      expected.insert(expected.end(), length, 'x');
    }
    Bytes stream;
    ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
    Decoded d = Decode(stream);
    EXPECT_EQ(d.result, kExplodeOk);
    EXPECT_TRUE(d.output == expected);
  }
}

// --- Reach limits ----------------------------------------------------------------------------

// Two bytes XY, then filler with no repeated byte pair, then XY again at the given distance.
Bytes PairAtDistance(uint32_t distance) {
  Bytes b = {0xFE, 0xFF};
  for (uint32_t i = 0; b.size() < distance; ++i) b.push_back(static_cast<uint8_t>(i % 0xFE));
  b.push_back(0xFE);
  b.push_back(0xFF);
  return b;
}

// A 24-byte random block, random filler, then the block again at the given distance.
Bytes BlockAtDistance(uint32_t distance) {
  Bytes b = RandomBytes(distance, distance);
  b.insert(b.end(), b.begin(), b.begin() + 24);
  return b;
}

// A repeat exactly at the reach of its kind is taken; one byte farther it is not, and no token
// reaches farther than the format lets it.
TEST(ImplodeReach, MatchesReachTheirLimitAndNeverFarther) {
  for (const ImplodeOptions& o : AllOptions()) {
    const uint32_t window = ImplodeWindowSize(o.dictBits);
    struct Reach {
      uint32_t minLength, limit;
      Bytes (*make)(uint32_t distance);
    };
    for (const Reach& r :
         {Reach{2, kImplodeMaxShortDistance, PairAtDistance}, Reach{20, window, BlockAtDistance}}) {
      SCOPED_TRACE(Describe(o) + ", " + std::to_string(r.minLength) + "-byte repeat");
      for (uint32_t distance : {r.limit, r.limit + 1}) {
        Bytes data = r.make(distance);
        std::vector<ImplodeToken> tokens = Parse(data, o);
        bool found = false;
        for (const ImplodeToken& t : tokens) {
          found = found || (t.length >= r.minLength && t.value == distance);
          EXPECT_LE(t.value, t.length == 1 ? 255u : t.length == 2 ? 256u : window);
        }
        EXPECT_EQ(found, distance == r.limit) << "match at distance " << distance;
        Bytes stream;
        ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
        EXPECT_TRUE(Decode(stream).output == data);
      }
    }
  }
}

TEST(ImplodeReach, EncoderRefusesTokensAndHeadersTheDecoderCannotFollow) {
  const ImplodeOptions o{0, 4};
  Bytes out = {1, 2, 3};
  const std::vector<std::vector<ImplodeToken>> bad = {
      {ImplodeToken::Match(3, 1)},                                // before the first byte
      {ImplodeToken::Literal('a'), ImplodeToken::Match(3, 2)},    // reaches one byte too far
      {ImplodeToken::Literal('a'), ImplodeToken::Match(519, 1)},  // longer than 518
      {ImplodeToken::Literal('a'), ImplodeToken::Match(3, 0)},    // distance 0
      {ImplodeToken{1, 256}},                                     // literal out of range
  };
  for (const auto& tokens : bad) {
    EXPECT_FALSE(ImplodeEncode(tokens, o, &out));
    EXPECT_EQ(out, (Bytes{1, 2, 3})) << "a refused encode must leave the output alone";
  }
  std::vector<ImplodeToken> far(1100, ImplodeToken::Literal('z'));
  far.push_back(ImplodeToken::Match(2, 257));
  EXPECT_FALSE(ImplodeEncode(far, o, &out));
  far.back() = ImplodeToken::Match(3, 1025);
  EXPECT_FALSE(ImplodeEncode(far, o, &out));
  far.back() = ImplodeToken::Match(3, 1024);
  EXPECT_TRUE(ImplodeEncode(far, o, &out));
  // Headers the decoder refuses.
  for (auto [mode, bits] : {std::pair{2, 6}, std::pair{-1, 6}, std::pair{0, 3}, std::pair{0, 7}}) {
    EXPECT_FALSE(ImplodeBuffer(reinterpret_cast<const uint8_t*>("abc"), 3, {mode, bits}, &out));
  }
}

TEST(ImplodeScan, StreamsReachingBeforeTheFirstByteOrCutShortAreCaught) {
  // The setup's decoder passes both of these; the packer's test command relies on the scan.
  Bytes stream = {0, 6};
  // literal 'a', then a 3-byte match at distance 2 (one byte before the start), then the end.
  uint64_t bits = 0;
  int n = 0;
  auto put = [&](uint32_t v, int count) {
    bits |= static_cast<uint64_t>(v) << n;
    n += count;
  };
  put(0, 1);
  put('a', 8);
  put(1, 1);
  put(implode_tables::kLengthStored[1], implode_tables::kLengthBits[1]);  // length 3
  put(implode_tables::kDistanceStored[0], implode_tables::kDistanceBits[0]);
  put(1, 6);  // distance 2
  put(1, 1);
  put(implode_tables::kLengthStored[15], 7);
  put(255, 8);
  for (int i = 0; i < n; i += 8) stream.push_back(static_cast<uint8_t>(bits >> i));
  ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), nullptr);
  EXPECT_EQ(scan.result, ImplodeScanResult::kBeforeStart);
  EXPECT_EQ(scan.outputBytes, 1u);

  Bytes good;
  const uint8_t text[] = "abcabcabcabc";
  ASSERT_TRUE(ImplodeBuffer(text, sizeof text, ImplodeOptions(), &good));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_NE(ImplodeScanStream(good.data(), cut, nullptr).result, ImplodeScanResult::kOk) << cut;
  }
  good[1] = 7;
  EXPECT_EQ(ImplodeScanStream(good.data(), good.size(), nullptr).result,
            ImplodeScanResult::kBadHeader);
}

// --- Bit costs and code tables ---------------------------------------------------------------

uint64_t TokenBits(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& o) {
  uint64_t bits = 0;
  for (const ImplodeToken& t : tokens) {
    bits += t.length == 1 ? ImplodeLiteralBits(o.literalMode, static_cast<uint8_t>(t.value))
                          : ImplodeMatchBits(o.dictBits, t.length, t.value);
  }
  return bits;
}

TEST(ImplodeCosts, ExactCostsAddUpToTheEncodedSizeAndOptimalIsNeverLargerThanLazy) {
  // The optimal parser trusts these costs; a disagreement with the encoder would mislead it.
  for (const ImplodeOptions& o : AllOptions()) {
    if (o.parser != ImplodeParser::kOptimal) continue;
    const ImplodeOptions lazy{o.literalMode, o.dictBits, ImplodeParser::kLazy};
    for (const Bytes& data : {Text(6000, 9), Binary(6000, 10), RandomBytes(600, 11)}) {
      SCOPED_TRACE(Describe(o) + ", " + std::to_string(data.size()) + " bytes");
      uint64_t size[2];
      for (const ImplodeOptions& parse : {lazy, o}) {
        std::vector<ImplodeToken> tokens = Parse(data, parse);
        Bytes stream;
        ASSERT_TRUE(ImplodeEncode(tokens, parse, &stream));
        EXPECT_EQ(stream.size(), (16 + kImplodeEndBits + TokenBits(tokens, parse) + 7) / 8);
        size[parse.parser == ImplodeParser::kOptimal] = stream.size();
      }
      EXPECT_LE(size[1], size[0]);
    }
  }
}

// Fewest bits any parse of data can take: every distance tried at every position, every length
// of every match weighed.
uint64_t ExhaustiveBits(const Bytes& data, const ImplodeOptions& o) {
  std::vector<uint64_t> best(data.size() + 1, UINT64_MAX);
  best[0] = 0;
  for (size_t pos = 0; pos < data.size(); ++pos) {
    auto relax = [&](size_t to, uint64_t bits) { best[to] = std::min(best[to], bits); };
    relax(pos + 1, best[pos] + ImplodeLiteralBits(o.literalMode, data[pos]));
    for (size_t d = 1; d <= pos && d <= ImplodeWindowSize(o.dictBits); ++d) {
      size_t length = 0;
      while (length < kImplodeMaxMatch && pos + length < data.size() &&
             data[pos + length] == data[pos + length - d]) {
        ++length;
      }
      for (size_t l = 2; l <= length; ++l) {
        if (l > 2 || d <= kImplodeMaxShortDistance) {
          relax(pos + l, best[pos] + ImplodeMatchBits(o.dictBits, static_cast<uint32_t>(l),
                                                      static_cast<uint32_t>(d)));
        }
      }
    }
  }
  return best.back();
}

TEST(ImplodeCosts, OptimalParseMissesNoMatchThatAnExhaustiveSearchFinds) {
  // Without runs or repeats longer than the parser's shortcuts, the shortest path over the
  // tree's matches must cost exactly what trying every distance costs.
  Bytes mixed = Text(1500, 20);
  Bytes binary = Binary(1500, 21);
  mixed.insert(mixed.end(), binary.begin(), binary.end());
  for (const ImplodeOptions& o : AllOptions()) {
    if (o.parser != ImplodeParser::kOptimal) continue;
    SCOPED_TRACE(Describe(o));
    EXPECT_EQ(TokenBits(Parse(mixed, o), o), ExhaustiveBits(mixed, o));
  }
}

TEST(ImplodeRoundTrip, OptimalParseOfInputsOverOneMebibyteDecodes) {
  // Past each MiB the optimal parser's match finder renumbers the positions it keeps; matches
  // found after that must still point at the right bytes.
  Bytes data;
  for (uint32_t seed = 30; data.size() < 2300000; ++seed) {
    Bytes part = seed % 2 != 0 ? Text(70000, seed) : Binary(50000, seed);
    data.insert(data.end(), part.begin(), part.end());
  }
  const ImplodeOptions o{0, 4, ImplodeParser::kOptimal};
  Bytes stream;
  ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), o, &stream));
  Decoded d = Decode(stream);
  EXPECT_EQ(d.result, kExplodeOk);
  EXPECT_TRUE(d.output == data);
}

}  // namespace
