// The desktop as the install engine sees it, on Win32: the registry under
// HKEY_LOCAL_MACHINE, shell folders, shell links, directories, sounds, documents and programs.
//
// Usage (start-up):
//   static Win32DesktopServices desktop;
//   installContext.services = &desktop;
#ifndef TSARIN_SHELL_DESKTOP_SERVICES_WIN32_H
#define TSARIN_SHELL_DESKTOP_SERVICES_WIN32_H

#include "setup/desktop_services.h"

class Win32DesktopServices final : public DesktopServices {
 public:
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
  // commandLine is the program's full path, unquoted (see LaunchProgram in system_services.h).
  bool LaunchProgram(const char* commandLine, const char* caption) override;
};

#endif  // TSARIN_SHELL_DESKTOP_SERVICES_WIN32_H
