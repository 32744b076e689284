#include "shell/file_helpers.h"

#include <cstring>

#include "shell/fs_platform.h"

namespace {

constexpr size_t kMaxPathLength = kFsPathSize - 1;

char UpperCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool FindNth(const char* pattern, int n, char* name, uint32_t* attributes, bool lowerCase) {
  if (n < 1) return false;
  FsFindData data;
  FsFind* find = FsFindFirst(pattern, &data);
  if (find == nullptr) return false;
  bool found = true;
  for (int i = 1; i < n; ++i) found = FsFindNext(find, &data);
  FsFindClose(find);
  if (!found) return false;
  if (name != nullptr) {
    // data.name is at most 259 characters, so it fits any 260-byte path buffer.
    size_t i = 0;
    for (; data.name[i] != '\0' && i < kMaxPathLength; ++i) {
      name[i] = lowerCase ? LowerCase(data.name[i]) : data.name[i];
    }
    name[i] = '\0';
  }
  if (attributes != nullptr) *attributes = data.attributes;
  return true;
}

// Removes one entry of a directory being cleared; `path` is its full path.
bool RemoveEntry(const char* path, const char* name, uint32_t attributes) {
  if ((attributes & kFsAttrDirectory) == 0) return FsDeleteFile(path);
  // ".", ".." and directories such as ".cache" are neither entered nor removed.
  if (name[0] == '.') return false;
  // Entering a link would empty whatever it points at, possibly far outside this tree.
  if ((attributes & kFsAttrReparsePoint) != 0) return FsRemoveDirectoryLink(path);
  return ClearDirectory(path, true);
}

}  // namespace

void AppendBackslash(char* text) {
  size_t length = strlen(text);
  if (length == 0 || length >= kMaxPathLength) return;
  char last = text[length - 1];
  if (last == ':' || last == '\\') return;
  text[length] = '\\';
  text[length + 1] = '\0';
}

void StripBackslash(char* text) {
  size_t length = strlen(text);
  if (length > 0 && text[length - 1] == '\\') text[length - 1] = '\0';
}

bool CreatePath(char* path) {
  size_t length = strlen(path);
  if (length > kMaxPathLength) return false;
  for (size_t i = 1; i < length; ++i) {
    if (path[i] != '\\' || path[i - 1] == ':') continue;
    path[i] = '\0';
    int error = FsCreateDirectory(path);
    path[i] = '\\';
    if (error == kFsMissingComponent) return false;
  }
  if (length == 0) return true;
  char last = path[length - 1];
  if (last == '\\' || last == ':') return true;
  return FsCreateDirectory(path) != kFsMissingComponent;
}

bool DirectoryExists(const char* path) {
  size_t length = strlen(path);
  if (length > kMaxPathLength) return false;
  char pattern[kFsPathSize];
  memcpy(pattern, path, length + 1);
  while (length > 0 && pattern[length - 1] == '\\') pattern[--length] = '\0';
  uint32_t attributes = 0;
  if (!FindEntry(pattern, 1, nullptr, &attributes)) return false;
  return (attributes & kFsAttrDirectory) != 0;
}

// One enumeration per directory, deleting each entry as soon as it has been delivered, so
// clearing n entries costs n enumeration steps. Both platforms tolerate this: an entry removed
// after it was delivered never affects which of the other entries are still delivered (POSIX
// readdir guarantees it for entries neither added nor removed since the directory was opened;
// FindNextFileA on Windows and under Wine behaves the same), and the POSIX layer passes over a
// name that vanished before it could be examined. Streaming needs no list of names, so nothing
// bounds the size of a directory; the price is one open enumeration per level of depth, at most
// about 130 since every level adds at least two characters to a 259-character path. An entry
// that stays is passed by and needs no counting.
bool ClearDirectory(const char* directory, bool removeItself) {
  size_t length = strlen(directory);
  if (length > kMaxPathLength) return false;
  // The prefix "directory\" and the pattern "directory\*.*" must both fit; when they do not,
  // nothing inside can be addressed and the directory can at most be removed if it is empty.
  if (length + 4 <= kMaxPathLength) {
    // First the pattern "directory\*.*", then the full path of each entry behind the prefix.
    char path[kFsPathSize];
    const size_t prefixLength = length + 1;
    memcpy(path, directory, length);
    memcpy(path + length, "\\*.*", 5);
    FsFindData data;
    FsFind* find = FsFindFirst(path, &data);
    if (find != nullptr) {
      do {
        size_t nameLength = strlen(data.name);
        if (prefixLength + nameLength > kMaxPathLength) continue;  // does not fit: not touched
        memcpy(path + prefixLength, data.name, nameLength + 1);
        RemoveEntry(path, data.name, data.attributes);
      } while (FsFindNext(find, &data));
      // Closed before the removal below: an open enumeration can keep the directory in use.
      FsFindClose(find);
    }
  }
  if (!removeItself) return false;
  return FsRemoveDirectory(directory);
}

bool FindEntry(const char* pattern, int n, char* name, uint32_t* attributes) {
  return FindNth(pattern, n, name, attributes, true);
}

bool FindEntryAsFound(const char* pattern, int n, char* name, uint32_t* attributes) {
  return FindNth(pattern, n, name, attributes, false);
}

bool MatchWildcard(const char* name, const char* pattern) {
  for (;; ++name, ++pattern) {
    if (*pattern == '*') return true;
    if (*pattern == '?') {
      // Any one character, but not the end of the name.
      if (*name == '\0') return false;
      continue;
    }
    if (UpperCase(*name) != UpperCase(*pattern)) return false;
    if (*name == '\0') return true;
  }
}
