#include "payload/entry_extraction.h"

#include <cstdio>
#include <cstring>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "payload/explode.h"
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "setup/install_context.h"
#include "setup/path_rules.h"
#include "shell/fs_platform.h"
#include "shell/text_format.h"

namespace {

// The output stream's buffer: the decoder's 4096-byte blocks and the stored 16384-byte ones
// are gathered into fewer, larger system writes. Static because nothing is allocated per entry
// (the runtime would otherwise allocate one per file); only one output file is ever open.
char outputStreamBuffer[64 * 1024];

}  // namespace

uint32_t ReadCallback(char* buffer, uint32_t* wanted, void* quiet) {
  InstallContext& ctx = installContext;
  if (ctx.entryRemaining == 0) return 0;
  uint32_t remaining = static_cast<uint32_t>(ctx.entryRemaining);
  uint32_t block = remaining >= *wanted ? *wanted : remaining;
  ctx.lastBlockSize = static_cast<int32_t>(block);
  if (std::fread(buffer, 1, block, ctx.payloadFile) != block) {
    ctx.readFailed = 1;
    return 0;
  }
  if (quiet == nullptr) {
    AdvanceProgress();
  } else {
    ctx.entryRemaining -= ctx.lastBlockSize;
  }
  return block;
}

void WriteCallback(char* buffer, uint32_t* count, void* /*param*/) {
  InstallContext& ctx = installContext;
  if (*count == 0) return;
  ctx.outputCrc = Crc32Update(ctx.outputCrc, buffer, *count);
  if (std::fwrite(buffer, 1, *count, ctx.outputFile) != *count) ctx.writeFailed = 1;
  ctx.bytesWritten += *count;
}

bool ExtractEntry(const char* name) {
  InstallContext& ctx = installContext;
  char status[280];
  FormatText(status, sizeof status, "Installing:   %s", name);
  ctx.setupDialog->ShowStatus(kIdStatus, status);

  char outputPath[kPathSize];
  if (!JoinPath(outputPath, ctx.installDir, name)) {
    ReportPathTooLong(ctx.installDir, name);
    return false;
  }

  ctx.outputFile = FsOpenWrite(outputPath);
  if (ctx.outputFile == nullptr) {
    FormatText(ctx.workBuffer.text, sizeof ctx.workBuffer.text,
               "Could not create file\n%s\n\nThis may be because\nTessarin is already "
               "running,\nor you may be out of disk space.",
               outputPath);
    ReportSetupError(ctx.workBuffer.text);
    return false;
  }
  std::setvbuf(ctx.outputFile, outputStreamBuffer, _IOFBF, sizeof outputStreamBuffer);
  // From here on workBuffer carries data and the decoder's state: name is gone.
  ctx.readFailed = 0;
  ctx.writeFailed = 0;
  ctx.outputCrc = 0;

  int32_t result = 0;
  if (archive::IsCompressedSize(ctx.entryRemaining)) {
    result = ExplodeStream(ReadCallback, WriteCallback, &ctx.workBuffer.explode, nullptr);
    // A stream that ends before its entry's bytes are used up: read past the rest, so the next
    // name is read where it begins.
    if (result == kExplodeOk && !ctx.readFailed && !DiscardEntryRest()) ctx.readFailed = 1;
  } else {
    ctx.entryRemaining = -ctx.entryRemaining;
    uint32_t wanted = archive::kBlockSize;
    for (;;) {
      uint32_t got = ReadCallback(ctx.workBuffer.text, &wanted, nullptr);
      if (got == 0) break;
      WriteCallback(ctx.workBuffer.text, &got, nullptr);
    }
  }

  if (ctx.readFailed || result != kExplodeOk) {
    std::fclose(ctx.outputFile);
    ctx.outputFile = nullptr;
    ReportDamagedArchive();
    return false;
  }
  bool closed = std::fclose(ctx.outputFile) == 0;
  ctx.outputFile = nullptr;
  if (!ctx.writeFailed && closed) {
    // A file that changed since the check, or a decoder fault, shows here.
    if (TakeRecordedCrc(ctx.outputCrc, true)) return true;
    ReportDamagedArchive();
    return false;
  }
  FormatText(ctx.workBuffer.text, sizeof ctx.workBuffer.text, "Out of disk space while writing\n%s",
             outputPath);
  ReportSetupError(ctx.workBuffer.text);
  return false;
}
