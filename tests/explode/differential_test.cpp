// The fast decoder against the first, straightforward one (reference_explode.cpp) on many
// streams: compressor output, random token sequences, random bytes, damaged and cut copies of
// them, with many read sizes. Both must make the same callback calls in the same order (read
// sizes asked and delivered, write sizes and bytes) and return the same result; that is what
// keeps the fast paths honest at the input buffer's and the window's edges.
#include <gtest/gtest.h>

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

struct ReadPlan {
  uint32_t first;
  uint32_t later;
  uint32_t claimed = 0;  // if non-zero, the count returned for a full 2048-byte read
};

// Everything a decoder shows its caller, in call order.
struct Trace {
  int32_t result = -1;
  std::string calls;  // one line per callback call
  std::string output;
};

struct Feed {
  const Bytes* data;
  size_t pos;
  ReadPlan plan;
  int reads;
  Trace* trace;
};

uint32_t TraceRead(char* buffer, uint32_t* size, void* param) {
  Feed* f = static_cast<Feed*>(param);
  const uint32_t want = f->reads++ == 0 ? f->plan.first : f->plan.later;
  uint32_t count = static_cast<uint32_t>(std::min<size_t>(want, f->data->size() - f->pos));
  if (count > *size) count = *size;
  if (count != 0) std::memcpy(buffer, f->data->data() + f->pos, count);
  f->pos += count;
  f->trace->calls += "read " + std::to_string(*size) + " -> " + std::to_string(count) + "\n";
  *size = 777;
  if (f->plan.claimed != 0 && count == kExplodeReadSize) return f->plan.claimed;
  return count;
}

void TraceWrite(char* buffer, uint32_t* count, void* param) {
  Feed* f = static_cast<Feed*>(param);
  f->trace->calls +=
      "write " + std::to_string(*count) + " at " + std::to_string(f->trace->output.size()) + "\n";
  f->trace->output.append(buffer, *count);
}

template <typename WorkArea, typename Decode>
Trace Run(const Bytes& stream, const ReadPlan& plan, WorkArea* work, Decode decode, uint8_t dirt) {
  Trace trace;
  Feed feed{&stream, 0, plan, 0, &trace};
  std::memset(static_cast<void*>(work), dirt, sizeof(WorkArea));
  trace.result = decode(TraceRead, TraceWrite, work, &feed);
  return trace;
}

class Differ {
 public:
  Differ() : fast_(new ExplodeWorkArea), reference_(new ReferenceWorkArea) {}

  // Compares both decoders on one stream and read plan; on a difference, says where.
  testing::AssertionResult Same(const Bytes& stream, const ReadPlan& plan) {
    ++runs_;
    const uint8_t dirt = static_cast<uint8_t>(runs_ * 37);
    const Trace want = Run(stream, plan, reference_.get(), ReferenceExplodeStream, dirt);
    const Trace got = Run(stream, plan, fast_.get(), ExplodeStream, static_cast<uint8_t>(~dirt));
    if (want.result == got.result && want.calls == got.calls && want.output == got.output) {
      return testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < want.output.size() && at < got.output.size() && want.output[at] == got.output[at]) {
      ++at;
    }
    return testing::AssertionFailure()
           << "stream of " << stream.size() << " bytes, reads " << plan.first << "/" << plan.later
           << ": result " << got.result << " (reference " << want.result << "), output "
           << got.output.size() << " bytes (reference " << want.output.size()
           << "), first output difference at " << at << "\ncalls:\n"
           << got.calls.substr(0, 2000) << "reference calls:\n"
           << want.calls.substr(0, 2000);
  }

 private:
  std::unique_ptr<ExplodeWorkArea> fast_;
  std::unique_ptr<ReferenceWorkArea> reference_;
  uint32_t runs_ = 0;
};

uint32_t Next(std::mt19937& rng) {
  return static_cast<uint32_t>(rng());
}

// --- Stream material ---------------------------------------------------------------------------

// Text-like bytes with repeats at every distance class, runs and noise.
Bytes Material(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  const char* words[] = {"install ", "Tessarin ", "setup ", "\r\n", "file ", "the ", "of "};
  while (out.size() < size) {
    switch (Next(rng) % 6) {
      case 0:
        for (const char* w = words[Next(rng) % 7]; *w; ++w) out.push_back(static_cast<uint8_t>(*w));
        break;
      case 1:
        out.insert(out.end(), Next(rng) % 40 + 1, static_cast<uint8_t>(Next(rng)));
        break;
      case 2: {  // a short period repeated: distances 2-15
        const size_t period = Next(rng) % 14 + 2, n = Next(rng) % 200 + 1;
        for (size_t i = 0; i < n; ++i) {
          out.push_back(out.size() >= period ? out[out.size() - period] : static_cast<uint8_t>(i));
        }
        break;
      }
      case 3:
        for (int i = Next(rng) % 200; i >= 0; --i) out.push_back(static_cast<uint8_t>(Next(rng)));
        break;
      default:
        if (out.size() > 10) {  // a copy from somewhere in the last 5000 bytes
          const size_t from = out.size() - 1 - Next(rng) % std::min<size_t>(out.size(), 5000);
          const size_t n = Next(rng) % 300 + 1;
          for (size_t i = 0; i < n; ++i) out.push_back(out[from + i]);
        }
    }
  }
  out.resize(size);
  return out;
}

