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

// Compresses size bytes at data into a complete stream (header, symbols, end-of-stream code,
// zero padding). Returns false only for invalid options.
bool ImplodeBuffer(const uint8_t* data, size_t size, const ImplodeOptions& options,
                   std::vector<uint8_t>* out);

#endif  // TSARIN_TOOLS_IMPLODE_H
