// Basic system services used from start-up on: special folders, the warning message box,
// system sounds, the display's colour depth, starting a program, and the system's error
// texts. They keep no state of the setup and know nothing of its dialog. Win32 only.
//
// Usage:
//   HardenDllSearchPath();                       // first thing at start-up
//   PlaySystemSound("SystemStart", false);
//   char folder[260];
//   GetProgramFilesFolder(folder);               // "c:\" when no route found it
//   bool deep = GetColourDepth() > 8;
//   LaunchProgram("C:\\Program Files\\TSarin\\tsn.exe", "Tessarin StartUp Error");
#ifndef TSARIN_SHELL_SYSTEM_SERVICES_H
#define TSARIN_SHELL_SYSTEM_SERVICES_H

#include <cstddef>

constexpr size_t kShellFolderSize = 260;  // every folder buffer: 259 characters and the NUL

// The special folder's path, without a trailing backslash, into a 260-byte buffer. Asks
// SHGetFolderPathA of "shfolder.dll" (loaded from the system directory), then the shell's
// item-id list route; when both fail the buffer holds "c:\" and the result is false.
bool GetShellFolder(int csidl, char* buffer);
// GetShellFolder for the Program Files folder.
bool GetProgramFilesFolder(char* buffer);

// A message box with an exclamation icon and OK, without owner window: the setup dialog
// stays enabled while it is open. Returns the button pressed.
int ShowMessage(const char* text, const char* caption);

// Plays a named system sound (alias or file name) asynchronously. When the system reports
// failure and beepFallback is set, beeps at 256 Hz for 500 ms instead. Non-zero when a sound
// or the beep was made.
int PlaySystemSound(const char* name, bool beepFallback);

// Bits per pixel of the screen.
int GetColourDepth();

// Starts a program without waiting for it, showing the wait cursor meanwhile. programPath is
// the program's full path, unquoted; blanks in it cannot make the system start a different
// program (C:\Program.exe for C:\Program Files\...). A text that begins with a double quote is
// taken as a complete command line whose program path is already quoted, and may carry
// arguments. On failure the system's text for the error is shown under caption (its first
// insert names the program) and the result is false.
bool LaunchProgram(const char* programPath, const char* caption);

// Shows the system's text for the calling thread's last error under caption, with
// commandLine as the text's first insert; the bare error number when the system has no text.
void ShowLastError(const char* caption, const char* commandLine);

// Loads a library from the system directory only, by its full path, so that a file of the
// same name beside the setup (a download folder) is never picked up. Returns the HMODULE or
// null; free it with FreeLibrary.
void* LoadSystemLibrary(const char* name);

// Restricts the process's DLL search path to the system directory (SetDefaultDllDirectories)
// where that function exists and Windows is 6.1 or later: on 6.0 the shell's link object
// fails to load under the restriction. Call once at start-up. True when it was restricted.
bool HardenDllSearchPath();

// The system calls below these services, replaceable by tests to observe message boxes, the
// sound fallback and the library loader without a user, a sound card or a planted file.
struct SystemServiceCalls {
  int (*messageBox)(const char* text, const char* caption);  // MessageBoxA, no owner, 0x30
  int (*playSound)(const char* name);                        // PlaySoundA, SND_ASYNC only
  int (*beep)(unsigned frequency, unsigned milliseconds);    // Beep
  void* (*loadLibrary)(const char* fullPath);                // LoadLibraryExA
};
extern SystemServiceCalls systemServiceCalls;

#endif  // TSARIN_SHELL_SYSTEM_SERVICES_H
