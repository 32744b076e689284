// Recording stand-ins for the setup dialog and the desktop: every call is kept, with its
// arguments, in the order it was made, and nothing is done on the desktop. Used by the tests
// and by `tsarin-pack extract`, which runs the install engine outside Windows.
//
// Calls are kept as texts such as `ShowStatus(102, "Installing:   a.txt")`,
// `SetStringValue("DisplayName", "Tessarin", 8)`, `SetDwordValue("NoModify", 1)` or
// `GetShellFolder(23)`; texts appear unescaped between the double quotes.
#ifndef TSARIN_SETUP_RECORDING_SEAMS_H
#define TSARIN_SETUP_RECORDING_SEAMS_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/desktop_services.h"
#include "setup/setup_surface.h"

class RecordingSurface final : public SetupSurface {
 public:
  // What the dialog holds for the engine to read.
  std::string directory;
  bool developerChecked = false;
  // Called for every message box as it is shown (after it is recorded).
  std::function<void(const char* caption, const char* text)> onMessage;

  // What was done to it.
  std::vector<std::string> calls;
  std::string status;                 // the status line's current text
  std::vector<int> meter;             // every meter position, in order
  std::vector<std::string> messages;  // every message box as "CAPTION: TEXT"
  int focus = 0;                      // the control that has the focus

  void ShowStatus(int controlId, const char* text) override;
  void SetMeterPos(int32_t percent) override;
  void FocusItem(int controlId) override;
  void GetDirectoryText(char* buffer, int size) override;
  bool IsDeveloperChecked() override;
  void ShowMessage(const char* text, const char* caption) override;
  void SetWaitCursor() override;
  void EnableItem(int controlId, bool enable) override;
  void SetItemText(int controlId, const char* text) override;
  void SetHelpPanel(int controlId, int panelId) override;
  void BringToTop() override;
};

class RecordingDesktop final : public DesktopServices {
 public:
  // Shell folders it knows, by folder id; any other lookup fails with "c:\".
  std::map<int, std::string> folders;
  unsigned majorVersion = 6;
  bool keyOpens = true;  // false: CreateMachineKey answers null
  int makeDirectoryResult = 0;

  std::vector<std::string> calls;

  // Plausible folders of a current Windows on drive C: (user "Setup").
  RecordingDesktop();

  RegistryKey CreateMachineKey(const char* subKey) override;
  void SetStringValue(RegistryKey key, const char* name, const char* data,
                      uint32_t byteCount) override;
  void SetDwordValue(RegistryKey key, const char* name, uint32_t value) override;
  void CloseKey(RegistryKey key) override;
  bool GetShellFolder(int csidl, char* buffer) override;
  unsigned GetWindowsMajorVersion() override;
  int32_t CreateShellLink(const char* target, const char* arguments, const char* linkPath) override;
  int MakeDirectory(const char* path) override;
  int PlaySystemSound(const char* name, bool beepFallback) override;
  void ViewDocument(const char* path) override;
  bool LaunchProgram(const char* commandLine, const char* caption) override;

 private:
  char key_ = 0;  // its address is the key handle
};

// Zero-fills installContext, as at process start, and binds it to the two seams and to the
// setup file at modulePath (a Windows-style path).
void ResetInstallContext(SetupSurface* surface, DesktopServices* services, const char* modulePath);

#endif  // TSARIN_SETUP_RECORDING_SEAMS_H
