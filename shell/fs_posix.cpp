// The file-system layer on POSIX hosts: Windows-style paths are translated to host paths, and
// the few Win32 behaviours the core relies on are emulated (find-first wildcard rules, link
// attributes, read-only files that refuse deletion, _mkdir's error codes).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "shell/fs_platform.h"

namespace {

// Host paths may be longer than the core's 260-byte buffers (a drive root adds its own length).
constexpr size_t kNativePathSize = 4096;
constexpr size_t kDriveRootSize = 1024;

// Host directory of each drive letter; an empty text means unmapped. Only C is mapped at start.
char g_driveRoots[26][kDriveRootSize] = {"", "", "/"};
int g_openFinds = 0;

// The folders changes are allowed in, fully resolved, without a trailing '/'.
constexpr int kMaxAllowedFolders = 8;
char g_allowedFolders[kMaxAllowedFolders][kNativePathSize];
int g_allowedFolderCount = 0;

bool Append(char* out, size_t outSize, size_t* used, const char* text, size_t length) {
  if (*used + length >= outSize) return false;
  memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
  return true;
}

// Translates a Windows-style path; sets *error to ENOENT for an unmapped drive and to
// ENAMETOOLONG when the host path does not fit.
bool ToNative(const char* path, char* out, size_t outSize, int* error) {
  size_t used = 0;
  out[0] = '\0';
  const char* rest = path;
  char first = path[0];
  if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && path[1] == ':') {
    const char* root = g_driveRoots[(first | 0x20) - 'a'];
    if (root[0] == '\0') {
      *error = ENOENT;
      return false;
    }
    rest = path + 2;
    size_t rootLength = strlen(root);
    while (rootLength > 0 && root[rootLength - 1] == '/') --rootLength;
    bool ok;
    if (rest[0] == '\0') {
      ok = rootLength == 0 ? Append(out, outSize, &used, "/", 1)
                           : Append(out, outSize, &used, root, rootLength);
    } else {
      ok = Append(out, outSize, &used, root, rootLength);
      // "C:name" is taken relative to the drive root, like "C:\name".
      if (ok && rest[0] != '\\' && rest[0] != '/') ok = Append(out, outSize, &used, "/", 1);
    }
    if (!ok) {
      *error = ENAMETOOLONG;
      return false;
    }
  }
  size_t length = strlen(rest);
  if (!Append(out, outSize, &used, rest, length)) {
    *error = ENAMETOOLONG;
    return false;
  }
  for (char* p = out; *p; ++p) {
    if (*p == '\\') *p = '/';
  }
  return true;
}

bool ToNative(const char* path, char* out, size_t outSize) {
  int ignored;
  return ToNative(path, out, outSize, &ignored);
}

