// A tiny bit writer for hand-built test streams: bits go out least significant bit first, the
// first bit written becomes bit 0 of the first byte. Bytes may be appended directly while the
// writer is byte-aligned (headers).
#ifndef TSARIN_TESTS_SUPPORT_BIT_WRITER_H
#define TSARIN_TESTS_SUPPORT_BIT_WRITER_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
 public:
  void PutByte(uint8_t byte) {
    assert(pending_ == 0);
    bytes_.push_back(byte);
  }

  // Writes the low `count` bits of value (0-32), bit 0 first.
  void PutBits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (pending_ == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << pending_);
      pending_ = (pending_ + 1) & 7;
    }
  }

  // Number of bits written so far.
  size_t BitCount() const { return bytes_.size() * 8 - (pending_ ? 8 - pending_ : 0); }

  // The bytes written so far; an unfinished last byte is padded with zero bits.
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int pending_ = 0;  // bits used in the last byte, 0 when aligned
};

#endif  // TSARIN_TESTS_SUPPORT_BIT_WRITER_H
