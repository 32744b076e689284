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
};

struct DecodeState {
  const Bytes* in;
  size_t pos;
  Decoded* out;
};

uint32_t ReadAll(char* buffer, uint32_t* size, void* param) {
  DecodeState* s = static_cast<DecodeState*>(param);
  size_t left = s->in->size() - s->pos;
  if (left == 0) {
    s->out->wantedMore = true;
    return 0;
  }
  uint32_t n = left < *size ? static_cast<uint32_t>(left) : *size;
  for (uint32_t i = 0; i < n; ++i) buffer[i] = static_cast<char>((*s->in)[s->pos + i]);
  s->pos += n;
  return n;
}

void Collect(char* buffer, uint32_t* count, void* param) {
  DecodeState* s = static_cast<DecodeState*>(param);
  s->out->output.insert(s->out->output.end(), buffer, buffer + *count);
}

Decoded Decode(const Bytes& stream) {
  Decoded d;
  DecodeState s{&stream, 0, &d};
  std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea());
  d.result = ExplodeStream(ReadAll, Collect, work.get(), &s);
  return d;
}

// Deterministic test data.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  uint32_t state_;
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
  uint32_t counter = 0x401000;
  while (b.size() < n) {
    counter += 4 + (r.Next() & 12);
    uint8_t rec[12] = {static_cast<uint8_t>(counter),
                       static_cast<uint8_t>(counter >> 8),
                       static_cast<uint8_t>(counter >> 16),
                       0,
                       0xFF,
                       0x25,
                       static_cast<uint8_t>(r.Next() & 3),
                       0,
                       0x8B,
                       0x45,
                       0xFC,
                       0x90};
    for (uint8_t x : rec)
      if (b.size() < n) b.push_back(x);
  }
  return b;
}

struct Sample {
  std::string name;
  Bytes data;
};

std::vector<Sample> Corpus() {
  std::vector<Sample> c;
  c.push_back({"empty", {}});
  c.push_back({"one byte", {0x41}});
  c.push_back({"two bytes", {0x00, 0xFF}});
  c.push_back({"text", Text(20000, 1)});
  c.push_back({"binary", Binary(20000, 2)});
  c.push_back({"random", RandomBytes(5000, 3)});
  c.push_back({"zeros", Bytes(9000, 0)});
  c.push_back({"run of 519 then other", [] {
                 Bytes b(519, 'a');
                 b.push_back('b');
                 return b;
               }()});
  c.push_back({"run of 2000 after text", [] {
                 Bytes b = Text(300, 4);
                 b.insert(b.end(), 2000, 0xE5);
                 return b;
               }()});
  for (size_t n : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u}) {
    c.push_back({"text of " + std::to_string(n), Text(n, static_cast<uint32_t>(n))});
  }
  c.push_back({"random then repeated", [] {
                 Bytes b = RandomBytes(3000, 5);
                 Bytes again(b.begin(), b.begin() + 1500);
                 b.insert(b.end(), again.begin(), again.end());
                 return b;
               }()});
  // Repeats longer than the optimal parser's tree compares, and long enough to be taken whole.
  c.push_back({"random block repeated with a 700-byte period", [] {
                 Bytes block = RandomBytes(700, 6), b;
                 for (int i = 0; i < 6; ++i) b.insert(b.end(), block.begin(), block.end());
                 b[2000] ^= 1;
                 return b;
               }()});
  // Runs that stop a few bytes short of each other and of the input's end.
  c.push_back({"runs of rising length up to the end", [] {
                 Bytes b;
                 for (size_t n = 1; b.size() < 6000; n += 37) b.insert(b.end(), n, b.size() & 1);
                 return b;
               }()});
  c.push_back({"short periodic input", Bytes{'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'}});
  return c;
}