// Resolves a host path to an absolute one without links: the folder holding its last component
// through realpath, the component itself appended as it is, or resolved too when `followLast`
// (the call would follow a link there) or when it is "." or "..". False, with errno set, when a
// folder on the way does not exist or the result does not fit.
bool Resolve(const char* native, bool followLast, char* out) {
  char path[kNativePathSize];
  size_t length = strlen(native);
  if (length == 0 || length >= sizeof path) {
    errno = ENOENT;
    return false;
  }
  memcpy(path, native, length + 1);
  while (length > 1 && path[length - 1] == '/') path[--length] = '\0';
  char* slash = strrchr(path, '/');
  const char* last = slash != nullptr ? slash + 1 : path;
  struct stat linkStat;
  bool lastIsLink = followLast && lstat(path, &linkStat) == 0 && S_ISLNK(linkStat.st_mode);
  if (lastIsLink || strcmp(last, ".") == 0 || strcmp(last, "..") == 0 || last[0] == '\0' ||
      strcmp(path, "/") == 0) {
    // A link that leads nowhere resolves to nothing: such a call is refused.
    return realpath(path, out) != nullptr;
  }
  char folder[kNativePathSize];
  if (slash == nullptr) {
    strcpy(folder, ".");
  } else {
    size_t folderLength = slash == path ? 1 : static_cast<size_t>(slash - path);
    memcpy(folder, path, folderLength);
    folder[folderLength] = '\0';
  }
  // Clearing a directory resolves the same folder for every entry in it: the last resolution
  // is reused while the folder's text and the directory it leads to are the same, which costs
  // one stat instead of a walk over every component.
  static char lastFolder[kNativePathSize];
  static char resolved[PATH_MAX];
  static dev_t lastDevice;
  static ino_t lastInode;
  struct stat folderStat;
  if (stat(folder, &folderStat) != 0) return false;
  if (strcmp(folder, lastFolder) != 0 || folderStat.st_dev != lastDevice ||
      folderStat.st_ino != lastInode) {
    lastFolder[0] = '\0';
    if (realpath(folder, resolved) == nullptr) return false;
    memcpy(lastFolder, folder, strlen(folder) + 1);
    lastDevice = folderStat.st_dev;
    lastInode = folderStat.st_ino;
  }
  size_t used = strlen(resolved);
  if (used == 1) used = 0;  // "/" and the last component must not give "//name"
  if (used + 1 + strlen(last) >= kNativePathSize) {
    errno = ENAMETOOLONG;
    return false;
  }
  memcpy(out, resolved, used);
  out[used] = '/';
  strcpy(out + used + 1, last);
  return true;
}

[[noreturn]] void RefuseChange(const char* action, const char* resolved) {
  fprintf(stderr, "tsarin: refused to %s %s: it lies outside the folders this process may change\n",
          action, resolved);
  fflush(stderr);
  abort();
}

// The guard of every change: true when `native` lies in an allowed folder; false (errno set)
// when it cannot be resolved, so that the call fails as the system would have made it fail.
// Anything outside ends the process.
bool MayChange(const char* native, bool followLast, const char* action) {
  char resolved[kNativePathSize];
  if (!Resolve(native, followLast, resolved)) {
    if (followLast && errno == ENOENT) {
      // Only a link that leads nowhere gets here with its own folder in place.
      struct stat linkStat;
      if (lstat(native, &linkStat) == 0) RefuseChange(action, native);
    }
    return false;
  }
  for (int i = 0; i < g_allowedFolderCount; ++i) {
    const char* folder = g_allowedFolders[i];
    size_t length = strlen(folder);
    if (strncmp(resolved, folder, length) == 0 &&
        (resolved[length] == '\0' || resolved[length] == '/')) {
      return true;
    }
  }
  RefuseChange(action, resolved);
}

// Find-first name matching: * and ? as usual, compared case-sensitively, and a trailing ".*"
// that also matches the end of a name, so "*.*" and "readme.*" match names without a dot.
bool MatchName(const char* name, const char* pattern) {
  const char* star = nullptr;
  const char* resume = nullptr;
  for (;;) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
      continue;
    }
    if (*name == '\0') {
      const char* p = pattern;
      if (p[0] == '.' && p[1] == '*') p += 2;
      while (*p == '*') ++p;
      if (*p == '\0') return true;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
      continue;
    }
    if (star == nullptr || *resume == '\0') return false;
    pattern = star + 1;
    name = ++resume;
  }
}

uint32_t AttributesOf(const char* nativePath, const struct stat& linkStat) {
  uint32_t attributes = 0;
  struct stat target = linkStat;
  if (S_ISLNK(linkStat.st_mode)) {
    attributes |= kFsAttrReparsePoint;
    // A dangling link stays a plain link.
    if (stat(nativePath, &target) != 0) target = linkStat;
  }
  if (S_ISDIR(target.st_mode)) attributes |= kFsAttrDirectory;
  if ((target.st_mode & S_IWUSR) == 0) attributes |= kFsAttrReadOnly;
  return attributes != 0 ? attributes : kFsAttrNormal;
}

bool CopyName(const char* name, FsFindData* data) {
  size_t length = strlen(name);
  if (length >= sizeof data->name) return false;
  memcpy(data->name, name, length + 1);
  return true;
}

}  // namespace

