// QuickHelp's platform-free rules: table lookup, fallback and the open/close transitions.
#include "ui/quickhelp.h"

QuickHelpConfig quickHelpConfig;
QuickHelpState quickHelpState;

QuickHelpEntry setupHelpTable[4] = {
    {2, 107},    // Abort; Exit (108) after a successful install
    {1, 106},    // Install
    {105, 109},  // the directory label
    {0, 0},
};

void ConfigureQuickHelp(uint32_t panelBitmapId, void* dotCursor, uint32_t generalPanelId) {
  quickHelpConfig.panelBitmapId = panelBitmapId;
  quickHelpConfig.dotCursor = dotCursor;
  quickHelpConfig.generalPanelId = generalPanelId;
}

QuickHelpChoice ChooseQuickHelpPanel(int32_t itemId, const QuickHelpEntry* panelTable,
                                     const QuickHelpTextEntry* textTable) {
  const QuickHelpChoice fallback{QuickHelpChoice::kFallback, 0, nullptr};
  if (itemId == 0) return fallback;
  if (panelTable != nullptr) {
    for (const QuickHelpEntry* e = panelTable; e->controlId != 0; ++e) {
      if (e->controlId != itemId) continue;
      // A matching row without a panel falls back without consulting the text table.
      if (e->panelId == 0) return fallback;
      return QuickHelpChoice{QuickHelpChoice::kResourcePanel, e->panelId, nullptr};
    }
  }
  if (textTable != nullptr) {
    for (const QuickHelpTextEntry* e = textTable; e->controlId != 0; ++e) {
      if (e->controlId != itemId) continue;
      if (e->text == nullptr) return fallback;
      return QuickHelpChoice{QuickHelpChoice::kTextPanel, 0, e->text};
    }
  }
  return fallback;
}

void CloseQuickHelpWith(QuickHelpOps& ops) {
  if (quickHelpState.openPanel == nullptr) return;
  CQuickHelpPanel* panel = quickHelpState.openPanel;
  // Cleared first: destroying the window sends it messages that may look at the state.
  quickHelpState.openPanel = nullptr;
  ops.DestroyPanel(panel);
  ops.SetFocus(quickHelpState.savedFocus);
}

void ShowQuickHelpWith(QuickHelpOps& ops, CDialog* dialog, int32_t x, int32_t y,
                       const QuickHelpEntry* panelTable, const QuickHelpTextEntry* textTable) {
  if (panelTable == nullptr && textTable == nullptr) return;
  const bool wasOpen = quickHelpState.openPanel != nullptr;
  const bool inside = wasOpen && ops.PanelContains(quickHelpState.openPanel, x, y);
  CloseQuickHelpWith(ops);
  if (wasOpen && inside) return;
  if (!ops.DialogContains(dialog, x, y)) return;

  const QuickHelpItem item = ops.ItemAt(dialog, x, y);
  const int32_t itemId = (!item.found || (!item.visible && !item.enabled)) ? 0 : item.controlId;
  QuickHelpChoice choice = ChooseQuickHelpPanel(itemId, panelTable, textTable);
  if (choice.kind == QuickHelpChoice::kFallback) {
    if (wasOpen || quickHelpConfig.generalPanelId == 0) return;
    choice = QuickHelpChoice{QuickHelpChoice::kResourcePanel,
                             static_cast<int32_t>(quickHelpConfig.generalPanelId), nullptr};
  }

  quickHelpState.savedFocus = ops.GetFocus();
  quickHelpState.ownerDialog = dialog;
  quickHelpState.panelTable = panelTable;
  quickHelpState.textTable = textTable;
  CQuickHelpPanel* panel = ops.CreatePanel(dialog, choice.panelId, choice.text);
  // A panel that cannot be created (a missing resource) leaves QuickHelp idle instead of
  // capturing the pointer for a window that does not exist.
  if (panel == nullptr) return;
  quickHelpState.openPanel = panel;
  ops.PlacePanel(panel, x, y, dialog);
  ops.CapturePointer(panel);
  if (quickHelpConfig.dotCursor != nullptr) ops.SetCursor(quickHelpConfig.dotCursor);
}
