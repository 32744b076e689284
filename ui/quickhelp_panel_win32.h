// CQuickHelpPanel: a small modeless popup owned by the dialog whose item was right-clicked,
// showing a few sentences over the tiled panel bitmap. QuickHelp (quickhelp.h) creates,
// places and destroys it; while open it holds the mouse capture, so every click of the
// program reaches it.
#ifndef TSARIN_UI_QUICKHELP_PANEL_WIN32_H
#define TSARIN_UI_QUICKHELP_PANEL_WIN32_H

#include <cstdint>

#include "ui/tiled_dialog_win32.h"

class CQuickHelpPanel final : public CTiledDialog {
 public:
  // From a panel resource: created hidden, owned by owner.
  CQuickHelpPanel(int32_t panelId, int32_t bitmapId, CDialog* owner);
  // From a marked-up help text, laid out into the in-memory text-panel template.
  CQuickHelpPanel(const char* text, int32_t bitmapId, CDialog* owner);

  const MessageTable* GetMessageTable() const override;

 protected:
  static const MessageEntry messageEntries[];
  static const MessageTable messageTable;

  bool OnLButtonUp(MessageArgs& m);
  bool OnRButtonUp(MessageArgs& m);
  bool OnPanelCommand(MessageArgs& m);
  bool OnActivate(MessageArgs& m);
};

#endif  // TSARIN_UI_QUICKHELP_PANEL_WIN32_H
