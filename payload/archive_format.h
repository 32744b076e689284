// The payload archive appended to the setup executable. Shared by the setup program's reader
// and by the packer, so both sides agree byte for byte.
//
// Layout of the setup file:
//   program image     any size; must not hold the marker record at an offset that is a
//                     multiple of 16
//   marker            16 bytes at an offset that is a multiple of 16: "TOVQ" four times.
//                     A record counts as the marker when bytes 0-3 and 12-15 are "TOVQ".
//   entries           no gaps, no alignment:
//     file            name (1-260 bytes, first byte not 0 and not '>'), 0, size (int32 LE),
//                     data of |size| bytes. size > 0: an implode stream of exactly size bytes;
//                     size <= 0: -size bytes stored as they are.
//     directory       '>' followed by a path relative to the base target directory
//                     (backslashes between levels, empty = back to the base), then 0.
//                     Each one replaces the sub-directory named by the one before.
//   end entry         one 0 byte (an empty name).
//   integrity record  written by the packer directly after the end entry (older setup files
//                     have none; whatever follows the end entry is then not read as one):
//                       magic "TsnCheck"   8 bytes
//                       span length        uint32 LE: bytes from the marker's first byte to
//                                          the end entry's byte, both included
//                       span CRC-32        uint32 LE: of those bytes (payload/crc32.h)
//                       file count         uint32 LE: the number of file entries
//                       file CRC-32s       uint32 LE each, of every file's unpacked content,
//                                          in archive order
//                       record CRC-32      uint32 LE: of every byte of the record before it
//   trailer           anything (a signature's certificate table); ignored.
#ifndef TSARIN_PAYLOAD_ARCHIVE_FORMAT_H
#define TSARIN_PAYLOAD_ARCHIVE_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace archive {

// The program keeps the marker only as a 4-character word, never as a whole record, so that
// the program image cannot contain the record by accident.
constexpr char kMarkerWord[] = "TOVQ";
constexpr size_t kMarkerWordSize = 4;
constexpr size_t kRecordSize = 16;  // marker size and alignment

constexpr size_t kMaxNameLength = 260;  // characters, without the terminating zero
constexpr char kDirectoryPrefix = '>';

// Data blocks are moved in at most this many bytes.
constexpr uint32_t kBlockSize = 16384;

// True when the 16-byte record at rec is the marker.
inline bool IsMarkerRecord(const void* rec) {
  const char* r = static_cast<const char*>(rec);
  return std::memcmp(r, kMarkerWord, kMarkerWordSize) == 0 &&
         std::memcmp(r + kRecordSize - kMarkerWordSize, kMarkerWord, kMarkerWordSize) == 0;
}

// Writes the 16-byte marker record into out.
inline void WriteMarkerRecord(void* out) {
  char* o = static_cast<char*>(out);
  for (size_t i = 0; i < kRecordSize; i += kMarkerWordSize) std::memcpy(o + i, kMarkerWord, 4);
}

// Size field rules.
inline bool IsCompressedSize(int32_t size) {
  return size > 0;
}
inline uint32_t DataLength(int32_t size) {
  return size > 0 ? static_cast<uint32_t>(size) : 0u - static_cast<uint32_t>(size);
}
inline int32_t StoredSizeField(uint32_t length) {
  return static_cast<int32_t>(0u - length);  // caller keeps length <= 2^31 - 1
}

// The integrity record: its fixed head (magic, span length, span CRC, file count), then four
// bytes per file and four for its own CRC.
constexpr char kIntegrityMagic[] = "TsnCheck";
constexpr size_t kIntegrityMagicSize = 8;
constexpr size_t kIntegrityHeadSize = kIntegrityMagicSize + 12;
constexpr size_t IntegrityRecordSize(uint32_t files) {
  return kIntegrityHeadSize + 4 * size_t{files} + 4;
}
static_assert(sizeof kIntegrityMagic == kIntegrityMagicSize + 1, "an 8-byte magic");

inline void PutLE32(uint8_t* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}
inline int32_t GetLE32(const uint8_t* p) {
  uint32_t u = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  return static_cast<int32_t>(u);
}

}  // namespace archive

#endif  // TSARIN_PAYLOAD_ARCHIVE_FORMAT_H
