// The uninstaller's system on Win32: the uninstall key under HKEY_LOCAL_MACHINE, its message
// boxes (captioned "Tessarin Uninstall"), the removal of the uninstaller the user started, and
// the shell's folders for the safety rules.
#ifndef TSARIN_UNINSTALL_UNINSTALL_HOST_WIN32_H
#define TSARIN_UNINSTALL_UNINSTALL_HOST_WIN32_H

#include "setup/desktop_services.h"
#include "uninstall/uninstall_plan.h"

extern const char kUninstallCaption[];

// A message box of the uninstaller: `style` is MB_OK, MB_YESNO or MB_RETRYCANCEL with an icon.
// In a Yes/No box Esc answers No, as the system's own box has no answer for it there.
int AskUser(const char* text, unsigned style);

class Win32UninstallHost final : public UninstallHost {
 public:
  // asideFolder: a folder of this process on the same drive as a rule (its temporary folder),
  // into which the running uninstaller is moved when it cannot be deleted.
  explicit Win32UninstallHost(const char* asideFolder) : asideFolder_(asideFolder) {}
  bool ReadValue(const char* subKey, const char* name, char* buffer) override;
  bool DeleteKey(const char* subKey) override;
  bool AskYesNo(const char* text) override;
  bool AskRetry(const char* text) override;
  void Tell(const char* text, bool problem) override;
  ProgramRemoval RemoveProgram(const char* path) override;
  void RemoveAtRestart(const char* path) override;

 private:
  const char* asideFolder_;
};

// Answers the shell's folders; the rest of the desktop is never asked of the uninstaller and
// answers failure.
class ShellFolderLookup final : public DesktopServices {
 public:
  RegistryKey CreateMachineKey(const char*) override { return nullptr; }
  void SetStringValue(RegistryKey, const char*, const char*, uint32_t) override {}
  void SetDwordValue(RegistryKey, const char*, uint32_t) override {}
  void CloseKey(RegistryKey) override {}
  bool GetShellFolder(int csidl, char* buffer) override;
  unsigned GetWindowsMajorVersion() override;
  int32_t CreateShellLink(const char*, const char*, const char*) override { return -1; }
  int MakeDirectory(const char*) override { return -1; }
  int PlaySystemSound(const char*, bool) override { return 0; }
  void ViewDocument(const char*) override {}
  bool LaunchProgram(const char*, const char*) override { return false; }
};

#endif  // TSARIN_UNINSTALL_UNINSTALL_HOST_WIN32_H
