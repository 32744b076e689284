#include "setup/path_rules.h"

#include <cstring>

#include "setup/desktop_services.h"
#include "setup/install_context.h"
#include "shell/text_format.h"

namespace {

// Characters Windows refuses in a file or directory name (the backslash is the separator).
bool IsForbiddenNameChar(char c) {
  return static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr;
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(const char* a, size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Upper(a[i]) != b[i]) return false;
  }
  return true;
}

// Names that Windows maps to devices whatever extension follows (CON, CON.txt, "con .log").
bool IsDeviceName(const char* name, size_t length) {
  size_t base = 0;
  while (base < length && name[base] != '.') ++base;
  while (base > 0 && name[base - 1] == ' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsNoCase(name, base, device)) return true;
  }
  return base == 4 && (EqualsNoCase(name, 3, "COM") || EqualsNoCase(name, 3, "LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}

// One component of a relative path: Windows strips trailing dots and blanks, so such a name
// would land on another file ("tsn.exe." is tsn.exe) and "." and ".." would leave the place.
bool IsSafeComponent(const char* name, size_t length) {
  if (length == 0) return false;
  for (size_t i = 0; i < length; ++i) {
    if (IsForbiddenNameChar(name[i])) return false;
  }
  char last = name[length - 1];
  return last != '.' && last != ' ' && !IsDeviceName(name, length);
}

constexpr size_t kNormalSize = 2 * kPathSize;

// Brings an absolute directory path into one spelling for comparison: upper case, backslashes,
// single separators, a trailing backslash. Returns the length of its root ("C:\" or
// "\\SERVER\SHARE\"), or 0 when the path is not absolute or has a component that could name
// something other than it seems ("." or "..", a trailing dot or blank, a wildcard).
size_t NormaliseDirectory(const char* path, char* out) {
  size_t n = 0;
  const char* p = path;
  auto isSep = [](char c) { return c == '\\' || c == '/'; };
  auto put = [&](char c) {
    if (n + 1 >= kNormalSize) return false;
    out[n++] = c;
    return true;
  };
  size_t rootLength = 0;
  int rootComponents = 0;  // the server and share of a UNC path
  if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
      isSep(p[2])) {
    put(Upper(p[0]));
    put(':');
    put('\\');
    p += 3;
    rootLength = 3;
  } else if (isSep(p[0]) && isSep(p[1])) {
    put('\\');
    put('\\');
    p += 2;
    rootComponents = 2;
  } else {
    return 0;
  }
  for (;;) {
    while (isSep(*p)) ++p;
    if (*p == 0) break;
    const char* start = p;
    while (*p != 0 && !isSep(*p)) ++p;
    size_t length = static_cast<size_t>(p - start);
    for (size_t i = 0; i < length; ++i) {
      if (IsForbiddenNameChar(start[i])) return 0;
    }
    if (start[length - 1] == '.' || start[length - 1] == ' ') return 0;
    for (size_t i = 0; i < length; ++i) {
      if (!put(Upper(start[i]))) return 0;
    }
    if (!put('\\')) return 0;
    if (rootComponents > 0 && --rootComponents == 0) rootLength = n;
  }
  if (rootComponents > 0) return 0;  // a server without a share
  out[n] = 0;
  return rootLength;
}

// True when a component of the normalised path has the form of a short (8.3) alias such as
// PROGRA~1: Windows would take it for the folder it abbreviates, which no comparison by name
// can see.
bool HasShortNameAlias(const char* path) {
  for (const char* p = path; *p != 0; ++p) {
    if (*p != '~' || p[1] < '0' || p[1] > '9') continue;
    const char* q = p + 1;
    while (*q >= '0' && *q <= '9') ++q;
    if (*q == '\\' || *q == '.') return true;
  }
  return false;
}

// True when directory a is directory b or one of its parents (both normalised).
bool IsSameOrParent(const char* a, const char* b) {
  return std::strncmp(a, b, std::strlen(a)) == 0;
}

// The shell's folders that must never be cleared, nor any directory above them.
const int kProtectedFolders[] = {
    kCsidlWindows,
    kCsidlSystem,
    kCsidlProgramFiles,
    kCsidlProgramFilesX86,
    kCsidlProgramFilesCommon,
    kCsidlProfile,
    kCsidlDesktopDirectory,
    kCsidlCommonDesktopDirectory,
    kCsidlPersonal,
    kCsidlCommonDocuments,
    kCsidlAppData,
    kCsidlLocalAppData,
    kCsidlCommonAppData,
    kCsidlStartMenu,
    kCsidlCommonStartMenu,
    kCsidlPrograms,
    kCsidlCommonPrograms,
    kCsidlSendTo,
};

}  // namespace

bool JoinPath(char* out, const char* head, const char* tail) {
  size_t headLength = std::strlen(head);
  size_t tailLength = std::strlen(tail);
  if (headLength + tailLength >= kPathSize) {
    out[0] = 0;
    return false;
  }
  std::memcpy(out, head, headLength);
  std::memcpy(out + headLength, tail, tailLength + 1);
  return true;
}

void ReportPathTooLong(const char* head, const char* tail) {
  // Past the longest name (261 bytes), so that a name at the start of workBuffer stays intact
  // while the message is formatted.
  char* message = installContext.workBuffer.text + 512;
  FormatText(message, sizeof installContext.workBuffer.text - 512,
             "The path\n%s%s\nis too long: a path may have at most 259 characters.\n\n"
             "Please choose a shorter directory.",
             head, tail);
  ReportSetupError(message);
}

bool IsSafeEntryPath(const char* path, bool directory) {
  if (*path == 0) return directory;
  const char* p = path;
  for (;;) {
    const char* start = p;
    while (*p != 0 && *p != '\\') ++p;
    if (!IsSafeComponent(start, static_cast<size_t>(p - start))) return false;
    if (*p == 0) return true;
    ++p;
    if (*p == 0) return directory;
  }
}

bool IsSafeTarget(const char* dir, DesktopServices& services, const char* modulePath) {
  char target[kNormalSize];
  size_t rootLength = NormaliseDirectory(dir, target);
  if (rootLength == 0 || std::strlen(target) == rootLength || HasShortNameAlias(target)) {
    return false;
  }

  for (int csidl : kProtectedFolders) {
    char folder[kPathSize];
    char normal[kNormalSize];
    if (services.GetShellFolder(csidl, folder) && NormaliseDirectory(folder, normal) != 0 &&
        IsSameOrParent(target, normal)) {
      return false;
    }
  }

  // The folder of the running setup program, and every folder above it.
  char moduleDir[kPathSize];
  FormatText(moduleDir, sizeof moduleDir, "%s", modulePath);
  char* slash = std::strrchr(moduleDir, '\\');
  if (slash != nullptr) slash[1] = 0;
  char normal[kNormalSize];
  if (NormaliseDirectory(moduleDir, normal) != 0 && IsSameOrParent(target, normal)) return false;
  return true;
}