std::vector<ImplodeOptions> AllOptions() {
  std::vector<ImplodeOptions> all;
  for (ImplodeParser parser : {ImplodeParser::kLazy, ImplodeParser::kOptimal})
    for (int mode = 0; mode <= 1; ++mode)
      for (int bits = 4; bits <= 6; ++bits) {
        ImplodeOptions o;
        o.literalMode = mode;
        o.dictBits = bits;
        o.parser = parser;
        all.push_back(o);
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
      std::vector<ImplodeToken> parsed = Parse(s.data, o);
      EXPECT_TRUE(ImplodeTokensValid(parsed, o));
      // Read back bit by bit, the stream holds exactly the parser's tokens.
      std::vector<ImplodeToken> scanned;
      ImplodeScan scan = ImplodeScanStream(stream.data(), stream.size(), &scanned);
      EXPECT_EQ(scan.result, ImplodeScanResult::kOk);
      EXPECT_EQ(scan.usedBytes, stream.size());
      ASSERT_EQ(scanned.size(), parsed.size());
      for (size_t i = 0; i < parsed.size(); ++i) {
        ASSERT_EQ(scanned[i].length, parsed[i].length) << "token " << i;
        ASSERT_EQ(scanned[i].value, parsed[i].value) << "token " << i;
      }
    }
  }
}

TEST(ImplodeRoundTrip, EmptyInputIsHeaderAndEndCodeInFourBytes) {
  for (int mode = 0; mode <= 1; ++mode) {
    ImplodeOptions o;
    o.literalMode = mode;
    Bytes stream;
    ASSERT_TRUE(ImplodeBuffer(nullptr, 0, o, &stream));
    EXPECT_EQ(stream, (Bytes{static_cast<uint8_t>(mode), 6, 0x01, 0xFF}));
  }
}

TEST(ImplodeRoundTrip, KnownStreamIsReproducedBitForBit) {
  // Literals A and I, a match of 11 at distance 2, the end code in the last byte.
  const std::string text = "AIAIAIAIAIAIA";
  ImplodeOptions o;
  o.dictBits = 4;
  Bytes stream;
  ASSERT_TRUE(
      ImplodeBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), o, &stream));
  EXPECT_EQ(stream, (Bytes{0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}));
}

