// Implode compressor: the lazy parser with its match finder, the encoder and the stream scan.
// The optimal parser is in implode_optimal.cpp. See implode.h.
#include "tools/implode.h"

#include <algorithm>

#include "tools/implode_tables.h"

namespace {

using namespace implode_tables;

// Length value (match length - 2, 0-516, and 517 for the end code) to length-code index.
struct LengthIndexTable {
  uint8_t index[kLengthBase[kEndCode] + kEndExtra + 1];
};
constexpr LengthIndexTable MakeLengthIndexTable() {
  LengthIndexTable t{};
  for (int code = 0; code < kLengthCodes; ++code) {
    uint32_t end = kLengthBase[code] + (1u << kLengthExtraBits[code]);
    for (uint32_t v = kLengthBase[code]; v < end; ++v) t.index[v] = static_cast<uint8_t>(code);
  }
  return t;
}
constexpr LengthIndexTable kLengthIndex = MakeLengthIndexTable();

// Low distance bits: 2 for a 2-byte match, else the dictionary bits.
inline int LowDistanceBits(int dictBits, uint32_t length) {
  return length == 2 ? 2 : dictBits;
}

// Farthest distance a match of this length may reach.
inline uint32_t MaxDistance(int dictBits, uint32_t length) {
  return length == 2 ? kImplodeMaxShortDistance : ImplodeWindowSize(dictBits);
}

// Collects bits least significant first, the order the decoder reads them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out, uint64_t pending = 0, int pendingCount = 0)
      : out_(out), pending_(pending), pendingCount_(pendingCount) {}
  uint64_t Pending() const { return pending_; }
  int PendingCount() const { return pendingCount_; }
  void Put(uint32_t bits, int count) {
    pending_ |= static_cast<uint64_t>(bits) << pendingCount_;
    pendingCount_ += count;
    while (pendingCount_ >= 8) {
      out_->push_back(static_cast<uint8_t>(pending_));
      pending_ >>= 8;
      pendingCount_ -= 8;
    }
  }
  // Pads the last byte with zero bits.
  void Finish() {
    if (pendingCount_ > 0) out_->push_back(static_cast<uint8_t>(pending_));
    pending_ = 0;
    pendingCount_ = 0;
  }

 private:
  std::vector<uint8_t>* out_;
  uint64_t pending_ = 0;
  int pendingCount_ = 0;
};

void PutLength(BitWriter* w, uint32_t lengthValue) {
  int code = kLengthIndex.index[lengthValue];
  w->Put(kLengthStored[code], kLengthBits[code]);
  if (kLengthExtraBits[code] != 0) w->Put(lengthValue - kLengthBase[code], kLengthExtraBits[code]);
}

// Finds earlier occurrences of the bytes at a position: hash chains over 3-byte prefixes for
// matches of 3 bytes or more, and the last position of every byte pair for 2-byte matches
// (the nearest one is both the only one worth having and the cheapest to code).
class MatchFinder {
 public:
  struct Match {
    uint32_t length = 0;  // 0: none
    uint32_t distance = 0;
  };

  MatchFinder(const uint8_t* data, size_t size, uint32_t window, int maxChain)
      : data_(data),
        size_(size),
        window_(window),
        maxChain_(maxChain),
        head_(kHashSize, -1),
        chain_(kChainSize, -1),
        lastPair_(65536, -1) {}

  // Makes every position below pos available as a match source.
  void InsertUpTo(size_t pos) {
    for (; inserted_ < pos; ++inserted_) {
      size_t p = inserted_;
      if (p + 2 < size_) {
        uint32_t h = Hash(p);
        chain_[p & (kChainSize - 1)] = head_[h];
        head_[h] = static_cast<int64_t>(p);
      }
      if (p + 1 < size_) lastPair_[Pair(p)] = static_cast<int64_t>(p);
    }
  }

