#include "setup/install_engine.h"

#include <cstring>

#include "setup/install_context.h"
#include "shell/text_format.h"

void BuildDefaultDirectory(char* buffer, size_t size) {
  // The lookup's result is not examined: its fallback "c:\" serves the same way.
  char folder[kPathSize];
  installContext.services->GetShellFolder(kCsidlProgramFiles, folder);
  int length = FormatText(buffer, size, "%s\\%s", folder, "TSarin");
  // A cut path would name another directory: leave the field empty instead.
  if (length < 0 || static_cast<size_t>(length) >= size ||
      static_cast<size_t>(length) >= kPathSize) {
    if (size > 0) buffer[0] = 0;
  }
}

void LaunchInstalledProduct() {
  InstallContext& ctx = installContext;
  if (!ctx.installSucceeded) return;
  static const char kProgram[] = "tsn.exe";
  if (static_cast<size_t>(ctx.installDirEnd - ctx.installDir) + sizeof kProgram > kPathSize) return;
  std::memcpy(ctx.installDirEnd, kProgram, sizeof kProgram);
  ctx.services->LaunchProgram(ctx.installDir, "Tessarin StartUp Error");
}
