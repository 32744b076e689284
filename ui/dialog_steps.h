// The setup dialog's status-line and focus operations as ordered steps over a small set of
// control operations, so that their order (which decides what reaches the screen while no
// message loop runs) holds on every platform and can be checked with a recording fake.
#ifndef TSARIN_UI_DIALOG_STEPS_H
#define TSARIN_UI_DIALOG_STEPS_H

#include <cstdint>

#include "ui/progress_meter.h"

class DialogItemOps {
 public:
  virtual void ShowItem(int controlId, bool show) = 0;  // SW_SHOWNORMAL or SW_HIDE
  virtual void SetItemText(int controlId, const char* text) = 0;
  virtual void UpdateDialog() = 0;  // repaint now
  // WM_NEXTDLGCTL with the control's window: focus and default-button highlight.
  virtual void MoveFocusTo(int controlId) = 0;
  // EM_SETSEL with start and end, then EM_SCROLLCARET; other controls ignore both.
  virtual void SetSelection(int controlId, uint32_t start, uint32_t end) = 0;
  virtual void ScrollCaret(int controlId) = 0;
  virtual MeterRect ItemScreenRect(int controlId) = 0;
  virtual void SetPointerPos(int32_t x, int32_t y) = 0;

 protected:
  ~DialogItemOps() = default;
};

// Hide, clear, show, repaint, set, repaint: the tiled background is redrawn under the
// control before the new text is drawn, so no trace of the old text remains.
void RunShowStatus(DialogItemOps& ops, int controlId, const char* text);

// Focus, caret after the last character (edit controls), pointer to the control's centre.
void RunFocusItem(DialogItemOps& ops, int controlId);

#endif  // TSARIN_UI_DIALOG_STEPS_H