  // Calls found(length, distance) for each match at pos that is longer than all nearer ones,
  // so in order of rising length and distance; lengths of 3 or more come from the chains, a
  // length of 2 from the nearest pair within reach. Positions below pos must be inserted.
  template <typename Found>
  void ForEachMatch(size_t pos, int maxChain, Found found) const {
    uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kImplodeMaxMatch, size_ - pos));
    if (limit < kImplodeMinMatch) return;
    int64_t pair = lastPair_[Pair(pos)];
    if (pair >= 0 && pos - static_cast<size_t>(pair) <= kImplodeMaxShortDistance) {
      found(2u, static_cast<uint32_t>(pos - static_cast<size_t>(pair)));
    }
    if (limit < 3) return;
    const uint8_t* here = data_ + pos;
    uint32_t best = 2;
    int64_t candidate = head_[Hash(pos)];
    for (int steps = maxChain; candidate >= 0 && steps > 0; --steps) {
      size_t distance = pos - static_cast<size_t>(candidate);
      if (distance > window_) break;
      const uint8_t* there = data_ + candidate;
      if (there[best] == here[best] && there[0] == here[0]) {
        uint32_t length = 0;
        while (length < limit && there[length] == here[length]) ++length;
        if (length > best) {
          best = length;
          found(length, static_cast<uint32_t>(distance));
          if (length == limit) break;
        }
      }
      candidate = chain_[static_cast<size_t>(candidate) & (kChainSize - 1)];
    }
  }

  // The longest match at pos, nearest among equals.
  Match Longest(size_t pos) const {
    Match m;
    ForEachMatch(pos, maxChain_, [&m](uint32_t length, uint32_t distance) {
      m.length = length;
      m.distance = distance;
    });
    return m;
  }

 private:
  static constexpr size_t kHashBits = 15;
  static constexpr size_t kHashSize = size_t{1} << kHashBits;
  // Twice the largest window, so that a link is never overwritten while it is within reach.
  static constexpr size_t kChainSize = 8192;

  uint32_t Hash(size_t p) const {
    uint32_t v = (uint32_t{data_[p]} << 16) | (uint32_t{data_[p + 1]} << 8) | data_[p + 2];
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  uint32_t Pair(size_t p) const { return (uint32_t{data_[p]} << 8) | data_[p + 1]; }

  const uint8_t* data_;
  size_t size_;
  uint32_t window_;
  int maxChain_;
  size_t inserted_ = 0;
  std::vector<int64_t> head_;
  std::vector<int64_t> chain_;
  std::vector<int64_t> lastPair_;
};

constexpr int kLazyMaxChain = 128;
constexpr uint32_t kLazyGoodLength = 64;  // take a match this long without looking ahead

// True when the match costs fewer bits than the literals it replaces.
bool Pays(const uint8_t* data, size_t pos, const MatchFinder::Match& m,
          const ImplodeOptions& options) {
  if (m.length < kImplodeMinMatch) return false;
  if (m.length > 8) return true;  // 9 literals cost at least 45 bits, any match at most 30
  uint32_t literalBits = 0;
  for (uint32_t i = 0; i < m.length; ++i)
    literalBits += ImplodeLiteralBits(options.literalMode, data[pos + i]);
  return ImplodeMatchBits(options.dictBits, m.length, m.distance) < literalBits;
}

}  // namespace

bool ImplodeOptionsValid(const ImplodeOptions& options) {
  return (options.literalMode == 0 || options.literalMode == 1) && options.dictBits >= 4 &&
         options.dictBits <= 6;
}

uint32_t ImplodeLiteralBits(int literalMode, uint8_t byte) {
  return 1 + (literalMode == 0 ? 8u : kLiteralBits[byte]);
}

uint32_t ImplodeMatchBits(int dictBits, uint32_t length, uint32_t distance) {
  int code = kLengthIndex.index[length - 2];
  int low = LowDistanceBits(dictBits, length);
  uint32_t distanceCode = (distance - 1) >> low;
  return 1 + kLengthBits[code] + kLengthExtraBits[code] + kDistanceBits[distanceCode] + low;
}

namespace {

// The tokens' symbols, without header or end code.
void PutTokens(BitWriter* w, const std::vector<ImplodeToken>& tokens,
               const ImplodeOptions& options) {
  for (const ImplodeToken& t : tokens) {
    if (t.length == 1) {
      w->Put(0, 1);
      if (options.literalMode == 0) {
        w->Put(t.value, 8);
      } else {
        w->Put(kLiteralStored.code[t.value], kLiteralBits[t.value]);
      }
      continue;
    }
    w->Put(1, 1);
    PutLength(w, t.length - 2u);
    int low = LowDistanceBits(options.dictBits, t.length);
    uint32_t d = t.value - 1u;
    uint32_t code = d >> low;
    w->Put(kDistanceStored[code], kDistanceBits[code]);
    w->Put(d & ((1u << low) - 1), low);
  }
}

void PutHeader(const ImplodeOptions& options, std::vector<uint8_t>* out) {
  out->push_back(static_cast<uint8_t>(options.literalMode));
  out->push_back(static_cast<uint8_t>(options.dictBits));
}

void PutEnd(BitWriter* w) {
  w->Put(1, 1);
  PutLength(w, kLengthBase[kEndCode] + kEndExtra);
  w->Finish();
}

}  // namespace

