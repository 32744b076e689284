// Start-up and shutdown of the setup program (Win32 only): the application object whose main
// window is the modeless setup dialog. The process ends when the dialog is closed; after a
// successful install the installed product is started on the way out.
#ifndef TSARIN_SETUP_SETUP_APP_H
#define TSARIN_SETUP_SETUP_APP_H

#include "ui/dialog_win32.h"

class CSetupDialog;

class CSetupApp final : public CWinApp {
 public:
  CSetupApp() = default;
  ~CSetupApp() override;

  // Wait cursor, module path, start sound, colour depth, the setup dialog, QuickHelp.
  BOOL InitInstance() override;
  // Starts the installed product after a successful install; the exit code is always 0.
  int ExitInstance() override;

 private:
  CSetupDialog* setupDialog_ = nullptr;
};

#endif  // TSARIN_SETUP_SETUP_APP_H
