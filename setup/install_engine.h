// Entry points of the install engine, as the setup program's dialog and start-up use them.
// The engine works on installContext; the caller fills modulePath, waitCursor, deepColour,
// setupDialog, dialogWindow and services before the first install.
#ifndef TSARIN_SETUP_INSTALL_ENGINE_H
#define TSARIN_SETUP_INSTALL_ENGINE_H

#include <cstddef>

// The handler of command 1 (Install): the whole install, from reading the dialog to the
// finished state. Returns when the attempt has ended, successfully or not. Does nothing after a
// finished install, and nothing when called again while an attempt runs (from the modal loop
// of a failed step's message box). A failed attempt leaves the payload file and the uninstall
// key closed. Reads the directory field with a buffer of 520 bytes, so that an over-long text
// is refused with a message instead of being cut.
void OnInstall();

// The default target directory: the Program Files folder, a backslash and "TSarin". A text
// that would not fit size bytes or 259 characters is left empty rather than cut.
void BuildDefaultDirectory(char* buffer, size_t size);

// The exit step: after a successful install, starts "tsn.exe" from the base target
// directory with the caption "Tessarin StartUp Error" for its failure message.
void LaunchInstalledProduct();

#endif  // TSARIN_SETUP_INSTALL_ENGINE_H
