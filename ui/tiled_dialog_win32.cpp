#include "ui/tiled_dialog_win32.h"

#include "ui/panel_layout_win32.h"

const MessageEntry CTiledDialog::messageEntries[] = {
    {WM_CTLCOLORMSGBOX, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLOREDIT, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLORLISTBOX, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLORBTN, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLORDLG, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLORSCROLLBAR, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_CTLCOLORSTATIC, 0, TSARIN_HANDLER(&CTiledDialog::OnCtlColor)},
    {WM_ERASEBKGND, 0, TSARIN_HANDLER(&CTiledDialog::OnEraseBkgnd)},
    {0, 0, nullptr},
};
const MessageTable CTiledDialog::messageTable = {&CDialog::messageTable,
                                                 CTiledDialog::messageEntries};

CTiledDialog::CTiledDialog(uint32_t templateId, int32_t bitmapId, CDialog* owner, int8_t placement,
                           int32_t initialFocusId, bool movePointer)
    : owner_(owner),
      templateId_(templateId),
      initialFocusId_(initialFocusId),
      movePointer_(movePointer),
      placement_(placement) {
  LoadBackground(bitmapId);
}

CTiledDialog::~CTiledDialog() {
  // The brush is a stock object; the bitmap goes with its holder.
  hollowBrush_ = nullptr;
}

void CTiledDialog::LoadBackground(int32_t bitmapId) {
  bitmapId_ = bitmapId;
  if (bitmapId == 0) return;
  // Made once here; the control-colour handler only hands it out.
  hollowBrush_ = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  // A bitmap that fails to load leaves the dialog without background.
  background_.Reset(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId)));
}

const MessageTable* CTiledDialog::GetMessageTable() const {
  return &messageTable;
}

BOOL CTiledDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  if (templateId_ == 0) FillTextItems();
  if (title_ != nullptr) SetWindowTextA(Window(), title_);
  PlaceWindow();
  if (initialFocusId_ != 0) {
    // Not used by this program's dialogs; kept so that a dialog can name its first control.
    HWND item = Item(initialFocusId_);
    if (item != nullptr) {
      SetFocus(item);
      if (movePointer_) {
        RECT r;
        GetWindowRect(item, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      }
      return FALSE;
    }
  }
  return TRUE;
}

void CTiledDialog::PlaceWindow() {
  if (placement_ == kKeepPosition) return;
  RECT a;
  GetWindowRect(Window(), &a);
  HWND reference = owner_ != nullptr ? owner_->Window() : GetDesktopWindow();
  RECT b;
  GetWindowRect(reference, &b);
  // Signed division truncating toward zero; no clamping, so a dialog larger than the
  // reference window lands at a negative offset.
  const LONG dx = ((b.right - b.left) - (a.right - a.left)) / 2;
  const LONG dy = ((b.bottom - b.top) - (a.bottom - a.top)) / 2;
  const bool child = (GetWindowLongA(Window(), GWL_STYLE) & WS_CHILD) != 0;
  const LONG ox = child ? 0 : b.left;
  const LONG oy = child ? 0 : b.top;
  SetWindowPos(Window(), nullptr, ox + dx, oy + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool CTiledDialog::OnEraseBkgnd(MessageArgs& m) {
  if (!HasBackground()) return false;  // the platform erases
  HDC dc = reinterpret_cast<HDC>(m.wParam);
  BITMAP info;
  if (GetObjectA(background_.Get(), sizeof info, &info) == 0) return false;
  RECT client;
  GetClientRect(Window(), &client);
  MemoryDc memory(dc);
  memory.SelectBitmap(background_.Get());
  for (LONG y = 0; y < client.bottom; y += info.bmHeight) {
    for (LONG x = 0; x < client.right; x += info.bmWidth) {
      BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
    }
  }
  m.result = TRUE;
  return true;
}

bool CTiledDialog::OnCtlColor(MessageArgs& m) {
  // Every control-colour message comes here; only statics (and read-only or disabled edits,
  // which ask as statics do) become transparent.
  const UINT kind = m.message - WM_CTLCOLORMSGBOX;
  if (!HasBackground() || kind != CTLCOLOR_STATIC) return false;
  SetBkMode(reinterpret_cast<HDC>(m.wParam), TRANSPARENT);
  m.result = reinterpret_cast<LRESULT>(hollowBrush_);
  return true;
}

// Text panels: one layout with its measuring window for the whole process, rewritten by each
// text panel's construction and read when that panel's window is created right after. Made
// on first use only: the setup dialog passes no text table, so the program normally never
// needs its 9 KB.
namespace {
TextPanelLayout& PanelLayout() {
  static MeasuringLineCounter* counter = nullptr;
  static TextPanelLayout* layout = nullptr;
  if (layout == nullptr) {
    counter = new MeasuringLineCounter;
    layout = new TextPanelLayout(counter);
  }
  return *layout;
}
}  // namespace

CTiledDialog::CTiledDialog(const char* text, int32_t bitmapId, CDialog* owner)
    : owner_(owner),
      templateId_(0),
      initialFocusId_(0),
      movePointer_(false),
      placement_(kKeepPosition) {
  // A text that did not fit whole keeps its first paragraphs; the panel still opens.
  PanelLayout().BuildTextTemplate(text);
  LoadBackground(bitmapId);
}

const DLGTEMPLATE* CTiledDialog::TextPanelTemplate() {
  return reinterpret_cast<const DLGTEMPLATE*>(PanelLayout().Template());
}

void CTiledDialog::FillTextItems() {
  const TextPanelLayout& layout = PanelLayout();
  for (int32_t k = 0; k < layout.itemCount && k < kPanelTextItems; ++k) {
    SetDlgItemTextA(Window(), kPanelFirstTextId + k, layout.textSlots[k]);
  }
}
