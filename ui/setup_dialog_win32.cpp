#include "ui/setup_dialog_win32.h"

#include "resources/resource_ids.h"
#include "ui/dialog_steps.h"
#include "ui/progress_meter.h"
#include "ui/quickhelp.h"

namespace {
constexpr uint32_t kBarColour = RGB(255, 0, 0);         // red
constexpr uint32_t kHighTextColour = RGB(255, 255, 0);  // yellow

// The dialog's controls as the ordered status and focus steps see them.
class SetupDialogItems final : public DialogItemOps {
 public:
  explicit SetupDialogItems(HWND dialog) : dialog_(dialog) {}
  void ShowItem(int controlId, bool show) override {
    ShowWindow(GetDlgItem(dialog_, controlId), show ? SW_SHOWNORMAL : SW_HIDE);
  }
  void SetItemText(int controlId, const char* text) override {
    SetDlgItemTextA(dialog_, controlId, text);
  }
  void UpdateDialog() override { UpdateWindow(dialog_); }
  void MoveFocusTo(int controlId) override {
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, controlId)),
                 TRUE);
  }
  void SetSelection(int controlId, uint32_t start, uint32_t end) override {
    SendDlgItemMessageA(dialog_, controlId, EM_SETSEL, start, end);
  }
  void ScrollCaret(int controlId) override {
    SendDlgItemMessageA(dialog_, controlId, EM_SCROLLCARET, 0, 0);
  }
  MeterRect ItemScreenRect(int controlId) override {
    RECT r{0, 0, 0, 0};
    GetWindowRect(GetDlgItem(dialog_, controlId), &r);
    return MeterRect{r.left, r.top, r.right, r.bottom};
  }
  void SetPointerPos(int32_t x, int32_t y) override { SetCursorPos(x, y); }

 private:
  HWND dialog_;
};
}  // namespace

const MessageEntry CSetupDialog::messageEntries[] = {
    {WM_PAINT, 0, TSARIN_HANDLER(&CSetupDialog::OnPaint)},
    {WM_CLOSE, 0, TSARIN_HANDLER(&CSetupDialog::OnCloseSetup)},
    {WM_CONTEXTMENU, 0, TSARIN_HANDLER(&CSetupDialog::OnContextMenu)},
    {WM_COMMAND, IDC_INSTALL, TSARIN_HANDLER(&CSetupDialog::OnInstall)},
    {WM_COMMAND, IDC_ABORT, TSARIN_HANDLER(&CSetupDialog::OnCloseSetup)},
    {0, 0, nullptr},
};
const MessageTable CSetupDialog::messageTable = {&CTiledDialog::messageTable,
                                                 CSetupDialog::messageEntries};

CSetupDialog::CSetupDialog(uint32_t templateId, bool deepColour, const SetupActions& actions)
    : CTiledDialog(templateId, deepColour ? IDB_SETUP_BACKGROUND : IDB_SETUP_BACKGROUND_PALETTE,
                   nullptr, kCentre, 0, true),
      actions_(actions) {
  CreateFromResource(templateId, nullptr);
}

CSetupDialog::~CSetupDialog() {
  delete meter_;
}

const MessageTable* CSetupDialog::GetMessageTable() const {
  return &messageTable;
}

BOOL CSetupDialog::OnInitDialog() {
  CTiledDialog::OnInitDialog();
  meter_ = new CProgressMeter(IDC_METER_FRAME, this, kBarColour, kHighTextColour);
  char directory[260];
  directory[0] = '\0';
  if (actions_.buildDefaultDirectory != nullptr) {
    actions_.buildDefaultDirectory(directory, sizeof directory);
  }
  SetDlgItemTextA(Window(), IDC_INSTALL_DIR, directory);
  if (actions_.dialogWindow != nullptr) *actions_.dialogWindow = Window();
  return TRUE;
}

bool CSetupDialog::OnPaint(MessageArgs&) {
  if (meter_ == nullptr) return false;  // closed: the platform validates the paint
  meter_->Paint();
  return true;
}

bool CSetupDialog::OnInstall(MessageArgs&) {
  // While a failed step's message box is open this dialog still takes commands: a second
  // Install waits for nothing and is dropped, a close is carried out once the attempt is over.
  if (!gate_.BeginInstall()) return true;
  if (actions_.install != nullptr) actions_.install();
  if (gate_.EndInstall()) CloseNow();
  return true;
}

bool CSetupDialog::OnCloseSetup(MessageArgs&) {
  if (gate_.RequestClose()) CloseNow();
  return true;
}

void CSetupDialog::CloseNow() {
  // A panel owned by this dialog would otherwise be destroyed with it behind QuickHelp's back.
  CloseQuickHelp();
  delete meter_;
  meter_ = nullptr;
  // Posted to the thread rather than to the window: the window is destroyed right after, and
  // the loop must still see the quit message.
  PostQuitMessage(0);
  DestroyWindow(Window());
}

bool CSetupDialog::OnContextMenu(MessageArgs& m) {
  // The point alone finds the item; the window named in the message is not used.
  const int32_t x = static_cast<int16_t>(LOWORD(m.lParam));
  const int32_t y = static_cast<int16_t>(HIWORD(m.lParam));
  ShowQuickHelp(this, x, y, setupHelpTable, nullptr);
  return true;
}

void CSetupDialog::ShowStatus(int controlId, const char* text) {
  SetupDialogItems items(Window());
  RunShowStatus(items, controlId, text);
}

void CSetupDialog::SetMeterPos(int32_t percent) {
  if (meter_ != nullptr) meter_->SetPos(percent);
}

void CSetupDialog::FocusItem(int controlId) {
  SetupDialogItems items(Window());
  RunFocusItem(items, controlId);
}

void CSetupDialog::GetDirectoryText(char* buffer, int size) {
  if (size <= 0) return;
  buffer[0] = '\0';
  GetDlgItemTextA(Window(), IDC_INSTALL_DIR, buffer, size);
}

bool CSetupDialog::IsDeveloperChecked() {
  return IsDlgButtonChecked(Window(), IDC_DEVELOPER) == BST_CHECKED;
}

void CSetupDialog::ShowMessage(const char* text, const char* caption) {
  // Exclamation icon and OK, no owner: the dialog stays enabled while the box is open.
  MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION | MB_OK);
}

void CSetupDialog::SetWaitCursor() {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void CSetupDialog::EnableItem(int controlId, bool enable) {
  EnableWindow(Item(controlId), enable ? TRUE : FALSE);
}

void CSetupDialog::SetItemText(int controlId, const char* text) {
  SetDlgItemTextA(Window(), controlId, text);
}

void CSetupDialog::SetHelpPanel(int controlId, int panelId) {
  for (QuickHelpEntry* e = setupHelpTable; e->controlId != 0; ++e) {
    if (e->controlId == controlId) {
      e->panelId = panelId;
      return;
    }
  }
}

void CSetupDialog::BringToTop() {
  BringWindowToTop(Window());
}
