// Entry points of the install engine, as the setup program's dialog and start-up use them.
// The engine works on installContext; the caller fills modulePath, waitCursor, deepColour,
// setupDialog, dialogWindow and services before the first install.
#ifndef TSARIN_SETUP_INSTALL_ENGINE_H
#define TSARIN_SETUP_INSTALL_ENGINE_H

#include <cstddef>

// The handler of command 1 (Install): the whole install, from reading the dialog to the
// finished state. Returns when the attempt has ended, successfully or not.
void OnInstall();

// The default target directory: the Program Files folder, a backslash and "TSarin".
void BuildDefaultDirectory(char* buffer, size_t size);

// The exit step: after a successful install, starts "tsn.exe" from the base target
// directory with the caption "Tessarin StartUp Error" for its failure message.
void LaunchInstalledProduct();

#endif  // TSARIN_SETUP_INSTALL_ENGINE_H
