#include "payload/payload_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "payload/entry_extraction.h"
#include "payload/explode.h"
#include "payload/payload_reader.h"
#include "setup/install_context.h"
#include "setup/path_rules.h"
#include "shell/fs_platform.h"

namespace {

// The record's stream reads four bytes per file: a small buffer of its own, static because
// nothing is allocated while the archive is read.
char recordStreamBuffer[512];

uint32_t spanCrc;
char quietRead;  // its address tells ReadCallback to leave the meter alone
// The data is read in blocks larger than the payload stream's buffer: the runtime then reads
// them straight into this one, in few system calls, and every byte is moved once, not twice.
char checkBlock[256 * 1024];

void DiscardOutput(char* /*buffer*/, uint32_t* /*count*/, void* /*param*/) {}

// Reads the rest of the entry's data, adding it to the span's CRC-32.
bool ReadEntryData() {
  InstallContext& ctx = installContext;
  uint32_t wanted = sizeof checkBlock;
  while (uint32_t got = ReadCallback(checkBlock, &wanted, &quietRead)) {
    spanCrc = Crc32Update(spanCrc, checkBlock, got);
  }
  return !ctx.readFailed;
}

// Walks the entries from the stream's position to the end entry as the install does, the span's
// CRC-32 taken over every byte; `decode` decodes compressed data instead of only reading it.
// Counts the file entries into *files.
bool WalkEntries(bool decode, uint32_t* files) {
  InstallContext& ctx = installContext;
  char* name = ctx.workBuffer.text;
  *files = 0;
  ctx.readFailed = 0;
  for (;;) {
    if (!ReadEntryName(name)) {
      // A name longer than any path is damage as well, said as such before anything changes.
      if (!std::feof(ctx.payloadFile) && !std::ferror(ctx.payloadFile)) break;
      return false;
    }
    size_t length = std::strlen(name);
    spanCrc = Crc32Update(spanCrc, name, length + 1);
    if (length == 0) return true;
    bool directory = name[0] == archive::kDirectoryPrefix;
    if (!IsSafeEntryPath(directory ? name + 1 : name, directory)) break;
    if (directory) continue;
    if (!ReadEntrySize()) return false;
    uint8_t field[4];
    archive::PutLE32(field, ctx.entryRemaining);
    spanCrc = Crc32Update(spanCrc, field, sizeof field);
    ++*files;
    bool compressed = archive::IsCompressedSize(ctx.entryRemaining);
    ctx.entryRemaining = std::abs(ctx.entryRemaining);  // INT32_MIN was refused
    // The decoder's state shares the buffer with the name, which is no longer needed.
    if (decode && compressed &&
        ExplodeStream(ReadCallback, DiscardOutput, &ctx.workBuffer.explode, &quietRead) !=
            kExplodeOk) {
      break;
    }
    if (!ReadEntryData()) break;
  }
  ReportDamagedArchive();
  return false;
}

uint32_t Field(const uint8_t* p) {
  return static_cast<uint32_t>(archive::GetLE32(p));
}

enum class Record { kNone, kSound, kDamaged };

// Reads the integrity record at the stream's position, which ends a span that began at
// `spanStart`. Sound when the record's own CRC-32 holds and it gives the span's length; its span
// CRC and file count go to *recordedCrc and *files, for the caller to compare.
Record ReadRecord(long spanStart, uint32_t* recordedCrc, uint32_t* files) {
  InstallContext& ctx = installContext;
  long spanEnd = std::ftell(ctx.payloadFile);
  uint8_t* head = reinterpret_cast<uint8_t*>(ctx.workBuffer.text);
  size_t got = std::fread(head, 1, archive::kIntegrityHeadSize, ctx.payloadFile);
  // A record cut inside its head is damage too. Fewer than four bytes of the magic count as
  // none: an older file's trailer (a signature) may begin with one of them.
  size_t magic = got < archive::kIntegrityMagicSize ? got : archive::kIntegrityMagicSize;
  if (magic < 4 || std::memcmp(head, archive::kIntegrityMagic, magic) != 0) return Record::kNone;
  if (got != archive::kIntegrityHeadSize) return Record::kDamaged;
  const uint8_t* fields = head + archive::kIntegrityMagicSize;
  *recordedCrc = Field(fields + 4);
  *files = Field(fields + 8);
  if (spanEnd < spanStart || Field(fields) != static_cast<uint32_t>(spanEnd - spanStart)) {
    return Record::kDamaged;
  }
  uint32_t recordCrc = Crc32Update(0, head, archive::kIntegrityHeadSize);
  for (uint32_t i = 0; i < *files; ++i) {
    if (std::fread(head, 1, 4, ctx.payloadFile) != 4) return Record::kDamaged;
    recordCrc = Crc32Update(recordCrc, head, 4);
  }
  bool sound = std::fread(head, 1, 4, ctx.payloadFile) == 4 && Field(head) == recordCrc;
  return sound ? Record::kSound : Record::kDamaged;
}

// Whether a sound record further on, from the stream's position, says that the span ends where
// that record begins. Without a record just after the end entry, that means that the walk ended
// early: a damaged size field or name made a 0 byte inside some data read as the end entry.
bool RecordFurtherOn(long spanStart, long spanEnd) {
  InstallContext& ctx = installContext;
  const size_t keep = archive::kIntegrityMagicSize - 1;  // for a magic across two blocks
  long base = spanEnd;
  size_t held = 0;
  if (std::fseek(ctx.payloadFile, base, SEEK_SET) != 0) return true;
  while (size_t got = std::fread(checkBlock + held, 1, sizeof checkBlock - held, ctx.payloadFile)) {
    size_t size = held + got;
    for (size_t at = 0; at + keep < size; ++at) {
      const void* t = std::memchr(checkBlock + at, archive::kIntegrityMagic[0], size - keep - at);
      if (t == nullptr) break;
      at = static_cast<size_t>(static_cast<const char*>(t) - checkBlock);
      if (std::memcmp(checkBlock + at, archive::kIntegrityMagic, keep + 1) != 0) continue;
      uint32_t crc = 0;
      uint32_t files = 0;
      if (std::fseek(ctx.payloadFile, base + static_cast<long>(at), SEEK_SET) != 0 ||
          ReadRecord(spanStart, &crc, &files) == Record::kSound ||
          std::fseek(ctx.payloadFile, base + static_cast<long>(size), SEEK_SET) != 0) {
        return true;
      }
    }
    held = size < keep ? size : keep;
    std::memmove(checkBlock, checkBlock + size - held, held);
    base += static_cast<long>(size - held);
  }
  return false;
}

bool Check() {
  InstallContext& ctx = installContext;
  long firstEntry = std::ftell(ctx.payloadFile);
  long spanStart = firstEntry - static_cast<long>(archive::kRecordSize);
  archive::WriteMarkerRecord(ctx.workBuffer.text);
  spanCrc = Crc32Update(0, ctx.workBuffer.text, archive::kRecordSize);
  uint32_t files = 0;
  if (firstEntry < 0 || !WalkEntries(false, &files)) return false;
  uint32_t recordedCrc = 0;
  uint32_t recordedFiles = 0;
  long spanEnd = std::ftell(ctx.payloadFile);
  Record record = ReadRecord(spanStart, &recordedCrc, &recordedFiles);
  if (record == Record::kDamaged ||
      (record == Record::kSound && (recordedCrc != spanCrc || recordedFiles != files)) ||
      (record == Record::kNone && RecordFurtherOn(spanStart, spanEnd))) {
    ReportDamagedArchive();
    return false;
  }
  if (record == Record::kNone) {
    // An older setup file: nothing vouches for the data but that it decodes.
    if (std::fseek(ctx.payloadFile, firstEntry, SEEK_SET) != 0) {
      ReportDamagedArchive();
      return false;
    }
    if (!WalkEntries(true, &files)) return false;
  } else {
    ctx.recordFile = FsOpenRead(ctx.modulePath);
    long crcs = std::ftell(ctx.payloadFile) - static_cast<long>(4 * (files + 1));
    if (ctx.recordFile == nullptr ||
        std::setvbuf(ctx.recordFile, recordStreamBuffer, _IOFBF, sizeof recordStreamBuffer) != 0 ||
        std::fseek(ctx.recordFile, crcs, SEEK_SET) != 0) {
      CloseRecord();
      ReportDamagedArchive();
      return false;
    }
  }
  ctx.bytesConsumed = 0;
  if (std::fseek(ctx.payloadFile, firstEntry, SEEK_SET) != 0) {
    CloseRecord();
    ReportDamagedArchive();
    return false;
  }
  return true;
}

}  // namespace

bool CheckPayload() {
  // The status line says so from before the marker is looked for (RunInstall); a failure has
  // been reported, and leaves it.
  if (!Check()) return false;
  installContext.setupDialog->ShowStatus(kIdStatus, "");
  return true;
}

bool TakeRecordedCrc(uint32_t crc, bool compare) {
  InstallContext& ctx = installContext;
  if (ctx.recordFile == nullptr) return true;
  uint8_t field[4];
  if (std::fread(field, 1, sizeof field, ctx.recordFile) != sizeof field) return false;
  return !compare || Field(field) == crc;
}

void CloseRecord() {
  InstallContext& ctx = installContext;
  if (ctx.recordFile != nullptr) {
    std::fclose(ctx.recordFile);
    ctx.recordFile = nullptr;
  }
}
