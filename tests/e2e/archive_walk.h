// Walks the payload archive of a setup file held in memory, the way the setup reads it, so
// the robot can check the packed product's shape and cut damaged copies at chosen places.
#ifndef TSARIN_TESTS_E2E_ARCHIVE_WALK_H
#define TSARIN_TESTS_E2E_ARCHIVE_WALK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/archive_format.h"

namespace e2e {

struct WalkedEntry {
  enum Kind { kFile, kDirectory, kEnd } kind;
  std::string name;   // file name, or the directory path without its '>'
  size_t nameOffset;  // offset of the entry's first byte
  size_t sizeOffset;  // files: offset of the size field
  size_t dataOffset;  // files: offset of the first data byte
  uint32_t dataLength;
  bool compressed;
};

struct WalkedArchive {
  size_t markerOffset = 0;
  std::vector<WalkedEntry> entries;  // the last one is the end entry
};

// False when the file holds no marker or the archive is cut short.
inline bool WalkArchive(const std::vector<uint8_t>& file, WalkedArchive* out) {
  size_t pos = 0;
  for (;; pos += archive::kRecordSize) {
    if (pos + archive::kRecordSize > file.size()) return false;
    if (archive::IsMarkerRecord(file.data() + pos)) break;
  }
  out->markerOffset = pos;
  pos += archive::kRecordSize;
  for (;;) {
    WalkedEntry e{WalkedEntry::kFile, "", pos, 0, 0, 0, false};
    while (pos < file.size() && file[pos] != 0) e.name.push_back(static_cast<char>(file[pos++]));
    if (pos >= file.size()) return false;
    ++pos;
    if (e.name.empty()) {
      e.kind = WalkedEntry::kEnd;
      out->entries.push_back(e);
      return true;
    }
    if (e.name[0] == archive::kDirectoryPrefix) {
      e.kind = WalkedEntry::kDirectory;
      e.name.erase(0, 1);
      out->entries.push_back(e);
      continue;
    }
    if (pos + 4 > file.size()) return false;
    e.sizeOffset = pos;
    int32_t size = archive::GetLE32(file.data() + pos);
    pos += 4;
    e.dataOffset = pos;
    e.dataLength = archive::DataLength(size);
    e.compressed = archive::IsCompressedSize(size);
    if (e.dataLength > file.size() - pos) return false;
    pos += e.dataLength;
    out->entries.push_back(e);
  }
}

}  // namespace e2e

#endif  // TSARIN_TESTS_E2E_ARCHIVE_WALK_H
