// Reading and checking setup files: the marker search and entry walk as the setup does them,
// and each compressed entry run through the decoder bounded to its own bytes.
#ifndef TSARIN_TOOLS_PACK_READ_H
#define TSARIN_TOOLS_PACK_READ_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveEntry {
  enum class Kind { kFile, kDirectory, kEnd };
  Kind kind = Kind::kEnd;
  size_t index = 0;         // 1 for the first entry
  std::string name;         // file name, or directory path without the '>'
  int32_t sizeField = 0;    // files only
  size_t dataOffset = 0;    // files only: offset of the data in the setup file
  uint32_t dataLength = 0;  // files only
};

// Walks the archive of a setup file held in memory.
class ArchiveReader {
 public:
  ArchiveReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Looks for the marker as the setup does: 16-byte records from offset 0, the first whose
  // bytes 0-3 and 12-15 are the marker word; a short final record ends the search.
  bool FindMarker(std::string* error);
  size_t MarkerOffset() const { return markerOffset_; }

  // Reads the next entry and steps over its data. Fails, naming the entry, when the file ends
  // inside a name, a size field or the data, or when a name is over 260 characters.
  bool Next(ArchiveEntry* entry, std::string* error);
  // Offset of the next byte to read: after the end entry, where an integrity record starts.
  size_t Position() const { return pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  size_t markerOffset_ = 0;
  size_t index_ = 0;
  std::string directory_;  // the current directory entry, for messages
};

// Human-readable description of an entry for messages: entry number, name, directory.
std::string DescribeEntry(const ArchiveEntry& entry, const std::string& directory);

struct ExplodeRun {
  int32_t result = 0;            // ExplodeStream's result code
  bool wantedMoreInput = false;  // the decoder asked for input after the last byte
  uint64_t outputBytes = 0;
  uint32_t crc = 0;  // CRC-32 of the output
};

// Runs ExplodeStream over length bytes, delivering them as the setup's read callback does (at
// most 2048 per call, then 0). Decoded bytes are appended to *output when it is not null.
ExplodeRun RunExplode(const uint8_t* data, size_t length, std::vector<uint8_t>* output);

// True when the data decodes to its end-of-stream code and the stream uses all of it.
// Otherwise false with what is wrong in *why. *outputBytes gets the decoded length, *crc the
// CRC-32 of the decoded bytes.
bool CheckCompressedData(const uint8_t* data, size_t length, uint64_t* outputBytes, uint32_t* crc,
                         std::string* why);

// A file entry's content as installed: its length and CRC-32, the compressed ones decoded and
// checked as by CheckCompressedData.
bool EntryContent(const uint8_t* setup, const ArchiveEntry& entry, uint64_t* length, uint32_t* crc,
                  std::string* why);

// The integrity record that follows the end entry (layout in payload/archive_format.h).
struct IntegrityRecord {
  uint32_t spanLength = 0;
  uint32_t spanCrc = 0;
  std::vector<uint32_t> fileCrcs;
  size_t size = 0;  // bytes the record takes
};
enum class RecordState { kNone, kPresent, kDamaged };
// Reads the record from the size bytes at data, the bytes after the end entry. kNone when they
// do not begin with the record's magic (an older setup file, or a signature's certificate
// table); kDamaged, with what is wrong in *why, when they begin like a record but do not hold
// a sound one.
RecordState ReadIntegrityRecord(const uint8_t* data, size_t size, IntegrityRecord* record,
                                std::string* why);

struct ArchiveTotals {
  size_t markerOffset = 0;
  size_t files = 0;
  size_t directories = 0;
  size_t compressed = 0;
  uint64_t dataBytes = 0;      // entry data as stored in the archive
  uint64_t unpackedBytes = 0;  // the files' lengths once installed
  bool hasRecord = false;      // an integrity record follows the end entry
};

// The test command: every entry read, every name checked, every compressed entry decoded, and
// when the file has an integrity record, the record checked and every file's content checked
// against its CRC-32. True when all is sound; otherwise false with a message naming the
// damaged entry (or the record).
bool TestSetupFile(const uint8_t* data, size_t size, ArchiveTotals* totals, std::string* error);

#endif  // TSARIN_TOOLS_PACK_READ_H
