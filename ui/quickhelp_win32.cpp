// QuickHelp on Win32: the panel class and the window operations behind ShowQuickHelp.
#include "resources/resource_ids.h"
#include "ui/panel_layout_win32.h"
#include "ui/quickhelp.h"
#include "ui/quickhelp_panel_win32.h"

const MessageEntry CQuickHelpPanel::messageEntries[] = {
    {WM_LBUTTONUP, 0, TSARIN_HANDLER(&CQuickHelpPanel::OnLButtonUp)},
    {WM_RBUTTONUP, 0, TSARIN_HANDLER(&CQuickHelpPanel::OnRButtonUp)},
    {WM_COMMAND, IDCANCEL, TSARIN_HANDLER(&CQuickHelpPanel::OnPanelCommand)},
    {WM_COMMAND, IDOK, TSARIN_HANDLER(&CQuickHelpPanel::OnPanelCommand)},
    {WM_ACTIVATE, 0, TSARIN_HANDLER(&CQuickHelpPanel::OnActivate)},
    {0, 0, nullptr},
};
const MessageTable CQuickHelpPanel::messageTable = {&CTiledDialog::messageTable,
                                                    CQuickHelpPanel::messageEntries};

CQuickHelpPanel::CQuickHelpPanel(int32_t panelId, int32_t bitmapId, CDialog* owner)
    : CTiledDialog(static_cast<uint32_t>(panelId), bitmapId, owner, kKeepPosition, 0, true) {
  CreateFromResource(static_cast<UINT>(panelId), owner != nullptr ? owner->Window() : nullptr);
}

CQuickHelpPanel::CQuickHelpPanel(const char* text, int32_t bitmapId, CDialog* owner)
    : CTiledDialog(text, bitmapId, owner) {
  CreateFromTemplate(TextPanelTemplate(), owner != nullptr ? owner->Window() : nullptr);
}

const MessageTable* CQuickHelpPanel::GetMessageTable() const {
  return &messageTable;
}

bool CQuickHelpPanel::OnLButtonUp(MessageArgs&) {
  CloseQuickHelp();  // deletes this panel: nothing of it is touched afterwards
  return true;
}

bool CQuickHelpPanel::OnRButtonUp(MessageArgs& m) {
  POINT p{static_cast<int16_t>(LOWORD(m.lParam)), static_cast<int16_t>(HIWORD(m.lParam))};
  ClientToScreen(Window(), &p);
  // Handled, not passed on: a right-button release must not turn into a context-menu request.
  ShowQuickHelp(quickHelpState.ownerDialog, p.x, p.y, quickHelpState.panelTable,
                quickHelpState.textTable);
  return true;
}

bool CQuickHelpPanel::OnPanelCommand(MessageArgs&) {
  return true;  // Enter and Esc do not close a panel
}

bool CQuickHelpPanel::OnActivate(MessageArgs&) {
  SetCapture(Window());
  return true;
}

namespace {
// The setup program has no text table, so its build (TSARIN_NO_TEXT_PANELS) leaves the
// text-built panels out, 1.4 KB of its code: a text choice then opens no panel, as a panel
// that cannot be created does.
#ifdef TSARIN_NO_TEXT_PANELS
constexpr bool kTextPanels = false;
#else
constexpr bool kTextPanels = true;
#endif

class Win32QuickHelpOps final : public QuickHelpOps {
 public:
  bool PanelContains(CQuickHelpPanel* panel, int32_t x, int32_t y) override {
    return WindowContains(panel->Window(), x, y);
  }
  bool DialogContains(CDialog* dialog, int32_t x, int32_t y) override {
    return WindowContains(dialog->Window(), x, y);
  }
  QuickHelpItem ItemAt(CDialog* dialog, int32_t x, int32_t y) override {
    POINT p{x, y};
    ScreenToClient(dialog->Window(), &p);
    HWND child = ChildWindowFromPoint(dialog->Window(), p);
    if (child == nullptr) return QuickHelpItem{false, false, false, 0};
    return QuickHelpItem{true, IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE,
                         child == dialog->Window() ? 0 : GetDlgCtrlID(child)};
  }
  void* GetFocus() override { return ::GetFocus(); }
  void SetFocus(void* window) override { ::SetFocus(static_cast<HWND>(window)); }
  CQuickHelpPanel* CreatePanel(CDialog* dialog, int32_t panelId, const char* text) override {
    if (text != nullptr && !kTextPanels) return nullptr;
    const int32_t bitmap = static_cast<int32_t>(quickHelpConfig.panelBitmapId);
    CQuickHelpPanel* panel = text != nullptr ? new CQuickHelpPanel(text, bitmap, dialog)
                                             : new CQuickHelpPanel(panelId, bitmap, dialog);
    if (panel->Window() == nullptr) {
      delete panel;
      return nullptr;
    }
    return panel;
  }
  void PlacePanel(CQuickHelpPanel* panel, int32_t x, int32_t y, CDialog* dialog) override {
    RECT owner;
    GetWindowRect(dialog->Window(), &owner);
    ::PlacePanel(panel->Window(), x, y, owner);
  }
  void CapturePointer(CQuickHelpPanel* panel) override { SetCapture(panel->Window()); }
  void SetCursor(void* cursor) override { ::SetCursor(static_cast<HCURSOR>(cursor)); }
  void DestroyPanel(CQuickHelpPanel* panel) override {
    DestroyWindow(panel->Window());  // ends the capture
    delete panel;
  }

 private:
  static bool WindowContains(HWND window, int32_t x, int32_t y) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    POINT p{x, y};
    return PtInRect(&r, p) != FALSE;
  }
};
}  // namespace

void ShowQuickHelp(CDialog* dialog, int32_t x, int32_t y, const QuickHelpEntry* panelTable,
                   const QuickHelpTextEntry* textTable) {
  Win32QuickHelpOps ops;
  ShowQuickHelpWith(ops, dialog, x, y, panelTable, textTable);
}

void CloseQuickHelp() {
  Win32QuickHelpOps ops;
  CloseQuickHelpWith(ops);
}
