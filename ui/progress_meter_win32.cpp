// Drawing of the progress meter. Every paint makes its pens, brushes, off-screen surface and
// bitmap and releases them before it returns; nothing is held between paints.
#include <windows.h>

#include "ui/dialog_win32.h"
#include "ui/progress_meter.h"

CProgressMeter::CProgressMeter(int frameId, CDialog* parent, uint32_t barColour,
                               uint32_t highTextColour)
    : position_(0), parent_(parent), barColour_(barColour), highTextColour_(highTextColour) {
  // The frame control is only measured: it stays hidden and is never drawn.
  RECT r;
  GetWindowRect(parent->Item(frameId), &r);
  POINT topLeft{r.left, r.top};
  ScreenToClient(parent->Window(), &topLeft);
  x_ = topLeft.x;
  y_ = topLeft.y;
  w_ = (r.right - r.left) - 1;
  h_ = (r.bottom - r.top) - 1;
  area_ = MeterRect{x_, y_, x_ + w_, y_ + h_};
}

void CProgressMeter::SetPos(int32_t percent) {
  // The install reports every block it moves, thousands a second; only a new percentage
  // changes what the meter shows, and a paint costs far more than the block (a tenth of the
  // install time under Wine).
  if (percent == position_) return;
  position_ = percent;
  RECT r{area_.left, area_.top, area_.right, area_.bottom};
  // No erase: the tiled background is not redrawn under the meter, so it does not flicker.
  InvalidateRect(parent_->Window(), &r, FALSE);
  UpdateWindow(parent_->Window());
}

void CProgressMeter::Paint() {
  HWND window = parent_->Window();
  PAINTSTRUCT ps;
  HDC target = BeginPaint(window, &ps);
  {
    GdiObject<HPEN> blackPen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    GdiObject<HPEN> whitePen(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    GdiObject<HBRUSH> barBrush(CreateSolidBrush(barColour_));
    GdiObject<HBRUSH> greyBrush(CreateSolidBrush(RGB(192, 192, 192)));
    // Declared before the surface so that it outlives it: a bitmap is deleted only after the
    // surface has let go of it.
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, w_, h_));
    MemoryDc surface(target);
    surface.SelectBitmap(bitmap.Get());
    SetBkMode(surface.Get(), TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetricsA(surface.Get(), &tm);

    char text[16];
    const size_t len = FormatPercent(position_, text, sizeof text);
    const MeterLayout m = LayOutMeter(x_, y_, w_, h_, position_, tm.tmAveCharWidth, tm.tmHeight,
                                      static_cast<int32_t>(len));

    RECT bar{m.bar.left, m.bar.top, m.bar.right, m.bar.bottom};
    FillRect(surface.Get(), &bar, barBrush.Get());
    RECT rest{m.rest.left, m.rest.top, m.rest.right, m.rest.bottom};
    FillRect(surface.Get(), &rest, greyBrush.Get());
    SetTextColor(surface.Get(), m.highText ? highTextColour_ : RGB(0, 0, 0));
    TextOutA(surface.Get(), m.text.x, m.text.y, text, static_cast<int>(len));
    BitBlt(target, m.blitTo.x, m.blitTo.y, m.blitWidth, m.blitHeight, surface.Get(), 0, 0, SRCCOPY);

    HGDIOBJ oldPen = SelectObject(target, blackPen.Get());
    MoveToEx(target, m.darkEdge[0].x, m.darkEdge[0].y, nullptr);
    LineTo(target, m.darkEdge[1].x, m.darkEdge[1].y);
    LineTo(target, m.darkEdge[2].x, m.darkEdge[2].y);
    SelectObject(target, whitePen.Get());
    MoveToEx(target, m.lightEdge[0].x, m.lightEdge[0].y, nullptr);
    LineTo(target, m.lightEdge[1].x, m.lightEdge[1].y);
    LineTo(target, m.lightEdge[2].x, m.lightEdge[2].y);
    SelectObject(target, oldPen);
    // Leaving the scope puts the surface's previous bitmap back and releases everything.
  }
  EndPaint(window, &ps);
}
