#include "ui/dialog_win32.h"

namespace {
const MessageEntry kNoEntries[] = {{0, 0, nullptr}};

// Messages whose result a dialog procedure returns directly instead of through
// DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}
}  // namespace

const MessageTable CDialog::messageTable = {nullptr, kNoEntries};

CDialog::~CDialog() {
  // A dialog deleted with its window still alive must not be reached through the thunk.
  if (window_ != nullptr) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

const MessageTable* CDialog::GetMessageTable() const {
  return &messageTable;
}

bool CDialog::CreateFromResource(UINT templateId, HWND parent) {
  CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), parent, DialogThunk,
                     reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

bool CDialog::CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent) {
  CreateDialogIndirectParamA(GetModuleHandleA(nullptr), dialogTemplate, parent, DialogThunk,
                             reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

bool CDialog::Dispatch(MessageArgs& m) {
  for (const MessageTable* table = GetMessageTable(); table != nullptr; table = table->base) {
    for (const MessageEntry* e = table->entries; e->handler != nullptr; ++e) {
      if (e->message != m.message) continue;
      // Commands from buttons, Enter/Esc and menus; control notifications are not commands.
      if (m.message == WM_COMMAND &&
          (LOWORD(m.wParam) != static_cast<WORD>(e->commandId) || HIWORD(m.wParam) > 1)) {
        continue;
      }
      return (this->*e->handler)(m);
    }
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    self->window_ = window;
    return self->OnInitDialog();
  }
  self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return FALSE;
  }
  MessageArgs m{message, wParam, lParam, 0};
  // The handler may destroy the window and delete the object (a QuickHelp panel closing
  // itself): after it returns, only the window handle is used.
  if (!self->Dispatch(m)) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(m.result);
  if (IsWindow(window)) SetWindowLongPtrA(window, DWLP_MSGRESULT, m.result);
  return TRUE;
}

int CWinApp::Run() {
  if (!InitInstance()) return ExitInstance();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // The dialog manager's keyboard handling (Tab, Enter, Esc, mnemonics) for whichever of
    // our modeless dialogs the message is for: the setup dialog or an open QuickHelp panel.
    HWND top = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top != nullptr && GetWindowLongPtrA(top, DWLP_DLGPROC) != 0 &&
        IsDialogMessageA(top, &msg)) {
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return ExitInstance();
}
