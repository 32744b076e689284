#include "tools/pack_read.h"

#include <memory>

#include "payload/archive_format.h"
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
  BoundedInput in{data, length, false, output, 0};
  ExplodeRun run;
  run.result = ExplodeStream(ReadBounded, WriteCollected, work.get(), &in);
  run.wantedMoreInput = in.wantedMore;
  run.outputBytes = in.outputBytes;
  return run;
}

bool CheckCompressedData(const uint8_t* data, size_t length, uint64_t* outputBytes,
                         std::string* why) {
  ExplodeRun run = RunExplode(data, length, nullptr);
  *outputBytes = run.outputBytes;
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

bool TestSetupFile(const uint8_t* data, size_t size, ArchiveTotals* totals, std::string* error) {
  *totals = ArchiveTotals();
  ArchiveReader reader(data, size);
  if (!reader.FindMarker(error)) return false;
  totals->markerOffset = reader.MarkerOffset();
  std::string directory;
  for (;;) {
    ArchiveEntry e;
    if (!reader.Next(&e, error)) return false;
    std::string why;
    switch (e.kind) {
      case ArchiveEntry::Kind::kEnd:
        return true;
      case ArchiveEntry::Kind::kDirectory:
        directory = e.name;
        ++totals->directories;
        if (!CheckDirectoryEntryPath(e.name, &why)) {
          *error = DescribeEntry(e, directory) + ": unsafe path: " + why;
          return false;
        }
        break;
      case ArchiveEntry::Kind::kFile:
        ++totals->files;
        totals->dataBytes += e.dataLength;
        if (!CheckFileEntryName(e.name, &why)) {
          *error = DescribeEntry(e, directory) + ": unsafe name: " + why;
          return false;
        }
        if (archive::IsCompressedSize(e.sizeField)) {
          ++totals->compressed;
          uint64_t unpacked = 0;
          bool sound = CheckCompressedData(data + e.dataOffset, e.dataLength, &unpacked, &why);
          totals->unpackedBytes += unpacked;
          if (!sound) {
            *error = DescribeEntry(e, directory) + " (compressed, " + std::to_string(e.dataLength) +
                     " bytes at offset " + std::to_string(e.dataOffset) + "): " + why;
            return false;
          }
        } else {
          totals->unpackedBytes += e.dataLength;
        }
        break;
    }
  }
}
