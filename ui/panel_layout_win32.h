// Win32 side of the QuickHelp panel layout: the measuring window that counts wrapped lines,
// and the call that puts a new panel next to the pointer.
#ifndef TSARIN_UI_PANEL_LAYOUT_WIN32_H
#define TSARIN_UI_PANEL_LAYOUT_WIN32_H

#include <windows.h>

#include "ui/panel_layout.h"

// Counts lines with a hidden dialog holding one read-only multi-line edit control created
// from the measuring template (no font, so it wraps exactly as a text panel's items). The
// window is kept while consecutive paragraphs ask for the same width and recreated when the
// width changes. If it cannot be created, a text counts one line per forced line break plus
// one.
class MeasuringLineCounter final : public LineCountService {
 public:
  MeasuringLineCounter() = default;
  ~MeasuringLineCounter() { ReleaseMeasuring(); }
  MeasuringLineCounter(const MeasuringLineCounter&) = delete;
  MeasuringLineCounter& operator=(const MeasuringLineCounter&) = delete;

  int CountLines(const char* text, int width) override;
  void ReleaseMeasuring() override;

  // How many measuring windows were created so far (one per width change).
  int WindowsCreated() const { return windowsCreated_; }

 private:
  HWND window_ = nullptr;
  int width_ = 0;
  int windowsCreated_ = 0;
};

// Moves a hidden panel next to the click point (screen pixels) as PlacePanelPosition says,
// keeping its size and z-order, and shows it; it becomes the active window.
void PlacePanel(HWND panel, int x, int y, const RECT& ownerRect);

#endif  // TSARIN_UI_PANEL_LAYOUT_WIN32_H
