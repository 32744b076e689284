#include "ui/dialog_steps.h"

void RunShowStatus(DialogItemOps& ops, int controlId, const char* text) {
  ops.ShowItem(controlId, false);
  ops.SetItemText(controlId, "");
  ops.ShowItem(controlId, true);
  ops.UpdateDialog();
  ops.SetItemText(controlId, text);
  ops.UpdateDialog();
}

void RunFocusItem(DialogItemOps& ops, int controlId) {
  ops.MoveFocusTo(controlId);
  ops.SetSelection(controlId, 0xFFFF, 0xFFFF);
  ops.ScrollCaret(controlId);
  const MeterRect r = ops.ItemScreenRect(controlId);
  // Truncation toward zero, also for a control left of or above the screen's origin.
  ops.SetPointerPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