struct FsFind {
  DIR* dir;                       // null when the pattern named one entry without wildcards
  size_t directoryLength;         // length of the directory part in `path`, with its '/'
  char path[kNativePathSize];     // directory part, then the full path of the current entry
  char pattern[kNativePathSize];  // the last component of the pattern
};

namespace {

// Delivers the entry `name` of the open enumeration's directory; false when it cannot be
// examined (it vanished, or its path does not fit). Entries of an open directory are looked up
// relative to it, which spares the system walking the whole path again for every entry.
bool Deliver(FsFind* find, const char* name, FsFindData* data) {
  size_t used = find->directoryLength;
  find->path[used] = '\0';
  if (!Append(find->path, sizeof find->path, &used, name, strlen(name))) return false;
  struct stat linkStat;
  int found = find->dir != nullptr ? fstatat(dirfd(find->dir), name, &linkStat, AT_SYMLINK_NOFOLLOW)
                                   : lstat(find->path, &linkStat);
  if (found != 0) return false;
  if (!CopyName(name, data)) return false;
  data->attributes = AttributesOf(find->path, linkStat);
  return true;
}

}  // namespace

FsFind* FsFindFirst(const char* pattern, FsFindData* data) {
  FsFind* find = new (std::nothrow) FsFind;
  if (find == nullptr) return nullptr;
  find->dir = nullptr;
  if (!ToNative(pattern, find->path, sizeof find->path)) {
    delete find;
    return nullptr;
  }
  char* slash = strrchr(find->path, '/');
  const char* last = slash ? slash + 1 : find->path;
  memmove(find->pattern, last, strlen(last) + 1);
  find->directoryLength = static_cast<size_t>(last - find->path);
  find->path[find->directoryLength] = '\0';

  bool found = false;
  if (find->pattern[0] == '\0') {
    // Only a drive root mapped to "/" gets here ("C:" or "C:\"): it is delivered as the one
    // entry ".", so that the root counts as an existing directory. Any other pattern ending in a
    // separator matches nothing, as with the Win32 find functions.
    if (strspn(find->path, "/") == find->directoryLength && find->directoryLength > 0) {
      found = Deliver(find, ".", data);
    }
  } else if (strpbrk(find->pattern, "*?") == nullptr) {
    found = Deliver(find, find->pattern, data);
  } else {
    find->dir = opendir(find->directoryLength > 0 ? find->path : ".");
    if (find->dir != nullptr) {
      ++g_openFinds;
      if (FsFindNext(find, data)) return find;
      FsFindClose(find);
      return nullptr;
    }
  }
  if (!found) {
    delete find;
    return nullptr;
  }
  ++g_openFinds;
  return find;
}

bool FsFindNext(FsFind* find, FsFindData* data) {
  if (find == nullptr || find->dir == nullptr) return false;
  while (struct dirent* entry = readdir(find->dir)) {
    if (MatchName(entry->d_name, find->pattern) && Deliver(find, entry->d_name, data)) {
      return true;
    }
  }
  return false;
}

void FsFindClose(FsFind* find) {
  if (find == nullptr) return;
  if (find->dir != nullptr) closedir(find->dir);
  delete find;
  --g_openFinds;
}

int FsOpenFindCount() {
  return g_openFinds;
}

bool FsDeleteFile(const char* path) {
  char native[kNativePathSize];
  struct stat linkStat;
  if (!ToNative(path, native, sizeof native) || lstat(native, &linkStat) != 0) return false;
  if (S_ISDIR(linkStat.st_mode) || !MayChange(native, false, "delete")) return false;
  // The owner's write permission stands for the read-only attribute. Links carry none.
  if (!S_ISLNK(linkStat.st_mode) && (linkStat.st_mode & S_IWUSR) == 0) return false;
  return unlink(native) == 0;
}

bool FsRemoveDirectory(const char* path) {
  char native[kNativePathSize];
  return ToNative(path, native, sizeof native) && MayChange(native, false, "remove") &&
         rmdir(native) == 0;
}

