#include "ui/panel_layout_win32.h"

namespace {

// The measuring window needs no behaviour of its own.
INT_PTR CALLBACK MeasuringDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

int ForcedLines(const char* text) {
  int lines = 1;
  for (const char* c = text; *c; ++c) lines += *c == '\n';
  return lines;
}

}  // namespace

int MeasuringLineCounter::CountLines(const char* text, int width) {
  if (window_ && width != width_) ReleaseMeasuring();
  if (!window_) {
    alignas(4) uint8_t tmpl[kMeasuringTemplateCapacity];
    if (BuildMeasuringTemplate(tmpl, sizeof tmpl, width) == 0) return ForcedLines(text);
    window_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEA>(tmpl), nullptr,
                                         MeasuringDialogProc, 0);
    if (!window_) return ForcedLines(text);
    width_ = width;
    ++windowsCreated_;
  }
  SetDlgItemTextA(window_, kPanelButtonId, text);
  const LRESULT lines = SendDlgItemMessageA(window_, kPanelButtonId, EM_GETLINECOUNT, 0, 0);
  return lines > 0 ? static_cast<int>(lines) : 1;
}

void MeasuringLineCounter::ReleaseMeasuring() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  width_ = 0;
}

void PlacePanel(HWND panel, int x, int y, const RECT& ownerRect) {
  RECT r;
  if (!GetWindowRect(panel, &r)) return;
  const PanelRect owner{ownerRect.left, ownerRect.top, ownerRect.right, ownerRect.bottom};
  const PanelPoint at =
      PlacePanelPosition(PanelPoint{x, y}, r.right - r.left, r.bottom - r.top, owner);
  SetWindowPos(panel, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}
