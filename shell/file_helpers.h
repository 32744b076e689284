// Path, directory and name helpers of the install: normalising the target directory, testing,
// emptying and creating it, enumerating entries, and matching names against patterns.
//
// Texts are NUL-terminated single-byte strings. Paths are Windows-style (backslashes, optional
// drive letter and colon) and live in 260-byte buffers: 259 characters and the terminator. A
// path that would not fit is refused rather than cut. Platform access goes through
// shell/fs_platform.h.
#ifndef TSARIN_SHELL_FILE_HELPERS_H
#define TSARIN_SHELL_FILE_HELPERS_H

#include <cstdint>

// Appends a backslash unless the text is empty or already ends in a backslash or a colon ("C:"
// stays as it is). `text` is a 260-byte path buffer; a text that already holds 259 characters
// is left unchanged, as there is no room for the backslash.
void AppendBackslash(char* text);

// Removes one trailing backslash, if there is one ("C:\" becomes "C:").
void StripBackslash(char* text);

// Creates every directory along `path`: at each backslash (except a leading one and one right
// after a colon) and, unless the path ends in a backslash or colon, the whole path. Creations
// that fail because the name exists, access is denied or a file has that name are passed over.
// Returns false only when a creation fails for a missing parent (or missing drive), or when the
// path is longer than 259 characters. `path` is cut temporarily and restored before returning.
bool CreatePath(char* path);

// True when `path`, with all trailing backslashes dropped, names an existing directory. The text
// is used as a search pattern, so wildcards in it select the first matching entry. False for
// paths longer than 259 characters.
bool DirectoryExists(const char* path);

// Deletes the contents of `directory` (a path without a trailing backslash): files are deleted,
// subdirectories emptied and removed. Left in place: read-only and otherwise undeletable files
// with their chain of parent directories, every directory whose name begins with a dot (with its
// contents), and every entry whose full path would exceed 259 characters. A directory link is
// removed as a link (or left), never entered. With `removeItself` the directory is then removed
// too and the result says whether that worked; without it the result is always false.
bool ClearDirectory(const char* directory, bool removeItself);

// Delivers the n-th entry (n >= 1) matching `pattern`: its name converted to lower case (A-Z
// only) into `name` (a 260-byte buffer, or null) and its attributes (kFsAttr* bits) into
// `attributes` (or null). Every call runs and closes its own enumeration. False when there is no
// n-th entry.
bool FindEntry(const char* pattern, int n, char* name, uint32_t* attributes);

// As FindEntry, but the name is delivered as the file system spells it, which is the name that
// addresses the entry again where names are case-sensitive.
bool FindEntryAsFound(const char* pattern, int n, char* name, uint32_t* attributes);

// True when `name` matches `pattern`, letters compared without regard to case (A-Z only): "?"
// matches any one character (never the end of the name) and "*" matches the whole rest of the
// name, whatever follows it in the pattern.
bool MatchWildcard(const char* name, const char* pattern);

#endif  // TSARIN_SHELL_FILE_HELPERS_H
