// The narrow file-system layer under the file-system helpers and the install engine.
//
// Paths are always Windows-style texts: backslashes as separators, optionally led by a drive
// letter and a colon. On Win32 they go to the system unchanged. On POSIX hosts they are
// translated: backslashes become '/', and "X:" is replaced by the root directory mapped to drive
// X (by default only C is mapped, to "/", so C:\tmp\x is /tmp/x). A path on an unmapped drive
// names nothing: enumerations find nothing and creations fail with ENOENT. A path without a
// drive letter is relative to the current directory.
//
// Usage:
//   FsFindData data;
//   if (FsFind* find = FsFindFirst("C:\\Apps\\*.*", &data)) {   // null: nothing matched
//     do { Use(data.name, data.attributes); } while (FsFindNext(find, &data));
//     FsFindClose(find);                                         // always, once started
//   }
//   if (FsCreateDirectory("C:\\Apps\\New") == kFsMissingComponent) { /* parent missing */ }
//   FILE* out = FsOpenWrite("C:\\Apps\\New\\file.txt");          // fclose() it as usual
//
// Enumeration follows the Win32 find-first rules: wildcards (* and ?) only in the last path
// component, "." and ".." are listed when they match, and a trailing ".*" in the pattern also
// matches a name without any dot (so "*.*" matches every name). POSIX hosts compare names
// case-sensitively, as their file systems do; Win32 ignores case.
#ifndef TSARIN_SHELL_FS_PLATFORM_H
#define TSARIN_SHELL_FS_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Attribute bits as the Win32 find functions deliver them.
constexpr uint32_t kFsAttrReadOnly = 0x01;
constexpr uint32_t kFsAttrDirectory = 0x10;
constexpr uint32_t kFsAttrNormal = 0x80;         // a plain file without any other attribute
constexpr uint32_t kFsAttrReparsePoint = 0x400;  // a directory link (junction) or symbolic link

// Every path buffer of the core: 259 characters and the terminator.
constexpr size_t kFsPathSize = 260;

// The runtime's code for "a component of the path does not exist" (ENOENT on every host).
constexpr int kFsMissingComponent = 2;

// One enumerated entry: its name as the file system spells it, and its attributes. A link is
// reported with kFsAttrReparsePoint, plus kFsAttrDirectory when it leads to a directory.
struct FsFindData {
  char name[kFsPathSize];
  uint32_t attributes;
};

// An open enumeration; opaque.
struct FsFind;

// Starts an enumeration of the entries matching `pattern` and delivers the first one. Returns
// null, with nothing left open, when the enumeration cannot be started or nothing matches.
FsFind* FsFindFirst(const char* pattern, FsFindData* data);
// Delivers the next matching entry; false when there is none left.
bool FsFindNext(FsFind* find, FsFindData* data);
// Ends an enumeration started by FsFindFirst (null is accepted and ignored).
void FsFindClose(FsFind* find);
// How many enumerations are open right now: lets tests prove that none is leaked.
int FsOpenFindCount();

// Deletes a file (or a file link itself). Fails on a directory and on a read-only file; on
// POSIX a file lacking the owner's write permission counts as read-only (root could otherwise
// delete it regardless).
bool FsDeleteFile(const char* path);
// Removes an empty directory.
bool FsRemoveDirectory(const char* path);
// Removes a directory link (junction or symbolic link) itself, never anything behind it. Fails
// when the path is not such a link.
bool FsRemoveDirectoryLink(const char* path);
// Creates one directory level. Returns 0 on success, otherwise an errno-style code as the C
// runtime's _mkdir sets it: kFsMissingComponent (ENOENT) when a parent directory is missing,
// also when a parent is a plain file or the drive does not exist; EEXIST when the name is taken.
int FsCreateDirectory(const char* path);

// Opens a file as a binary stdio stream for reading ("rb") or writing ("wb", truncating or
// creating it), without denying others access. Null on failure.
FILE* FsOpenRead(const char* path);
FILE* FsOpenWrite(const char* path);

// Sets or clears the read-only state of a file (Win32 attribute; on POSIX the write
// permission bits). For tests and tools; the helpers never change attributes.
bool FsSetReadOnly(const char* path, bool readOnly);

// Maps a drive letter to a host directory (POSIX hosts only; `root` null unmaps the drive).
// Returns false for a letter outside A-Z, a root that does not fit, or on Win32, where drives
// are the system's own.
bool FsSetDriveRoot(char drive, const char* root);
// Writes the host's spelling of `path` into `out` (unchanged on Win32). False when the drive is
// unmapped or the result does not fit `outSize` bytes.
bool FsNativePath(const char* path, char* out, size_t outSize);

#ifndef _WIN32
// The guard under every change on POSIX hosts, independent of the path translation above it:
// the host folders in which this process may create, write, delete or change anything. Each
// such call first resolves its final host path (the folder holding the last component through
// every link, and the last component too where the call would follow it) and, when that lies
// outside every allowed folder, ends the process with a message naming it. The set starts
// empty, so a program changes nothing until it says where.
//
// Adds a folder. One that does not exist yet is allowed from its first missing level on, so
// that the way to it can be made. False for the host's root, a path that does not resolve, or
// a full set.
bool FsAllowChangesIn(const char* hostFolder);
// Empties the set again.
void FsForgetAllowedFolders();
#endif

#endif  // TSARIN_SHELL_FS_PLATFORM_H
