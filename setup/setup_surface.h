// What the install engine needs of the setup dialog. The Win32 setup dialog implements it;
// tests use a recording fake. Every call is made on the one user-interface thread, and every
// visible change must reach the screen at once (no message loop runs during an install).
#ifndef TSARIN_SETUP_SETUP_SURFACE_H
#define TSARIN_SETUP_SETUP_SURFACE_H

#include <cstdint>

// Control ids of the setup dialog.
constexpr int kIdInstall = 1;
constexpr int kIdAbort = 2;  // relabelled "E&xit" after a finished install
constexpr int kIdStatus = 102;
constexpr int kIdMeterFrame = 103;
constexpr int kIdDirectory = 104;
constexpr int kIdDirectoryLabel = 105;
constexpr int kIdDeveloper = 114;

// QuickHelp panels of the setup dialog's items.
constexpr int kPanelInstall = 106;
constexpr int kPanelAbort = 107;
constexpr int kPanelExit = 108;
constexpr int kPanelDirectory = 109;
constexpr int kPanelGeneral = 113;

class SetupSurface {
 public:
  // Replaces the text of a control (the status line) and repaints at once.
  virtual void ShowStatus(int controlId, const char* text) = 0;
  // Moves the progress meter to percent and repaints at once.
  virtual void SetMeterPos(int32_t percent) = 0;
  // Gives the control the keyboard focus and moves the mouse pointer onto it.
  virtual void FocusItem(int controlId) = 0;
  // Copies the text of the directory field into buffer: at most size - 1 characters and a
  // terminating zero.
  virtual void GetDirectoryText(char* buffer, int size) = 0;
  // True when the developer check box is checked.
  virtual bool IsDeveloperChecked() = 0;
  // The warning message box: exclamation icon, OK button, no owner window.
  virtual void ShowMessage(const char* text, const char* caption) = 0;
  // Shows the wait cursor; it is not set back (the pointer's next move restores it).
  virtual void SetWaitCursor() = 0;
  // The finished state.
  virtual void EnableItem(int controlId, bool enable) = 0;
  virtual void SetItemText(int controlId, const char* text) = 0;
  // Changes the QuickHelp panel of a control in the setup dialog's help table.
  virtual void SetHelpPanel(int controlId, int panelId) = 0;
  virtual void BringToTop() = 0;

 protected:
  ~SetupSurface() = default;
};

#endif  // TSARIN_SETUP_SETUP_SURFACE_H
