#include "tools/pack_read.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "payload/explode.h"
#include "tools/implode.h"
#include "tools/pack_names.h"

namespace {

struct BoundedInput {
  const uint8_t* data;
  size_t remaining;
  bool wantedMore;
  std::vector<uint8_t>* output;
  uint64_t outputBytes;
  uint32_t crc;
};

uint32_t ReadBounded(char* buffer, uint32_t* size, void* param) {
  BoundedInput* in = static_cast<BoundedInput*>(param);
  if (in->remaining == 0) {
    in->wantedMore = true;
    return 0;
  }
  uint32_t n = in->remaining < *size ? static_cast<uint32_t>(in->remaining) : *size;
  for (uint32_t i = 0; i < n; ++i) buffer[i] = static_cast<char>(in->data[i]);
  in->data += n;
  in->remaining -= n;
  return n;
}

void WriteCollected(char* buffer, uint32_t* count, void* param) {
  BoundedInput* in = static_cast<BoundedInput*>(param);
  in->outputBytes += *count;
  in->crc = Crc32Update(in->crc, buffer, *count);
  if (in->output != nullptr) in->output->insert(in->output->end(), buffer, buffer + *count);
}

const char* ResultText(int32_t result) {
  switch (result) {
    case kExplodeOk:
      return "no error";
    case kExplodeBadDictionary:
      return "dictionary-size byte not 4, 5 or 6";
    case kExplodeBadLiteralMode:
      return "literal mode not 0 or 1";
    case kExplodeShortInput:
      return "stream of 4 bytes or fewer";
    case kExplodeTruncated:
      return "input ends before the end-of-stream code (truncated or corrupt stream)";
    default:
      return "unknown result";
  }
}

}  // namespace

bool ArchiveReader::FindMarker(std::string* error) {
  for (size_t at = 0; at + archive::kRecordSize <= size_; at += archive::kRecordSize) {
    if (archive::IsMarkerRecord(data_ + at)) {
      markerOffset_ = at;
      pos_ = at + archive::kRecordSize;
      return true;
    }
  }
  *error = "no marker record at any offset that is a multiple of 16";
  return false;
}

std::string DescribeEntry(const ArchiveEntry& entry, const std::string& directory) {
  std::string s = "entry " + std::to_string(entry.index);
  if (entry.kind == ArchiveEntry::Kind::kDirectory)
    return s + " (directory \">" + PrintableName(entry.name) + "\")";
  if (entry.name.empty()) return s;
  s += " \"" + PrintableName(entry.name) + "\"";
  if (!directory.empty()) s += " in \"" + PrintableName(directory) + "\"";
  return s;
}

bool ArchiveReader::Next(ArchiveEntry* entry, std::string* error) {
  *entry = ArchiveEntry();
  entry->index = ++index_;
  size_t start = pos_;
  // Reads name bytes one by one like the setup: the 261st non-zero byte ends the attempt.
  std::string name;
  for (;;) {
    if (pos_ >= size_) {
      entry->name = name;
      *error = DescribeEntry(*entry, directory_) + " at offset " + std::to_string(start) +
               ": file ends inside the name";
      return false;
    }
    uint8_t b = data_[pos_++];
    if (b == 0) break;
    if (name.size() >= archive::kMaxNameLength) {
      entry->name = name.substr(0, 40) + "...";
      *error = DescribeEntry(*entry, directory_) + " at offset " + std::to_string(start) +
               ": name longer than " + std::to_string(archive::kMaxNameLength) + " characters";
      return false;
    }
    name += static_cast<char>(b);
  }
  if (name.empty()) {
    entry->kind = ArchiveEntry::Kind::kEnd;
    return true;
  }
  if (name[0] == archive::kDirectoryPrefix) {
    entry->kind = ArchiveEntry::Kind::kDirectory;
    entry->name = name.substr(1);
    directory_ = entry->name;
    return true;
  }
  entry->kind = ArchiveEntry::Kind::kFile;
  entry->name = name;
  if (size_ - pos_ < 4) {
    *error = DescribeEntry(*entry, directory_) + ": file ends inside the size field";
    return false;
  }
  entry->sizeField = archive::GetLE32(data_ + pos_);
  pos_ += 4;
  entry->dataOffset = pos_;
  entry->dataLength = archive::DataLength(entry->sizeField);
  if (size_ - pos_ < entry->dataLength) {
    *error = DescribeEntry(*entry, directory_) + ": file ends inside the data (" +
             std::to_string(entry->dataLength) + " bytes expected, " +
             std::to_string(size_ - pos_) + " left)";
    return false;
  }
  pos_ += entry->dataLength;
  return true;
}

