// The folders that hold the product's shortcuts, chosen by the Windows version: all-users
// folders from major version 5 on, the user's own before. Platform-free: the lookups go through
// the desktop services, which answer "c:\" and false when a folder cannot be found.
#ifndef TSARIN_SHELL_SHELL_FOLDERS_H
#define TSARIN_SHELL_SHELL_FOLDERS_H

class DesktopServices;

// The Start-menu Programs folder (all users from version 5 on; no second try) into a 260-byte
// buffer.
bool GetProgramsFolder(DesktopServices& services, char* buffer);
// The desktop folder: all users from version 5 on, falling back to the user's own. True when
// one of the tries succeeded; the buffer then holds that folder.
bool GetDesktopFolder(DesktopServices& services, char* buffer);
// The user's SendTo folder.
bool GetSendToFolder(DesktopServices& services, char* buffer);

#endif  // TSARIN_SHELL_SHELL_FOLDERS_H