bool FsRemoveDirectoryLink(const char* path) {
  char native[kNativePathSize];
  struct stat linkStat;
  if (!ToNative(path, native, sizeof native) || lstat(native, &linkStat) != 0) return false;
  return S_ISLNK(linkStat.st_mode) && MayChange(native, false, "remove") && unlink(native) == 0;
}

int FsCreateDirectory(const char* path) {
  char native[kNativePathSize];
  int error = 0;
  if (!ToNative(path, native, sizeof native, &error)) return error;
  // Creating what is there already changes nothing (CreatePath tries every level of a path).
  struct stat existing;
  if (lstat(native, &existing) == 0) return EEXIST;
  if (MayChange(native, false, "create") && mkdir(native, 0777) == 0) return 0;
  // The Win32 runtime reports a parent that is a plain file as a missing component.
  return errno == ENOTDIR ? ENOENT : errno;
}

FILE* FsOpenRead(const char* path) {
  char native[kNativePathSize];
  if (!ToNative(path, native, sizeof native)) return nullptr;
  return fopen(native, "rb");
}

FILE* FsOpenWrite(const char* path) {
  char native[kNativePathSize];
  if (!ToNative(path, native, sizeof native) || !MayChange(native, true, "write")) return nullptr;
  // A read-only file cannot be overwritten, even by root.
  struct stat existing;
  if (stat(native, &existing) == 0 && S_ISREG(existing.st_mode) &&
      (existing.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return nullptr;
  }
  return fopen(native, "wb");
}

bool FsSetReadOnly(const char* path, bool readOnly) {
  char native[kNativePathSize];
  struct stat existing;
  if (!ToNative(path, native, sizeof native) || stat(native, &existing) != 0 ||
      !MayChange(native, true, "change")) {
    return false;
  }
  mode_t mode = existing.st_mode & 07777;
  mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  return chmod(native, mode) == 0;
}

bool FsSetDriveRoot(char drive, const char* root) {
  char letter = static_cast<char>(drive | 0x20);
  if (letter < 'a' || letter > 'z') return false;
  char* slot = g_driveRoots[letter - 'a'];
  if (root == nullptr) {
    slot[0] = '\0';
    return true;
  }
  size_t length = strlen(root);
  if (length == 0 || length >= kDriveRootSize) return false;
  memcpy(slot, root, length + 1);
  return true;
}

bool FsNativePath(const char* path, char* out, size_t outSize) {
  if (outSize == 0) return false;
  return ToNative(path, out, outSize);
}

bool FsAllowChangesIn(const char* hostFolder) {
  if (g_allowedFolderCount == kMaxAllowedFolders) return false;
  // A folder that does not exist yet is allowed from its first missing level on, so that the
  // way to it can be made: the nearest existing ancestor is resolved, and the next level added
  // as it is (never "." or "..").
  char path[kNativePathSize];
  size_t length = strlen(hostFolder);
  if (length == 0 || length >= sizeof path) return false;
  memcpy(path, hostFolder, length + 1);
  char* folder = g_allowedFolders[g_allowedFolderCount];
  char missing[kNativePathSize] = "";
  for (;;) {
    while (length > 1 && path[length - 1] == '/') path[--length] = '\0';
    if (realpath(path, folder) != nullptr) break;
    char* slash = strrchr(path, '/');
    if (errno != ENOENT || slash == nullptr) return false;
    const char* last = slash + 1;
    if (strcmp(last, ".") == 0 || strcmp(last, "..") == 0) return false;
    snprintf(missing, sizeof missing, "/%s", last);
    length = static_cast<size_t>(slash - path);
    if (length == 0) length = 1;
    path[length] = '\0';
  }
  if (strcmp(folder, "/") == 0 && missing[0] == '\0') return false;
  size_t used = strcmp(folder, "/") == 0 ? 0 : strlen(folder);
  if (used + strlen(missing) >= kNativePathSize) return false;
  strcpy(folder + used, missing);
  ++g_allowedFolderCount;
  return true;
}

void FsForgetAllowedFolders() {
  g_allowedFolderCount = 0;
}