ExplodeRun RunExplode(const uint8_t* data, size_t length, std::vector<uint8_t>* output) {
  std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea());
  BoundedInput in{data, length, false, output, 0, 0};
  ExplodeRun run;
  run.result = ExplodeStream(ReadBounded, WriteCollected, work.get(), &in);
  run.wantedMoreInput = in.wantedMore;
  run.outputBytes = in.outputBytes;
  run.crc = in.crc;
  return run;
}

bool CheckCompressedData(const uint8_t* data, size_t length, uint64_t* outputBytes, uint32_t* crc,
                         std::string* why) {
  ExplodeRun run = RunExplode(data, length, nullptr);
  *outputBytes = run.outputBytes;
  *crc = run.crc;
  if (run.result != kExplodeOk) {
    *why = "decoder result " + std::to_string(run.result) + " (" + ResultText(run.result) +
           ") after " + std::to_string(run.outputBytes) + " bytes of output";
    return false;
  }
  // A stream that uses all of its bytes always makes the decoder ask for one byte more: its
  // look-ahead reaches past the end-of-stream code.
  if (!run.wantedMoreInput) {
    *why =
        "the stream ends before the entry's last byte; the setup would read the next "
        "entry from inside this one";
    return false;
  }
  // The decoder copies whatever its history holds for a match that reaches before the first
  // byte, so such a stream decodes "successfully" to wrong data. Read it back to find one.
  ImplodeScan scan = ImplodeScanStream(data, length, nullptr);
  if (scan.result == ImplodeScanResult::kBeforeStart) {
    *why = "a match at output offset " + std::to_string(scan.outputBytes) +
           " reaches before the first byte";
    return false;
  }
  if (scan.result != ImplodeScanResult::kOk || scan.usedBytes != length ||
      scan.outputBytes != run.outputBytes) {
    *why = "the stream reads back differently from what the decoder made of it";
    return false;
  }
  return true;
}

bool EntryContent(const uint8_t* setup, const ArchiveEntry& entry, uint64_t* length, uint32_t* crc,
                  std::string* why) {
  const uint8_t* data = setup + entry.dataOffset;
  if (archive::IsCompressedSize(entry.sizeField))
    return CheckCompressedData(data, entry.dataLength, length, crc, why);
  *length = entry.dataLength;
  *crc = Crc32Update(0, data, entry.dataLength);
  return true;
}

RecordState ReadIntegrityRecord(const uint8_t* data, size_t size, IntegrityRecord* record,
                                std::string* why) {
  *record = IntegrityRecord();
  const size_t magic = archive::kIntegrityMagicSize;
  if (size == 0 || std::memcmp(data, archive::kIntegrityMagic, size < magic ? size : magic) != 0)
    return RecordState::kNone;
  if (size < archive::kIntegrityHeadSize) {
    *why = "the file ends inside the integrity record's head";
    return RecordState::kDamaged;
  }
  record->spanLength = static_cast<uint32_t>(archive::GetLE32(data + magic));
  record->spanCrc = static_cast<uint32_t>(archive::GetLE32(data + magic + 4));
  uint32_t files = static_cast<uint32_t>(archive::GetLE32(data + magic + 8));
  record->size = archive::IntegrityRecordSize(files);
  if (size < record->size) {
    *why = "the file ends inside the integrity record (" + std::to_string(record->size) +
           " bytes for " + std::to_string(files) + " files, " + std::to_string(size) + " left)";
    return RecordState::kDamaged;
  }
  const size_t crcAt = record->size - 4;
  uint32_t own = static_cast<uint32_t>(archive::GetLE32(data + crcAt));
  if (Crc32Update(0, data, crcAt) != own) {
    *why = "the integrity record's own CRC-32 does not match: the record is damaged";
    return RecordState::kDamaged;
  }
  for (size_t at = archive::kIntegrityHeadSize; at < crcAt; at += 4)
    record->fileCrcs.push_back(static_cast<uint32_t>(archive::GetLE32(data + at)));
  return RecordState::kPresent;
}

