// The file-system layer on Win32: paths go to the system unchanged.
#include <windows.h>

#include <direct.h>
#include <errno.h>
#include <share.h>

#include <cstring>

#include "shell/fs_platform.h"

namespace {

int g_openFinds = 0;

void Deliver(const WIN32_FIND_DATAA& found, FsFindData* data) {
  // memchr rather than strnlen, which the system's C runtime lacks on older Windows.
  const void* end = memchr(found.cFileName, 0, sizeof data->name - 1);
  size_t length = end != nullptr
                      ? static_cast<size_t>(static_cast<const char*>(end) - found.cFileName)
                      : sizeof data->name - 1;
  memcpy(data->name, found.cFileName, length);
  data->name[length] = '\0';
  data->attributes = found.dwFileAttributes;
}

HANDLE HandleOf(FsFind* find) {
  return reinterpret_cast<HANDLE>(find);
}

}  // namespace

// The find handle itself serves as the enumeration; FsFind is never defined on Win32.
FsFind* FsFindFirst(const char* pattern, FsFindData* data) {
  WIN32_FIND_DATAA found;
  HANDLE handle = FindFirstFileA(pattern, &found);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  ++g_openFinds;
  Deliver(found, data);
  return reinterpret_cast<FsFind*>(handle);
}

bool FsFindNext(FsFind* find, FsFindData* data) {
  if (find == nullptr) return false;
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(HandleOf(find), &found)) return false;
  Deliver(found, data);
  return true;
}

void FsFindClose(FsFind* find) {
  if (find == nullptr) return;
  FindClose(HandleOf(find));
  --g_openFinds;
}

int FsOpenFindCount() {
  return g_openFinds;
}

bool FsDeleteFile(const char* path) {
  return DeleteFileA(path) != 0;
}

bool FsRemoveDirectory(const char* path) {
  return RemoveDirectoryA(path) != 0;
}

bool FsRemoveDirectoryLink(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & link) != link) return false;
  // On a junction or directory symbolic link this removes the link, not its target.
  return RemoveDirectoryA(path) != 0;
}

int FsCreateDirectory(const char* path) {
  return _mkdir(path) == 0 ? 0 : errno;
}

FILE* FsOpenRead(const char* path) {
  return _fsopen(path, "rb", _SH_DENYNO);
}

FILE* FsOpenWrite(const char* path) {
  // Windows refuses to open a read-only file for writing; Wine run by root would not, so the
  // attribute is checked here and the two behave alike.
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    errno = EACCES;
    return nullptr;
  }
  return _fsopen(path, "wb", _SH_DENYNO);
}

bool FsSetReadOnly(const char* path, bool readOnly) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
  attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                        : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  // FILE_ATTRIBUTE_NORMAL must stand alone; an empty set means the same.
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path, attributes) != 0;
}

bool FsSetDriveRoot(char, const char*) {
  return false;
}

bool FsNativePath(const char* path, char* out, size_t outSize) {
  size_t length = strlen(path);
  if (length >= outSize) return false;
  memcpy(out, path, length + 1);
  return true;
}

static_assert(kFsAttrReadOnly == FILE_ATTRIBUTE_READONLY, "attribute bits are the system's");
static_assert(kFsAttrDirectory == FILE_ATTRIBUTE_DIRECTORY, "attribute bits are the system's");
static_assert(kFsAttrNormal == FILE_ATTRIBUTE_NORMAL, "attribute bits are the system's");
static_assert(kFsAttrReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT,
              "attribute bits are the system's");
static_assert(kFsMissingComponent == ENOENT, "the runtime's missing-component code");
