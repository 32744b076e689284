// Rules that keep an install inside the place the user chose: which entry names may be
// written, which directories may be cleared, and which paths fit the 260-byte buffers.
#ifndef TSARIN_SETUP_PATH_RULES_H
#define TSARIN_SETUP_PATH_RULES_H

#include <cstddef>

class DesktopServices;

// Writes head followed by tail into out (kPathSize bytes) and returns true when the whole path
// fits in 259 characters; otherwise out is left empty and the result is false.
bool JoinPath(char* out, const char* head, const char* tail);

// Reports, through ReportSetupError, that head followed by tail would be longer than a path may
// be. Either text may lie at the start of workBuffer (an entry name).
void ReportPathTooLong(const char* head, const char* tail);

// True when path, a file entry's name (directory false) or a directory entry's path without
// its '>' (directory true), names a place below the current directory that Windows creates
// under exactly that name: relative components separated by single backslashes, none of them
// "." or "..", no drive, colon, wildcard or other character Windows refuses in a name, no
// component ending in a dot or a blank, and no device name such as CON or LPT1. A directory
// path may be empty (back to the base directory) and may end in one backslash.
bool IsSafeEntryPath(const char* path, bool directory);

// True when dir (the normalised directory field, with its trailing backslash) may be cleared
// and installed into: an absolute path below a drive root or a UNC share, without "." or ".."
// components, wildcards or short-name aliases (PROGRA~1), that is neither one of the shell's
// special folders nor a parent of one, and does not contain the running setup executable at
// modulePath.
bool IsSafeTarget(const char* dir, DesktopServices& services, const char* modulePath);

#endif  // TSARIN_SETUP_PATH_RULES_H