// A random but valid token sequence: literals, and matches of every length class at distances
// from 1 to the farthest each length may reach.
Bytes RandomTokens(const ImplodeOptions& options, size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<ImplodeToken> tokens;
  uint32_t produced = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pick = Next(rng) % 10;
    if (pick < 4 || produced < 2) {
      tokens.push_back(ImplodeToken::Literal(static_cast<uint8_t>(Next(rng) >> (pick * 3))));
      ++produced;
      continue;
    }
    uint32_t length = pick < 7 ? 2 + Next(rng) % 20 : 2 + Next(rng) % 517;
    const uint32_t reach = std::min<uint32_t>(
        produced, length == 2 ? kImplodeMaxShortDistance : ImplodeWindowSize(options.dictBits));
    const uint32_t distance =
        Next(rng) % 3 == 0 ? 1 + Next(rng) % std::min<uint32_t>(reach, 17) : 1 + Next(rng) % reach;
    tokens.push_back(ImplodeToken::Match(length, distance));
    produced += length;
  }
  Bytes stream;
  EXPECT_TRUE(ImplodeEncode(tokens, options, &stream));
  return stream;
}

std::vector<ImplodeOptions> AllHeaders() {
  std::vector<ImplodeOptions> all;
  for (int literalMode = 0; literalMode <= 1; ++literalMode) {
    for (int dictBits = 4; dictBits <= 6; ++dictBits) {
      ImplodeOptions o;
      o.literalMode = literalMode;
      o.dictBits = dictBits;
      all.push_back(o);
    }
  }
  return all;
}

Bytes Compress(const Bytes& data, const ImplodeOptions& options) {
  Bytes stream;
  EXPECT_TRUE(ImplodeBuffer(data.data(), data.size(), options, &stream));
  return stream;
}

// --- Tests -------------------------------------------------------------------------------------

TEST(ExplodeDifferential, FastPathsMatchReferenceOnValidStreamsWithAnyReadSize) {
  Differ differ;
  uint32_t seed = 1;
  for (const ImplodeOptions& options : AllHeaders()) {
    std::vector<Bytes> streams = {Compress(Material(60000, seed), options),
                                  RandomTokens(options, 3000, seed + 100)};
    for (const Bytes& stream : streams) {
      ASSERT_GT(stream.size(), 2 * kExplodeReadSize);
      for (uint32_t later = 1; later <= 24; ++later) {
        EXPECT_TRUE(differ.Same(stream, {2048, later}));
      }
      for (ReadPlan plan : {ReadPlan{5, 2048}, ReadPlan{6, 7}, ReadPlan{2047, 2048},
                            ReadPlan{100, 1000}, ReadPlan{2048, 2047}, ReadPlan{9, 63},
                            ReadPlan{2048, 2048, 0xFFFFFFFFu}, ReadPlan{2048, 2048, 4096}}) {
        EXPECT_TRUE(differ.Same(stream, plan));
      }
    }
    ++seed;
  }
}

TEST(ExplodeDifferential, CutStreamsStopAfterTheSameSymbolAtEveryCut) {
  Differ differ;
  uint32_t seed = 50;
  for (const ImplodeOptions& options : AllHeaders()) {
    const Bytes full = RandomTokens(options, 400, seed++);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      const Bytes stream(full.begin(), full.begin() + cut);
      ASSERT_TRUE(differ.Same(stream, {2048, 2048})) << "cut " << cut;
      ASSERT_TRUE(differ.Same(stream, {5, 3})) << "cut " << cut;
    }
  }
  // Cuts of a long stream around every input-buffer edge.
  const Bytes text = Compress(Material(40000, 9), AllHeaders()[3]);
  for (size_t edge = kExplodeReadSize; edge < text.size(); edge += kExplodeReadSize) {
    for (size_t cut = edge - 12; cut <= edge + 12 && cut <= text.size(); ++cut) {
      const Bytes stream(text.begin(), text.begin() + cut);
      ASSERT_TRUE(differ.Same(stream, {2048, 2048})) << "cut " << cut;
    }
  }
}

TEST(ExplodeDifferential, DamagedAndRandomStreamsGiveTheSameResultAndPartialOutput) {
  Differ differ;
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    const ImplodeOptions options = AllHeaders()[round % 6];
    Bytes stream;
    if (round % 3 == 0) {
      // Random bytes behind a valid header: every bit pattern decodes to something, with an
      // end-of-stream code only by chance, and distances reach before the first byte.
      stream.resize(2 + Next(rng) % 6000);
      for (uint8_t& b : stream) b = static_cast<uint8_t>(Next(rng));
      stream[0] = static_cast<uint8_t>(options.literalMode);
      stream[1] = static_cast<uint8_t>(options.dictBits);
    } else {
      stream = round % 3 == 1 ? RandomTokens(options, 200 + Next(rng) % 1500, Next(rng))
                              : Compress(Material(1000 + Next(rng) % 20000, Next(rng)), options);
      for (int flips = 1 + Next(rng) % 4; flips > 0; --flips) {
        const size_t at = 2 + Next(rng) % (stream.size() - 2);
        stream[at] ^= static_cast<uint8_t>(1u << (Next(rng) % 8));
      }
      if (Next(rng) % 2) stream.resize(2 + Next(rng) % (stream.size() - 1));
    }
    const uint32_t later = Next(rng) % 3 == 0 ? 1 + Next(rng) % 16 : 2048;
    ASSERT_TRUE(differ.Same(stream, {2048, later})) << "round " << round;
    ASSERT_TRUE(differ.Same(stream, {5 + Next(rng) % 40, 1 + Next(rng) % 2048}))
        << "round " << round;
  }
  // Headers the decoders refuse, and first reads of 4 bytes or fewer.
  for (uint8_t mode : {0, 1, 2, 255}) {
    for (uint8_t dict : {0, 3, 4, 6, 7}) {
      const Bytes stream = {mode, dict, 0x55, 0xAA, 0x55, 0xAA, 0x00};
      for (uint32_t first = 0; first <= 7; ++first) {
        EXPECT_TRUE(differ.Same(stream, {first, 1}));
      }
    }
  }
}

}  // namespace