namespace {

std::string Hex32(uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

}  // namespace

bool TestSetupFile(const uint8_t* data, size_t size, ArchiveTotals* totals, std::string* error) {
  *totals = ArchiveTotals();
  ArchiveReader reader(data, size);
  if (!reader.FindMarker(error)) return false;
  totals->markerOffset = reader.MarkerOffset();
  // The walk to the end entry first: the record follows it.
  std::vector<ArchiveEntry> entries;
  for (;;) {
    ArchiveEntry e;
    if (!reader.Next(&e, error)) return false;
    if (e.kind == ArchiveEntry::Kind::kEnd) break;
    entries.push_back(e);
  }
  const size_t spanEnd = reader.Position();
  IntegrityRecord record;
  std::string why;
  RecordState state = ReadIntegrityRecord(data + spanEnd, size - spanEnd, &record, &why);
  if (state == RecordState::kDamaged) {
    *error = "integrity record at offset " + std::to_string(spanEnd) + ": " + why;
    return false;
  }
  totals->hasRecord = state == RecordState::kPresent;
  // Without a record where the entries end, a sound record further on means that the walk
  // ended early: a damaged size field or name made part of the data read as the end entry.
  const uint8_t* magic = reinterpret_cast<const uint8_t*>(archive::kIntegrityMagic);
  for (size_t at = spanEnd; !totals->hasRecord && at < size; ++at) {
    const void* found = memmem(data + at, size - at, magic, archive::kIntegrityMagicSize);
    if (found == nullptr) break;
    at = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
    if (ReadIntegrityRecord(data + at, size - at, &record, &why) == RecordState::kPresent &&
        record.spanLength == at - totals->markerOffset) {
      *error = "the entries end at offset " + std::to_string(spanEnd) +
               ", but an integrity record at offset " + std::to_string(at) +
               " says they end there: a size field or a name is damaged";
      return false;
    }
  }
  size_t fileCount = 0;
  for (const ArchiveEntry& e : entries) fileCount += e.kind == ArchiveEntry::Kind::kFile;
  if (totals->hasRecord && record.fileCrcs.size() != fileCount) {
    *error = "integrity record at offset " + std::to_string(spanEnd) + ": it lists " +
             std::to_string(record.fileCrcs.size()) + " files, the archive holds " +
             std::to_string(fileCount);
    return false;
  }
  std::string directory;
  for (const ArchiveEntry& e : entries) {
    if (e.kind == ArchiveEntry::Kind::kDirectory) {
      directory = e.name;
      ++totals->directories;
      if (!CheckDirectoryEntryPath(e.name, &why)) {
        *error = DescribeEntry(e, directory) + ": unsafe path: " + why;
        return false;
      }
      continue;
    }
    totals->dataBytes += e.dataLength;
    if (!CheckFileEntryName(e.name, &why)) {
      *error = DescribeEntry(e, directory) + ": unsafe name: " + why;
      return false;
    }
    const bool compressed = archive::IsCompressedSize(e.sizeField);
    totals->compressed += compressed;
    uint64_t length = 0;
    uint32_t crc = 0;
    bool sound = EntryContent(data, e, &length, &crc, &why);
    totals->unpackedBytes += length;
    if (!sound) {
      *error = DescribeEntry(e, directory) + " (compressed, " + std::to_string(e.dataLength) +
               " bytes at offset " + std::to_string(e.dataOffset) + "): " + why;
      return false;
    }
    if (totals->hasRecord && crc != record.fileCrcs[totals->files]) {
      *error = DescribeEntry(e, directory) + " (" + (compressed ? "compressed" : "stored") + ", " +
               std::to_string(e.dataLength) + " bytes at offset " + std::to_string(e.dataOffset) +
               "): content CRC-32 " + Hex32(crc) + ", the integrity record says " +
               Hex32(record.fileCrcs[totals->files]);
      return false;
    }
    ++totals->files;
  }
  if (!totals->hasRecord) return true;
  const size_t spanLength = spanEnd - totals->markerOffset;
  if (record.spanLength != spanLength) {
    *error = "integrity record: it covers " + std::to_string(record.spanLength) +
             " bytes from the marker, the archive takes " + std::to_string(spanLength);
    return false;
  }
  uint32_t spanCrc = Crc32Update(0, data + totals->markerOffset, spanLength);
  if (spanCrc != record.spanCrc) {
    *error = "integrity record: the archive's CRC-32 is " + Hex32(spanCrc) + ", the record says " +
             Hex32(record.spanCrc) + " (every file's content matches: a name, size field or " +
             "directory entry is damaged)";
    return false;
  }
  return true;
}
