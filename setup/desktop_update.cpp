#include "setup/desktop_update.h"

#include <cstdio>
#include <cstring>

#include "payload/payload_check.h"
#include "setup/component_selection.h"
#include "setup/install_context.h"
#include "shell/shell_folders.h"
#include "shell/text_format.h"

const char kUninstallKeyPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessarin";

namespace {

constexpr const char kProductName[] = "Tessarin";
constexpr const char kLinkFileName[] = "\\Tessarin.Lnk";

// Writes name after the base target directory; false (installDir cut back to the base) when
// the path would not fit.
bool PlaceTargetName(const char* name) {
  InstallContext& ctx = installContext;
  size_t room = kPathSize - static_cast<size_t>(ctx.installDirEnd - ctx.installDir);
  if (std::strlen(name) >= room) {
    *ctx.installDirEnd = 0;
    return false;
  }
  std::memcpy(ctx.installDirEnd, name, std::strlen(name) + 1);
  return true;
}

// Writes name after the Start-menu folder in workBuffer; false when the link path would be
// longer than a path may be.
bool PlaceLinkName(const char* name) {
  InstallContext& ctx = installContext;
  size_t used = static_cast<size_t>(ctx.linkNameEnd - ctx.workBuffer.text);
  if (used + std::strlen(name) >= kPathSize) return false;
  std::memcpy(ctx.linkNameEnd, name, std::strlen(name) + 1);
  return true;
}

// Records where the product's link in folder belongs: folder plus "\Tessarin.Lnk".
void RecordLinkPath(const char* valueName, char* folder) {
  size_t length = std::strlen(folder);
  if (length + sizeof kLinkFileName - 1 >= kPathSize) return;
  std::memcpy(folder + length, kLinkFileName, sizeof kLinkFileName);
  SetUninstallValue(valueName, folder);
}

}  // namespace

void SetUninstallValue(const char* name, const char* text) {
  InstallContext& ctx = installContext;
  if (ctx.uninstallKey == nullptr) return;
  ctx.services->SetStringValue(ctx.uninstallKey, name, text,
                               static_cast<uint32_t>(std::strlen(text)));
}

void CreateTableShortcut(const char* linkName, const char* targetName) {
  InstallContext& ctx = installContext;
  if (!PlaceLinkName(linkName) || !PlaceTargetName(targetName)) return;
  ctx.services->CreateShellLink(ctx.installDir, "", ctx.workBuffer.text);
}

int32_t ReplaceAll(char* text, const char* search, const char* replacement, int32_t limit) {
  size_t searchLength = std::strlen(search);
  size_t replacementLength = std::strlen(replacement);
  bool rescan = limit < 0;
  uint32_t maxLength = rescan ? 0u - static_cast<uint32_t>(limit) : static_cast<uint32_t>(limit);
  if (searchLength == 0) {
    if (text[0] != 0 || replacementLength > maxLength) return 0;
    std::memcpy(text, replacement, replacementLength + 1);
    return 1;
  }
  // A replacement equal to the search text would be found again at the same place forever.
  if (rescan && std::strcmp(search, replacement) == 0) rescan = false;

  uint64_t length = std::strlen(text);
  int32_t count = 0;
  char* position = text;
  while (*position != 0) {
    char* occurrence = std::strstr(position, search);
    if (occurrence == nullptr) break;
    char* rest = occurrence + searchLength;
    if (replacementLength != searchLength) {
      if (replacementLength > searchLength) {
        length += replacementLength - searchLength;
        if (length > maxLength) break;
      }
      std::memmove(occurrence + replacementLength, rest, std::strlen(rest) + 1);
    }
    std::memcpy(occurrence, replacement, replacementLength);
    position = rescan ? occurrence : occurrence + replacementLength;
    ++count;
  }
  return count;
}

void FinishInstall() {
  InstallContext& ctx = installContext;
  SetupSurface& dialog = *ctx.setupDialog;
  DesktopServices& desktop = *ctx.services;
  char* work = ctx.workBuffer.text;

  dialog.SetMeterPos(100);
  std::fclose(ctx.payloadFile);
  ctx.payloadFile = nullptr;
  CloseRecord();
  ctx.archiveDone = 1;
  dialog.ShowStatus(kIdStatus, "Updating Desktop ...");

  // The product's Start-menu folder; workBuffer is far larger than any folder path, so the
  // appended texts always fit it, and link paths are checked as they are made.
  GetProgramsFolder(desktop, work);
  std::strcat(work, "\\");
  std::strcat(work, kProductName);
  desktop.MakeDirectory(work);
  std::strcat(work, "\\");
  ctx.linkNameEnd = work + std::strlen(work);
  SetUninstallValue("D_start", work);

  for (const ShortcutRow& row : ShortcutTable) {
    if ((row.mask & ctx.optionMask) != 0) CreateTableShortcut(row.linkName, row.targetName);
  }
  if (ctx.readMeName[0] != 0) CreateTableShortcut("Read Me.Lnk", ctx.readMeName);

  // The product name as one command-line word for the uninstaller.
  char argument[kPathSize];
  FormatText(argument, sizeof argument, "%s", kProductName);
  ReplaceAll(argument, " ", "~", static_cast<int32_t>(sizeof argument - 1));

  if (PlaceTargetName("uninst.exe")) {
    if (PlaceLinkName("UnInstall Tessarin.Lnk")) {
      desktop.CreateShellLink(ctx.installDir, argument, work);
    }
    // The path is quoted: unquoted, "C:\Program Files\..." would let Windows run a planted
    // C:\Program.exe in the uninstaller's place.
    char command[2 * kPathSize];
    int length = FormatText(command, sizeof command, "\"%s\" %s", ctx.installDir, argument);
    if (length > 0 && static_cast<size_t>(length) < sizeof command) {
      SetUninstallValue("UninstallString", command);
    }
  }

  if (GetDesktopFolder(desktop, work)) RecordLinkPath("F_dtop", work);
  if (GetSendToFolder(desktop, work)) RecordLinkPath("F_sendto", work);

  // What the system's list of programs shows beside the name: the product's icon, its size
  // in KB (rounded up), and no Change or Repair button, as the setup can do neither.
  if (ctx.uninstallKey != nullptr) {
    if (PlaceTargetName("tsn.exe")) SetUninstallValue("DisplayIcon", ctx.installDir);
    uint64_t kilobytes = (ctx.bytesWritten + 1023) >> 10;
    desktop.SetDwordValue(ctx.uninstallKey, "EstimatedSize",
                          kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kilobytes));
    desktop.SetDwordValue(ctx.uninstallKey, "NoModify", 1);
    desktop.SetDwordValue(ctx.uninstallKey, "NoRepair", 1);
  }

  if (ctx.uninstallKey != nullptr) {
    desktop.CloseKey(ctx.uninstallKey);
    ctx.uninstallKey = nullptr;
  }

  dialog.ShowStatus(kIdStatus, "Installation was successful.");
  dialog.EnableItem(kIdInstall, false);
  dialog.EnableItem(kIdDirectory, false);
  dialog.SetItemText(kIdAbort, "E&xit");
  dialog.SetHelpPanel(kIdAbort, kPanelExit);
  dialog.FocusItem(kIdAbort);
  dialog.BringToTop();
  desktop.PlaySystemSound("SystemAsterisk", true);
  ctx.installSucceeded = 1;
  if (ctx.readMeName[0] != 0) desktop.ViewDocument(ctx.readMePath);
}
