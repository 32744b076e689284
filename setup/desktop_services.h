// What the install engine needs of the desktop: the registry, special folders, shell links,
// sounds, opening a document and starting a program. The Win32 implementation calls the
// system; tests and `tsarin-pack extract` use a fake that records every call in order.
#ifndef TSARIN_SETUP_DESKTOP_SERVICES_H
#define TSARIN_SETUP_DESKTOP_SERVICES_H

#include <cstdint>

// Shell folder ids used by the setup.
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlPersonal = 5;
constexpr int kCsidlSendTo = 9;
constexpr int kCsidlStartMenu = 11;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlCommonStartMenu = 22;
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonDesktopDirectory = 25;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlLocalAppData = 28;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlWindows = 36;
constexpr int kCsidlSystem = 37;
constexpr int kCsidlProgramFiles = 38;
constexpr int kCsidlProfile = 40;
constexpr int kCsidlProgramFilesX86 = 42;
constexpr int kCsidlProgramFilesCommon = 43;
constexpr int kCsidlCommonDocuments = 46;

typedef void* RegistryKey;  // HKEY on Win32; null when not open

class DesktopServices {
 public:
  // RegCreateKeyExA under HKEY_LOCAL_MACHINE with class "", options 0, access 0x2001F;
  // null when the key cannot be opened.
  virtual RegistryKey CreateMachineKey(const char* subKey) = 0;
  // RegSetValueExA, type REG_SZ, reserved 0, byteCount bytes of data.
  virtual void SetStringValue(RegistryKey key, const char* name, const char* data,
                              uint32_t byteCount) = 0;
  // RegSetValueExA, type REG_DWORD, reserved 0.
  virtual void SetDwordValue(RegistryKey key, const char* name, uint32_t value) = 0;
  virtual void CloseKey(RegistryKey key) = 0;

  // The folder's path without a trailing backslash into a 260-byte buffer; on failure the
  // buffer holds "c:\" and the result is false.
  virtual bool GetShellFolder(int csidl, char* buffer) = 0;
  // Low byte of the Windows major version (asked once, then cached).
  virtual unsigned GetWindowsMajorVersion() = 0;

  // Writes a shell link; returns an HRESULT (0 on success).
  virtual int32_t CreateShellLink(const char* target, const char* arguments,
                                  const char* linkPath) = 0;
  // Creates one directory level (the runtime's _mkdir); 0 or an errno value.
  virtual int MakeDirectory(const char* path) = 0;
  // Plays a system sound asynchronously, with a 256 Hz beep as fallback when asked.
  virtual int PlaySystemSound(const char* name, bool beepFallback) = 0;
  // Opens a document with its associated program, maximised; reports failures itself.
  virtual void ViewDocument(const char* path) = 0;
  // Starts a program without waiting; shows the system's error text under caption on failure.
  virtual bool LaunchProgram(const char* commandLine, const char* caption) = 0;

 protected:
  ~DesktopServices() = default;
};

#endif  // TSARIN_SETUP_DESKTOP_SERVICES_H
