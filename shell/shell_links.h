// Shell links (shortcut files) and the Windows version that decides which shell folders hold
// them. Win32 only: the link object is the shell's own COM class.
//
// Usage:
//   int32_t result = CreateShellLink("C:\\App\\app.exe", "", "C:\\...\\Programs\\App\\App.Lnk");
//   if (GetWindowsMajorVersion() > 4) { /* all-users folders exist */ }
#ifndef TSARIN_SHELL_SHELL_LINKS_H
#define TSARIN_SHELL_SHELL_LINKS_H

#include <cstdint>

// Writes a shell link to target with the argument text (may be empty) at linkPath, replacing
// any file there. Initialises COM for the call and releases it again, so the calling thread
// must not have COM initialised. Returns an HRESULT: 0 when the link was saved, otherwise the
// first result that was not S_OK. A link path longer than 259 characters is refused with
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) rather than saved under a shortened name.
int32_t CreateShellLink(const char* target, const char* arguments, const char* linkPath);

// The low byte of the Windows major version number. The system is asked on first use only.
unsigned GetWindowsMajorVersion();
// True when the Windows version (from the same record) is major.minor or later.
bool WindowsVersionAtLeast(unsigned major, unsigned minor);

// Test hooks. The call that fills the version record (an OSVERSIONINFOA whose size field is
// already set): GetVersionExA unless replaced; non-zero on success.
extern int (*windowsVersionQuery)(void* versionInfo);
// Empties the version record so that the next use asks again.
void ForgetWindowsVersion();

#endif  // TSARIN_SHELL_SHELL_LINKS_H
