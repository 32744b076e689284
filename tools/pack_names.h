// Rules for the names the packer puts into an archive, and for the --store patterns.
#ifndef TSARIN_TOOLS_PACK_NAMES_H
#define TSARIN_TOOLS_PACK_NAMES_H

#include <string>

// True when name is fit to be one component of an installed path: the setup appends it to a
// directory as it is, so it must neither climb out (".", ".."), nor name a drive, a stream or a
// device, nor be a name Windows cannot create or silently changes (trailing dot or blank).
// Otherwise false with the reason in *why.
bool CheckNameComponent(const std::string& name, std::string* why);

// True when a directory entry path (components separated by backslashes; empty means the base
// directory) is made of fit components. Otherwise false with the reason in *why.
bool CheckDirectoryPath(const std::string& path, std::string* why);

// A file entry's name: a fit component of at most 260 characters.
bool CheckFileEntryName(const std::string& name, std::string* why);

// A directory entry: a fit path that, with its leading '>', is at most 260 characters.
bool CheckDirectoryEntryPath(const std::string& path, std::string* why);

// True when name holds bytes outside 7-bit ASCII; the setup creates such names through the
// ANSI code page of the machine it runs on, so they may come out differently.
bool HasNonAsciiBytes(const std::string& name);

// name with control bytes shown as '?', for messages and listings.
std::string PrintableName(const std::string& name);

// Shell-style pattern match (*, ?, [...]); '*' also matches '/'.
bool MatchGlob(const std::string& pattern, const std::string& text);

// Case-insensitive (ASCII) equality, as the Windows file system compares names.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

#endif  // TSARIN_TOOLS_PACK_NAMES_H
