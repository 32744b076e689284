// The end of an install: the Start-menu folder and its shortcuts, the uninstall registration,
// and the dialog's finished state. Failures here are passed over; the install has succeeded.
#ifndef TSARIN_SETUP_DESKTOP_UPDATE_H
#define TSARIN_SETUP_DESKTOP_UPDATE_H

#include <cstdint>

// The uninstall key under HKEY_LOCAL_MACHINE.
extern const char kUninstallKeyPath[];

// Stores text as a REG_SZ value of the uninstall key (byte count without the terminator) when
// the key is open; a failed write is passed over.
void SetUninstallValue(const char* name, const char* text);

// Links linkName in the Start-menu folder (workBuffer up to linkNameEnd) to targetName in the
// base target directory, with an empty argument text. A link or target path that would not
// fit 259 characters is not made.
void CreateTableShortcut(const char* linkName, const char* targetName);

// Replaces occurrences of search in text by replacement and returns their count. limit is the
// longest the text may grow (text must hold limit + 1 bytes); a replacement that would pass it
// is not made and ends the work. A negative limit turns rescanning on (a replacement is
// searched again) with its absolute value as the limit. An empty search text only fills an
// empty text with the replacement (count 1).
int32_t ReplaceAll(char* text, const char* search, const char* replacement, int32_t limit);

// The steps after the end entry has been read: meter 100, payload closed, archiveDone, desktop
// update, registry values, finished dialog, sound, installSucceeded, read-me opened.
void FinishInstall();

#endif  // TSARIN_SETUP_DESKTOP_UPDATE_H