bool ImplodeTokensValid(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& options) {
  if (!ImplodeOptionsValid(options)) return false;
  uint64_t produced = 0;
  for (const ImplodeToken& t : tokens) {
    if (t.length == 1) {
      if (t.value > 255) return false;
    } else {
      if (t.length < kImplodeMinMatch || t.length > kImplodeMaxMatch) return false;
      if (t.value == 0 || t.value > MaxDistance(options.dictBits, t.length)) return false;
      if (t.value > produced) return false;
    }
    produced += t.length;
  }
  return true;
}

bool ImplodeEncode(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& options,
                   std::vector<uint8_t>* out) {
  if (!ImplodeTokensValid(tokens, options)) return false;
  out->clear();
  PutHeader(options, out);
  BitWriter w(out);
  PutTokens(&w, tokens, options);
  PutEnd(&w);
  return true;
}

bool ImplodeParseLazy(const uint8_t* data, size_t size, const ImplodeOptions& options,
                      std::vector<ImplodeToken>* tokens) {
  return ImplodeParseLazy(data, 0, size, options, tokens);
}

bool ImplodeParseLazy(const uint8_t* data, size_t start, size_t size, const ImplodeOptions& options,
                      std::vector<ImplodeToken>* tokens) {
  if (!ImplodeOptionsValid(options) || start > size) return false;
  tokens->clear();
  MatchFinder finder(data, size, ImplodeWindowSize(options.dictBits), kLazyMaxChain);
  size_t pos = start;
  MatchFinder::Match carried;
  bool haveCarried = false;
  while (pos < size) {
    finder.InsertUpTo(pos);
    MatchFinder::Match m = haveCarried ? carried : finder.Longest(pos);
    haveCarried = false;
    if (!Pays(data, pos, m, options)) {
      tokens->push_back(ImplodeToken::Literal(data[pos]));
      ++pos;
      continue;
    }
    // One step of lookahead: a longer match starting at the next byte is worth a literal.
    if (m.length < kLazyGoodLength && pos + 1 < size) {
      finder.InsertUpTo(pos + 1);
      MatchFinder::Match next = finder.Longest(pos + 1);
      if (next.length > m.length && Pays(data, pos + 1, next, options)) {
        tokens->push_back(ImplodeToken::Literal(data[pos]));
        ++pos;
        carried = next;
        haveCarried = true;
        continue;
      }
    }
    tokens->push_back(ImplodeToken::Match(m.length, m.distance));
    pos += m.length;
  }
  return true;
}

namespace {

// Bit-level reader for ImplodeScanStream: bits are taken least significant first; bits past
// the end read as zero but mark the reader as overrun.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // The next count bits (0-24).
  uint32_t Peek(int count) const {
    uint64_t byte = position_ / 8;
    uint32_t v = 0;
    for (uint64_t i = 0; i < 4; ++i)
      if (byte + i < size_) v |= uint32_t{data_[byte + i]} << (8 * i);
    return (v >> (position_ % 8)) & ((1u << count) - 1);
  }
  uint32_t Take(int count) {
    uint32_t v = Peek(count);
    position_ += static_cast<uint64_t>(count);
    return v;
  }
  bool Overrun() const { return position_ > static_cast<uint64_t>(size_) * 8; }
  size_t BytesUsed() const { return static_cast<size_t>((position_ + 7) / 8); }

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t position_ = 0;
};

// Next bits to symbol, for codes of up to 8 bits (length, distance) and up to 13 (literal).
struct ScanTables {
  uint8_t length[256];
  uint8_t distance[256];
  uint8_t literal[8192];
};

template <size_t N, size_t M, typename Stored>
void FillLookup(uint8_t (&table)[M], const uint8_t (&bits)[N], Stored stored) {
  for (size_t i = 0; i < N; ++i)
    for (size_t at = stored(i); at < M; at += size_t{1} << bits[i])
      table[at] = static_cast<uint8_t>(i);
}

const ScanTables& GetScanTables() {
  static const ScanTables tables = [] {
    ScanTables t{};
    FillLookup(t.length, kLengthBits, [](size_t i) { return size_t{kLengthStored[i]}; });
    FillLookup(t.distance, kDistanceBits, [](size_t i) { return size_t{kDistanceStored[i]}; });
    FillLookup(t.literal, kLiteralBits, [](size_t i) { return size_t{kLiteralStored.code[i]}; });
    return t;
  }();
  return tables;
}

}  // namespace

