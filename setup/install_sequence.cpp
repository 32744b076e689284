// OnInstall: the whole install from the press of the Install button to the end of the payload
// archive. Every failing step has told the user (or, for an over-long name, stopped silently)
// before it returns false; the attempt then ends and the dialog is ready for another one.
#include <cstdio>
#include <cstring>

#include "payload/entry_extraction.h"
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "setup/component_selection.h"
#include "setup/desktop_update.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/path_rules.h"
#include "shell/file_helpers.h"
#include "shell/text_format.h"

namespace {

// True while an attempt runs: the message box of a failed step runs a message loop, and a
// second Install must not start a nested attempt on the same context.
bool attemptRunning = false;

// The target directory's own failures: a message box, the focus back in the directory field,
// the status line and the meter as they were.
void ReportTargetProblem(const char* format, const char* path) {
  InstallContext& ctx = installContext;
  FormatText(ctx.workBuffer.text, sizeof ctx.workBuffer.text, format, path);
  ctx.setupDialog->ShowMessage(ctx.workBuffer.text, kSetupErrorCaption);
  ctx.setupDialog->FocusItem(kIdDirectory);
}

// Reads the directory field into installDir and judges it; nothing is changed yet.
bool ReadTargetDirectory() {
  InstallContext& ctx = installContext;
  // Room for a field far longer than a path, so that an over-long one is refused, not cut.
  char field[2 * kPathSize];
  ctx.setupDialog->GetDirectoryText(field, static_cast<int>(sizeof field));
  size_t length = std::strlen(field);
  bool gainsBackslash = length > 0 && field[length - 1] != '\\' && field[length - 1] != ':';
  if (length + (gainsBackslash ? 1 : 0) >= kPathSize) {
    ReportTargetProblem(
        "The directory\n%s\nis too long: a path may have at most 259 characters.\n\n"
        "Please choose a shorter directory.",
        field);
    return false;
  }
  std::memcpy(ctx.installDir, field, length + 1);
  AppendBackslash(ctx.installDir);
  ctx.installDirEnd = ctx.installDir + std::strlen(ctx.installDir);

  // Whatever the field names is emptied below: never a drive, a system folder or the folder
  // this program runs from.
  if (!IsSafeTarget(ctx.installDir, *ctx.services, ctx.modulePath)) {
    ReportTargetProblem(
        "The directory\n%s\nis not a safe place to install Tessarin.\n\n"
        "Please choose a new, empty directory.",
        ctx.installDir);
    return false;
  }
  return true;
}

// Empties or creates the target directory.
bool PrepareTargetDirectory() {
  InstallContext& ctx = installContext;
  if (DirectoryExists(ctx.installDir)) {
    // What cannot be deleted stays; extracting over it fails later with its own message.
    std::memcpy(ctx.workBuffer.text, ctx.installDir, kPathSize);
    StripBackslash(ctx.workBuffer.text);
    ClearDirectory(ctx.workBuffer.text, false);
  } else if (!CreatePath(ctx.installDir)) {
    ReportTargetProblem("Could not create the path\n%s", ctx.installDir);
    return false;
  }
  return true;
}

// A directory entry: the sub-directory below the base target directory that the following
// files go into (an empty path returns to the base).
bool EnterSubDirectory(const char* path) {
  InstallContext& ctx = installContext;
  if (!IsSafeEntryPath(path, true)) {
    ReportDamagedArchive();
    return false;
  }
  size_t baseLength = static_cast<size_t>(ctx.installDirEnd - ctx.installDir);
  size_t length = std::strlen(path);
  bool gainsBackslash = length > 0 && path[length - 1] != '\\';
  if (baseLength + length + (gainsBackslash ? 1 : 0) >= kPathSize) {
    *ctx.installDirEnd = 0;
    ReportPathTooLong(ctx.installDir, path);
    return false;
  }
  std::memcpy(ctx.installDirEnd, path, length + 1);
  // A directory that cannot be made shows up at the first file written into it.
  CreatePath(ctx.installDir);
  AppendBackslash(ctx.installDirEnd);
  return true;
}

// Steps 1 to the end entry; true when the install finished.
bool RunInstall() {
  InstallContext& ctx = installContext;
  ctx.optionMask = ReadOptionMask();
  ctx.setupDialog->SetWaitCursor();
  if (!ReadTargetDirectory()) return false;

  // The whole setup file is read once before anything is changed: a damaged or cut download
  // must never cost the user the installation it was meant to replace.
  ctx.setupDialog->ShowStatus(kIdStatus, "Checking the installation file ...");
  if (!FindPayload() || !CheckPayload() || !PrepareTargetDirectory()) return false;

  ctx.bytesConsumed = 0;
  ctx.bytesWritten = 0;
  ctx.setupDialog->SetMeterPos(0);
  if (!MeasurePayload()) return false;

  // Without the key (no right to write under HKEY_LOCAL_MACHINE) the install goes on and every
  // value is skipped.
  ctx.uninstallKey = ctx.services->CreateMachineKey(kUninstallKeyPath);
  SetUninstallValue("DisplayName", "Tessarin");
  SetUninstallValue("Publisher", "Halvorsk");
  SetUninstallValue("InstallLocation", ctx.installDir);

  char* name = ctx.workBuffer.text;
  for (;;) {
    if (!ReadEntryName(name)) return false;
    if (name[0] == 0) {
      FinishInstall();
      return true;
    }
    if (name[0] == '>') {
      if (!EnterSubDirectory(name + 1)) return false;
      continue;
    }
    // Checked before anything of the entry is written, skipped entries included: a name that
    // leaves the target directory means the archive is not what it should be.
    if (!IsSafeEntryPath(name, false)) {
      ReportDamagedArchive();
      return false;
    }
    if (!ReadEntrySize()) return false;
    if (IsEntrySelected(name)) {
      if (!ExtractEntry(name)) return false;
    } else {
      if (!SkipEntry()) return false;
      // A skipped file's recorded CRC-32 is passed over (an extracted one's is compared).
      if (!TakeRecordedCrc(0, false)) {
        ReportDamagedArchive();
        return false;
      }
    }
  }
}

// A failed attempt leaves nothing open; the next one opens the payload and the key afresh.
void CloseAbandonedAttempt() {
  InstallContext& ctx = installContext;
  if (ctx.payloadFile != nullptr) {
    std::fclose(ctx.payloadFile);
    ctx.payloadFile = nullptr;
  }
  CloseRecord();
  if (ctx.uninstallKey != nullptr) {
    ctx.services->CloseKey(ctx.uninstallKey);
    ctx.uninstallKey = nullptr;
  }
}

}  // namespace

void OnInstall() {
  if (installContext.archiveDone || attemptRunning) return;
  attemptRunning = true;
  if (!RunInstall()) CloseAbandonedAttempt();
  attemptRunning = false;
}
