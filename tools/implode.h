// Compressor for the implode stream format (the decoder is payload/explode.h). Used by the
// packer and the tests only; the setup program contains no compressor.
//
// The work is split in two: a parser turns the input into a sequence of literals and matches
// (ImplodeToken), and one encoder writes any such sequence as a stream. Parsers can be added
// without touching the encoder or the archive writer.
#ifndef TSARIN_TOOLS_IMPLODE_H
#define TSARIN_TOOLS_IMPLODE_H

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ImplodeParser {
  kLazy,     // greedy with one step of lookahead; fast
  kOptimal,  // shortest path over exact bit costs
};

struct ImplodeOptions {
  int literalMode = 0;  // 0: plain 8-bit literals; 1: coded literals
  int dictBits = 6;     // 4, 5 or 6: window of 1024, 2048 or 4096 bytes
  ImplodeParser parser = ImplodeParser::kLazy;
};

// Limits of the format.
constexpr uint32_t kImplodeMinMatch = 2;
constexpr uint32_t kImplodeMaxMatch = 518;
constexpr uint32_t kImplodeMaxShortDistance = 256;  // farthest reach of a 2-byte match
constexpr uint32_t kImplodeEndBits = 16;            // flag, length code 15, extra value 255

// Farthest reach of a match of 3 bytes or more: 1024, 2048 or 4096.
inline uint32_t ImplodeWindowSize(int dictBits) {
  return 64u << dictBits;
}

// True for the six header combinations the decoder accepts.
bool ImplodeOptionsValid(const ImplodeOptions& options);

// One step of a parse: a literal byte, or a copy of length bytes from distance bytes back.
struct ImplodeToken {
  uint16_t length;  // 1: literal; 2-518: match
  uint16_t value;   // literal: the byte; match: the distance, 1-4096
  static ImplodeToken Literal(uint8_t byte) { return ImplodeToken{1, byte}; }
  static ImplodeToken Match(uint32_t length, uint32_t distance) {
    return ImplodeToken{static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
  }
};

// Exact cost in stream bits, flag bit included, taken from the encoder's own tables. A parser
// that minimises the sum of these (plus the header and kImplodeEndBits, rounded up to the
// byte) minimises the stream size.
uint32_t ImplodeLiteralBits(int literalMode, uint8_t byte);
// length 2-518 and a distance it can reach (see ImplodeTokensValid).
uint32_t ImplodeMatchBits(int dictBits, uint32_t length, uint32_t distance);

// Parsers: turn size bytes at data into tokens that reproduce them. Return false only for
// invalid options.
bool ImplodeParseLazy(const uint8_t* data, size_t size, const ImplodeOptions& options,
                      std::vector<ImplodeToken>* tokens);
bool ImplodeParseOptimal(const uint8_t* data, size_t size, const ImplodeOptions& options,
                         std::vector<ImplodeToken>* tokens);
// The same for the bytes from start to size only, the bytes before start being output already
// made, which matches may reach back into. Also false when start > size.
bool ImplodeParseLazy(const uint8_t* data, size_t start, size_t size, const ImplodeOptions& options,
                      std::vector<ImplodeToken>* tokens);
bool ImplodeParseOptimal(const uint8_t* data, size_t start, size_t size,
                         const ImplodeOptions& options, std::vector<ImplodeToken>* tokens);

// True when every match of tokens is 2-518 bytes long, reaches no farther than its length
// allows (256 bytes for 2-byte matches, the window otherwise) and never before the first byte.
bool ImplodeTokensValid(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& options);

// Writes tokens as a complete stream (header, symbols, end-of-stream code, zero padding),
// replacing the contents of out. Returns false, writing nothing, for invalid options or tokens.
bool ImplodeEncode(const std::vector<ImplodeToken>& tokens, const ImplodeOptions& options,
                   std::vector<uint8_t>* out);

// Reads a stream back into its tokens, without producing output; for checking streams made
// elsewhere. Unlike the setup's decoder it notices matches that reach before the first byte.
enum class ImplodeScanResult {
  kOk,           // the end-of-stream code was reached
  kBadHeader,    // literal mode or dictionary-size byte out of range
  kTruncated,    // the data ends before the end-of-stream code
  kBeforeStart,  // a match reaches before the first byte of output
};
struct ImplodeScan {
  ImplodeScanResult result = ImplodeScanResult::kTruncated;
  size_t usedBytes = 0;      // bytes up to and including the one holding the end code
  uint64_t outputBytes = 0;  // output length of the tokens read
};
// tokens may be null.
ImplodeScan ImplodeScanStream(const uint8_t* data, size_t size, std::vector<ImplodeToken>* tokens);

// Compressing a stream given in pieces, in bounded memory. The input is parsed in blocks of
// blockSize bytes, each with the window before it as history, so the stream depends on the
// input bytes only, never on how they are handed over; a match never spans two blocks.
constexpr size_t kImplodeBlockSize = size_t{1} << 20;
class ImplodeWriter {
 public:
  // options must be valid (ImplodeOptionsValid).
  explicit ImplodeWriter(const ImplodeOptions& options, size_t blockSize = kImplodeBlockSize);
  // Takes size more input bytes; appends the stream bytes that are complete to *out.
  void Write(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
  // Ends the stream (the last block, the end-of-stream code, zero padding) into *out.
  void Finish(std::vector<uint8_t>* out);
  // Starts a new stream, keeping the memory of the last one.
  void Reset();

 private:
  void ParseBlock(std::vector<uint8_t>* out);

  ImplodeOptions options_;
  size_t blockSize_;
  size_t window_;
  size_t history_ = 0;  // bytes at the start of buffer_ that belong to the previous block
  std::vector<uint8_t> buffer_;
  std::vector<ImplodeToken> tokens_;
  uint64_t pending_ = 0;  // bits not yet making a whole byte
  int pendingCount_ = 0;
  bool started_ = false;
};

// Compresses size bytes at data into a complete stream (header, symbols, end-of-stream code,
// zero padding) through ImplodeWriter, replacing the contents of out. Returns false only for
// invalid options.
bool ImplodeBuffer(const uint8_t* data, size_t size, const ImplodeOptions& options,
                   std::vector<uint8_t>* out);

#endif  // TSARIN_TOOLS_IMPLODE_H