ImplodeScan ImplodeScanStream(const uint8_t* data, size_t size, std::vector<ImplodeToken>* tokens) {
  ImplodeScan scan;
  if (tokens != nullptr) tokens->clear();
  if (size < 2) return scan;
  ImplodeOptions options;
  options.literalMode = data[0];
  options.dictBits = data[1];
  if (!ImplodeOptionsValid(options)) {
    scan.result = ImplodeScanResult::kBadHeader;
    return scan;
  }
  const ScanTables& tables = GetScanTables();
  BitReader r(data + 2, size - 2);
  for (;;) {
    ImplodeToken t;
    if (r.Take(1) == 0) {
      uint8_t byte;
      if (options.literalMode == 0) {
        byte = static_cast<uint8_t>(r.Take(8));
      } else {
        byte = tables.literal[r.Peek(13)];
        r.Take(kLiteralBits[byte]);
      }
      t = ImplodeToken::Literal(byte);
    } else {
      int code = tables.length[r.Peek(8)];
      r.Take(kLengthBits[code]);
      uint32_t value = kLengthBase[code] + r.Take(kLengthExtraBits[code]);
      if (value == kLengthBase[kEndCode] + kEndExtra) break;
      uint32_t length = value + 2;
      int low = LowDistanceBits(options.dictBits, length);
      uint32_t high = tables.distance[r.Peek(8)];
      r.Take(kDistanceBits[high]);
      t = ImplodeToken::Match(length, (high << low) + r.Take(low) + 1);
    }
    if (r.Overrun()) return scan;
    if (t.length > 1 && t.value > scan.outputBytes) {
      scan.result = ImplodeScanResult::kBeforeStart;
      return scan;
    }
    scan.outputBytes += t.length;
    if (tokens != nullptr) tokens->push_back(t);
  }
  if (r.Overrun()) return scan;
  scan.result = ImplodeScanResult::kOk;
  scan.usedBytes = 2 + r.BytesUsed();
  return scan;
}

ImplodeWriter::ImplodeWriter(const ImplodeOptions& options, size_t blockSize)
    : options_(options), blockSize_(blockSize), window_(ImplodeWindowSize(options.dictBits)) {
  buffer_.reserve(window_ + blockSize_);
}

void ImplodeWriter::Write(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  while (size > 0) {
    size_t room = history_ + blockSize_ - buffer_.size();
    size_t n = size < room ? size : room;
    buffer_.insert(buffer_.end(), data, data + n);
    data += n;
    size -= n;
    if (buffer_.size() == history_ + blockSize_) ParseBlock(out);
  }
}

void ImplodeWriter::ParseBlock(std::vector<uint8_t>* out) {
  if (!started_) {
    PutHeader(options_, out);
    started_ = true;
  }
  if (buffer_.size() == history_) return;
  if (options_.parser == ImplodeParser::kOptimal)
    ImplodeParseOptimal(buffer_.data(), history_, buffer_.size(), options_, &tokens_);
  else
    ImplodeParseLazy(buffer_.data(), history_, buffer_.size(), options_, &tokens_);
  BitWriter w(out, pending_, pendingCount_);
  PutTokens(&w, tokens_, options_);
  pending_ = w.Pending();
  pendingCount_ = w.PendingCount();
  // The window before the next block is its history.
  size_t keep = buffer_.size() < window_ ? buffer_.size() : window_;
  buffer_.erase(buffer_.begin(), buffer_.end() - static_cast<ptrdiff_t>(keep));
  history_ = keep;
}

void ImplodeWriter::Finish(std::vector<uint8_t>* out) {
  ParseBlock(out);
  BitWriter w(out, pending_, pendingCount_);
  PutEnd(&w);
  Reset();
}

void ImplodeWriter::Reset() {
  history_ = 0;
  buffer_.clear();
  pending_ = 0;
  pendingCount_ = 0;
  started_ = false;
}

bool ImplodeBuffer(const uint8_t* data, size_t size, const ImplodeOptions& options,
                   std::vector<uint8_t>* out) {
  out->clear();
  if (!ImplodeOptionsValid(options)) return false;
  ImplodeWriter writer(options);
  writer.Write(data, size, out);
  writer.Finish(out);
  return true;
}
