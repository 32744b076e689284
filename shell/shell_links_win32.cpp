#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "shell/handles_win32.h"
#include "shell/shell_links.h"

namespace {

// IPersistFile::Save takes the link path in a buffer of MAX_PATH wide characters.
constexpr size_t kLinkPathSize = MAX_PATH;

// Filled on first use; a major version of 0 means "not asked yet".
OSVERSIONINFOA versionRecord = {sizeof(OSVERSIONINFOA), 0, 0, 0, 0, {0}};
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record's size field is 148");

int QuerySystemVersion(void* record) {
  return GetVersionExA(static_cast<OSVERSIONINFOA*>(record));
}

// The link object's half of CreateShellLink, with COM initialised.
HRESULT SaveLink(const char* target, const char* arguments, const char* linkPath) {
  ComRef<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    link.OutVoid());
  if (FAILED(result)) return result;
  // The link is written whether or not the target exists yet, so these results do not count.
  link->SetPath(target);
  link->SetArguments(arguments);
  ComRef<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.OutVoid());
  if (FAILED(result)) return result;
  WCHAR widePath[kLinkPathSize];
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kLinkPathSize) == 0) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  return file->Save(widePath, TRUE);
}

}  // namespace

int (*windowsVersionQuery)(void* versionInfo) = QuerySystemVersion;

int32_t CreateShellLink(const char* target, const char* arguments, const char* linkPath) {
  // A longer path would be cut by the conversion and the link saved under another name.
  if (std::strlen(linkPath) >= kLinkPathSize) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  HRESULT result = CoInitialize(nullptr);
  if (result != S_OK) {
    // S_FALSE: COM was already initialised on this thread. No link is made, but the count
    // this call added is taken back so the thread's owner can still shut COM down.
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
  }
  result = SaveLink(target, arguments, linkPath);
  CoUninitialize();
  return result;
}

unsigned GetWindowsMajorVersion() {
  if (versionRecord.dwMajorVersion == 0) windowsVersionQuery(&versionRecord);
  return versionRecord.dwMajorVersion & 0xFF;
}

bool WindowsVersionAtLeast(unsigned major, unsigned minor) {
  unsigned current = GetWindowsMajorVersion();
  return current > major || (current == major && versionRecord.dwMinorVersion >= minor);
}

void ForgetWindowsVersion() {
  std::memset(&versionRecord, 0, sizeof versionRecord);
  versionRecord.dwOSVersionInfoSize = sizeof versionRecord;
}
