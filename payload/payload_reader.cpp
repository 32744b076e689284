#include "payload/payload_reader.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "payload/archive_format.h"
#include "setup/install_context.h"
#include "shell/fs_platform.h"

namespace {

// The payload stream's buffer. The marker search and the names go in tiny reads and the data
// in blocks of 2048 or 16384 bytes; a large buffer turns them all into few system reads. Static
// because nothing is allocated while the archive is read (the runtime would otherwise allocate
// one); only one payload stream is ever open.
char payloadStreamBuffer[64 * 1024];

}  // namespace

bool FindPayload() {
  InstallContext& ctx = installContext;
  ctx.payloadFile = FsOpenRead(ctx.modulePath);
  if (ctx.payloadFile == nullptr) {
    ReportDamagedArchive();
    return false;
  }
  std::setvbuf(ctx.payloadFile, payloadStreamBuffer, _IOFBF, sizeof payloadStreamBuffer);
  // Only whole records at multiples of 16 are examined; a trailing part-record ends the search
  // like the end of the file.
  char* record = ctx.workBuffer.text;
  for (;;) {
    if (std::fread(record, 1, archive::kRecordSize, ctx.payloadFile) != archive::kRecordSize) {
      std::fclose(ctx.payloadFile);
      ctx.payloadFile = nullptr;
      ReportDamagedArchive();
      return false;
    }
    if (archive::IsMarkerRecord(record)) return true;
  }
}

bool MeasurePayload() {
  InstallContext& ctx = installContext;
  long position = std::ftell(ctx.payloadFile);
  long length = -1;
  if (position >= 0 && std::fseek(ctx.payloadFile, 0, SEEK_END) == 0) {
    length = std::ftell(ctx.payloadFile);
  }
  if (length < position || std::fseek(ctx.payloadFile, position, SEEK_SET) != 0 ||
      length - position > INT32_MAX) {
    ReportDamagedArchive();
    return false;
  }
  ctx.payloadTotal = static_cast<int32_t>(length - position);
  return true;
}

bool ReadEntryName(char* buffer) {
  InstallContext& ctx = installContext;
  for (size_t i = 0;; ++i) {
    int c = std::fgetc(ctx.payloadFile);
    if (c == EOF) {
      ReportDamagedArchive();
      return false;
    }
    buffer[i] = static_cast<char>(c);
    ++ctx.bytesConsumed;
    if (c == 0) return true;
    // The name has no room for a 261st character: stop without a word, leaving the status line
    // and the meter as they are.
    if (i >= archive::kMaxNameLength) return false;
  }
}

bool ReadEntrySize() {
  InstallContext& ctx = installContext;
  uint8_t field[4];
  if (std::fread(field, 1, sizeof field, ctx.payloadFile) != sizeof field) {
    ReportDamagedArchive();
    return false;
  }
  ctx.entryRemaining = archive::GetLE32(field);
  ctx.bytesConsumed += 4;
  // The one size field whose length has no positive counterpart: no entry can be that long.
  if (ctx.entryRemaining == INT32_MIN) {
    ReportDamagedArchive();
    return false;
  }
  return true;
}

bool DiscardEntryRest() {
  InstallContext& ctx = installContext;
  while (ctx.entryRemaining != 0) {
    ctx.lastBlockSize = ctx.entryRemaining < static_cast<int32_t>(archive::kBlockSize)
                            ? ctx.entryRemaining
                            : static_cast<int32_t>(archive::kBlockSize);
    size_t block = static_cast<size_t>(ctx.lastBlockSize);
    if (std::fread(ctx.workBuffer.text, 1, block, ctx.payloadFile) != block) return false;
    AdvanceProgress();
  }
  return true;
}

bool SkipEntry() {
  InstallContext& ctx = installContext;
  ctx.setupDialog->ShowStatus(kIdStatus, "");
  // Stored and compressed entries are skipped alike (INT32_MIN was refused by ReadEntrySize).
  ctx.entryRemaining = std::abs(ctx.entryRemaining);
  if (!DiscardEntryRest()) {
    ReportDamagedArchive();
    return false;
  }
  return true;
}

void AdvanceProgress() {
  InstallContext& ctx = installContext;
  ctx.entryRemaining -= ctx.lastBlockSize;
  ctx.bytesConsumed += ctx.lastBlockSize;
  // bytesConsumed * 100 overflows 32 bits beyond 21474836 bytes, and a 64-bit division would
  // bring in a runtime helper on a 32-bit target, so the share is worked out in a double. That
  // is exact here: the product has at most 38 bits, and a quotient below a whole number lies at
  // least 1 / payloadTotal (more than 2^-31) below it, far more than a double's rounding.
  int32_t percent = 1;
  if (ctx.payloadTotal > 0 && ctx.bytesConsumed > 0) {
    const double share = ctx.bytesConsumed * 100.0 / ctx.payloadTotal;
    percent = share >= 99 ? 99 : share < 1 ? 1 : static_cast<int32_t>(share);
  }
  ctx.setupDialog->SetMeterPos(percent);
}
