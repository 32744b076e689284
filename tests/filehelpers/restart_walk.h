// The plain clearing walk that ClearDirectory must agree with: for every entry it starts a new
// enumeration and steps over the entries that stayed by number, so it stays correct however the
// platform treats deletions during an enumeration, at a cost of about n * n / 2 enumeration steps
// for a directory of n entries. The tests compare ClearDirectory's results with it; the clearing
// benchmark shows what the streaming walk saves.
#ifndef TSARIN_TESTS_FILEHELPERS_RESTART_WALK_H
#define TSARIN_TESTS_FILEHELPERS_RESTART_WALK_H

#include <cstring>

#include "shell/file_helpers.h"
#include "shell/fs_platform.h"

inline bool ClearDirectoryByRestart(const char* directory, bool removeItself) {
  const size_t length = strlen(directory);
  if (length > kFsPathSize - 1) return false;
  if (length + 4 <= kFsPathSize - 1) {
    char path[kFsPathSize];
    char pattern[kFsPathSize];
    const size_t prefixLength = length + 1;
    memcpy(path, directory, length);
    memcpy(path + length, "\\", 2);
    memcpy(pattern, path, prefixLength);
    memcpy(pattern + prefixLength, "*.*", 4);
    char name[kFsPathSize];
    uint32_t attributes = 0;
    for (int k = 1; FindEntryAsFound(pattern, k, name, &attributes);) {
      const size_t nameLength = strlen(name);
      if (prefixLength + nameLength > kFsPathSize - 1) {
        ++k;
        continue;
      }
      memcpy(path + prefixLength, name, nameLength + 1);
      bool removed;
      if ((attributes & kFsAttrDirectory) == 0) {
        removed = FsDeleteFile(path);
      } else if (name[0] == '.') {
        removed = false;
      } else if ((attributes & kFsAttrReparsePoint) != 0) {
        removed = FsRemoveDirectoryLink(path);
      } else {
        removed = ClearDirectoryByRestart(path, true);
      }
      if (!removed) ++k;
    }
  }
  return removeItself && FsRemoveDirectory(directory);
}

#endif  // TSARIN_TESTS_FILEHELPERS_RESTART_WALK_H
