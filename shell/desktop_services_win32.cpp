#include "shell/desktop_services_win32.h"

#include <windows.h>

#include <direct.h>

#include <cerrno>

#include "shell/document_viewer.h"
#include "shell/shell_links.h"
#include "shell/system_services.h"

namespace {
// Read, write, create and enumerate sub-keys, notify: what the uninstall key needs.
constexpr REGSAM kMachineKeyAccess = 0x2001F;
}  // namespace

RegistryKey Win32DesktopServices::CreateMachineKey(const char* subKey) {
  HKEY key = nullptr;
  char keyClass[] = "";
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, keyClass, 0, kMachineKeyAccess,
                                nullptr, &key, nullptr);
  return result == ERROR_SUCCESS ? key : nullptr;
}

void Win32DesktopServices::SetStringValue(RegistryKey key, const char* name, const char* data,
                                          uint32_t byteCount) {
  if (!key) return;
  RegSetValueExA(static_cast<HKEY>(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                 byteCount);
}

void Win32DesktopServices::SetDwordValue(RegistryKey key, const char* name, uint32_t value) {
  if (!key) return;
  DWORD data = value;
  RegSetValueExA(static_cast<HKEY>(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                 sizeof data);
}

void Win32DesktopServices::CloseKey(RegistryKey key) {
  if (key) RegCloseKey(static_cast<HKEY>(key));
}

bool Win32DesktopServices::GetShellFolder(int csidl, char* buffer) {
  return ::GetShellFolder(csidl, buffer);
}

unsigned Win32DesktopServices::GetWindowsMajorVersion() {
  return ::GetWindowsMajorVersion();
}

int32_t Win32DesktopServices::CreateShellLink(const char* target, const char* arguments,
                                              const char* linkPath) {
  return ::CreateShellLink(target, arguments, linkPath);
}

int Win32DesktopServices::MakeDirectory(const char* path) {
  return _mkdir(path) == 0 ? 0 : errno;
}

int Win32DesktopServices::PlaySystemSound(const char* name, bool beepFallback) {
  return ::PlaySystemSound(name, beepFallback);
}

void Win32DesktopServices::ViewDocument(const char* path) {
  ::ViewDocument(path);
}

bool Win32DesktopServices::LaunchProgram(const char* commandLine, const char* caption) {
  return ::LaunchProgram(commandLine, caption);
}
