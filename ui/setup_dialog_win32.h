// CSetupDialog: the setup program's one main window, a modeless dialog from template 101
// with a tiled background, the status line, the progress meter, and the Install and Abort
// (later Exit) buttons. It is the install engine's SetupSurface.
#ifndef TSARIN_UI_SETUP_DIALOG_WIN32_H
#define TSARIN_UI_SETUP_DIALOG_WIN32_H

#include <cstddef>
#include <cstdint>

#include "setup/setup_surface.h"
#include "ui/setup_command_gate.h"
#include "ui/tiled_dialog_win32.h"

class CProgressMeter;

// What the dialog asks of the install engine. Start-up passes the engine's OnInstall,
// BuildDefaultDirectory and the install context's dialogWindow; tests pass their own.
struct SetupActions {
  void (*install)();
  void (*buildDefaultDirectory)(char* buffer, size_t size);
  void** dialogWindow;  // receives the dialog's HWND at initialisation; may be null
};

class CSetupDialog final : public CTiledDialog, public SetupSurface {
 public:
  // Constructs the dialog (background 110 on displays deeper than 8 bits per pixel, else
  // 115; centred on the desktop) and creates its window from the template, without parent.
  CSetupDialog(uint32_t templateId, bool deepColour, const SetupActions& actions);
  ~CSetupDialog() override;

  const MessageTable* GetMessageTable() const override;
  BOOL OnInitDialog() override;

  // SetupSurface.
  void ShowStatus(int controlId, const char* text) override;
  void SetMeterPos(int32_t percent) override;
  void FocusItem(int controlId) override;
  void GetDirectoryText(char* buffer, int size) override;
  bool IsDeveloperChecked() override;
  void ShowMessage(const char* text, const char* caption) override;
  void SetWaitCursor() override;
  void EnableItem(int controlId, bool enable) override;
  void SetItemText(int controlId, const char* text) override;
  void SetHelpPanel(int controlId, int panelId) override;
  void BringToTop() override;

  CProgressMeter* Meter() const { return meter_; }
  const SetupCommandGate& Gate() const { return gate_; }

 protected:
  static const MessageEntry messageEntries[];
  static const MessageTable messageTable;

  bool OnPaint(MessageArgs& m);
  bool OnCloseSetup(MessageArgs& m);
  bool OnContextMenu(MessageArgs& m);
  bool OnInstall(MessageArgs& m);

 private:
  // Deletes the meter, ends the message loop and destroys the window.
  void CloseNow();

  CProgressMeter* meter_ = nullptr;
  SetupActions actions_;
  SetupCommandGate gate_;
};

#endif  // TSARIN_UI_SETUP_DIALOG_WIN32_H