TEST(ImplodeRoundTrip, LongestMatchAndLongestLengthCodesDecode) {
  // Every length from 2 to 518 once, from a run, at distance 1.
  for (int mode = 0; mode <= 1; ++mode) {
    ImplodeOptions o;
    o.literalMode = mode;
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

TEST(ImplodeReach, TwoByteMatchReachesExactly256AndNeverFarther) {
  for (const ImplodeOptions& o : AllOptions()) {
    SCOPED_TRACE(Describe(o));
    std::vector<ImplodeToken> at256 = Parse(PairAtDistance(256), o);
    ASSERT_FALSE(at256.empty());
    EXPECT_EQ(at256.back().length, 2);
    EXPECT_EQ(at256.back().value, 256);
    Bytes stream;
    ASSERT_TRUE(ImplodeEncode(at256, o, &stream));
    EXPECT_TRUE(Decode(stream).output == PairAtDistance(256));

    std::vector<ImplodeToken> at257 = Parse(PairAtDistance(257), o);
    for (const ImplodeToken& t : at257) EXPECT_EQ(t.length, 1);
  }
}

// A 24-byte random block, random filler, then the block again at the given distance.
Bytes BlockAtDistance(uint32_t distance) {
  Bytes b = RandomBytes(distance, distance);
  b.insert(b.end(), b.begin(), b.begin() + 24);
  return b;
}

TEST(ImplodeReach, LongMatchReachesTheWindowEdgeAndNeverFarther) {
  for (const ImplodeOptions& o : AllOptions()) {
    SCOPED_TRACE(Describe(o));
    uint32_t window = ImplodeWindowSize(o.dictBits);
    Bytes edge = BlockAtDistance(window);
    std::vector<ImplodeToken> tokens = Parse(edge, o);
    bool found = false;
    for (const ImplodeToken& t : tokens) found = found || (t.length >= 20 && t.value == window);
    EXPECT_TRUE(found) << "no match at distance " << window;
    Bytes stream;
    ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
    EXPECT_TRUE(Decode(stream).output == edge);

    Bytes beyond = BlockAtDistance(window + 1);
    tokens = Parse(beyond, o);
    for (const ImplodeToken& t : tokens) EXPECT_LE(t.value, t.length == 1 ? 255u : window);
    ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
    EXPECT_TRUE(Decode(stream).output == beyond);
  }
}

TEST(ImplodeReach, EncoderRefusesTokensTheDecoderCannotFollow) {
  ImplodeOptions o;
  o.dictBits = 4;
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
}

TEST(ImplodeReach, InvalidHeaderOptionsAreRefused) {
  Bytes out;
  const uint8_t data[] = {1, 2, 3};
  for (auto [mode, bits] : {std::pair{2, 6}, std::pair{-1, 6}, std::pair{0, 3}, std::pair{0, 7}}) {
    ImplodeOptions o;
    o.literalMode = mode;
    o.dictBits = bits;
    EXPECT_FALSE(ImplodeBuffer(data, sizeof data, o, &out));
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
  ImplodeOptions o;
  ASSERT_TRUE(ImplodeBuffer(text, sizeof text, o, &good));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_NE(ImplodeScanStream(good.data(), cut, nullptr).result, ImplodeScanResult::kOk) << cut;
  }
  good[1] = 7;
  EXPECT_EQ(ImplodeScanStream(good.data(), good.size(), nullptr).result,
            ImplodeScanResult::kBadHeader);
}

// --- Bit costs and code tables ---------------------------------------------------------------

TEST(ImplodeCosts, ExactCostsAddUpToTheEncodedSize) {
  // The optimal parser trusts these costs; a disagreement with the encoder would mislead it.
  for (const ImplodeOptions& o : AllOptions()) {
    for (const Bytes& data : {Text(6000, 9), Binary(6000, 10), RandomBytes(600, 11)}) {
      std::vector<ImplodeToken> tokens = Parse(data, o);
      uint64_t bits = 16 + kImplodeEndBits;
      for (const ImplodeToken& t : tokens) {
        bits += t.length == 1 ? ImplodeLiteralBits(o.literalMode, static_cast<uint8_t>(t.value))
                              : ImplodeMatchBits(o.dictBits, t.length, t.value);
      }
      Bytes stream;
      ASSERT_TRUE(ImplodeEncode(tokens, o, &stream));
      EXPECT_EQ(stream.size(), (bits + 7) / 8) << Describe(o);
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

uint64_t TokenBits(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& o) {
  uint64_t bits = 0;
  for (const ImplodeToken& t : tokens) {
    bits += t.length == 1 ? ImplodeLiteralBits(o.literalMode, static_cast<uint8_t>(t.value))
                          : ImplodeMatchBits(o.dictBits, t.length, t.value);
  }
  return bits;
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
  ImplodeOptions o;
  o.parser = ImplodeParser::kOptimal;
  o.dictBits = 4;
  Bytes stream;
  ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), o, &stream));
  Decoded d = Decode(stream);
  EXPECT_EQ(d.result, kExplodeOk);
  EXPECT_TRUE(d.output == data);
}

TEST(ImplodeCosts, OptimalParseIsNeverLargerThanLazy) {
  for (int mode = 0; mode <= 1; ++mode) {
    for (const Bytes& data : {Text(30000, 12), Binary(30000, 13)}) {
      ImplodeOptions lazy, optimal;
      lazy.literalMode = optimal.literalMode = mode;
      optimal.parser = ImplodeParser::kOptimal;
      Bytes a, b;
      ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), lazy, &a));
      ASSERT_TRUE(ImplodeBuffer(data.data(), data.size(), optimal, &b));
      EXPECT_LE(b.size(), a.size());
    }
  }
}

TEST(ImplodeTables, LiteralCodesFallIntoTheDecoderTableClasses) {
  // The decoder splits literal codes by length and by their first bits into four lookup
  // tables of known population; a mistyped bit length breaks these counts.
  using namespace implode_tables;
  int upTo8 = 0, after4 = 0, after6 = 0, after8 = 0;
  for (int s = 0; s < 256; ++s) {
    uint32_t v = kLiteralStored.code[s];
    if (kLiteralBits[s] <= 8) {
      ++upTo8;
    } else if ((v & 0xFF) == 0) {
      ++after8;
    } else if ((v & 0x3F) != 0) {
      ++after4;
    } else {
      ++after6;
    }
  }
  EXPECT_EQ(upTo8, 69);
  EXPECT_EQ(after4, 86);
  EXPECT_EQ(after6, 69);
  EXPECT_EQ(after8, 32);
}

}  // namespace
