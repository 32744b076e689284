// The setup dialog's progress meter: a sunken one-pixel frame, a bar filling from the left over
// a light grey remainder, and the percentage centred in it. It is not a window of its own: it
// occupies the rectangle of a hidden frame control of its dialog, draws inside the dialog's
// paint handler and forces a repaint whenever its value changes (no message loop runs while
// an install is in progress).
//
// The geometry is platform-free (LayOutMeter, FormatPercent); CProgressMeter draws it on Win32.
#ifndef TSARIN_UI_PROGRESS_METER_H
#define TSARIN_UI_PROGRESS_METER_H

#include <cstddef>
#include <cstdint>

// Right and bottom edges are outside the rectangle.
struct MeterRect {
  int32_t left, top, right, bottom;
};

struct MeterPoint {
  int32_t x, y;
};

// Everything one paint draws, for a frame control at (x, y) of W x H pixels (w = W - 1,
// h = H - 1) and the font's average character width and height.
struct MeterLayout {
  int32_t fill;       // bar width in pixels
  MeterRect bar;      // off-screen, bar colour
  MeterRect rest;     // off-screen, light grey
  bool highText;      // text in the high text colour (above 50 %), else black
  MeterPoint text;    // off-screen text origin
  MeterPoint blitTo;  // where the off-screen surface's (0, 0) lands on the dialog
  int32_t blitWidth;  // pixels copied: the filled region only
  int32_t blitHeight;
  MeterPoint darkEdge[3];   // black pen: move to [0], line to [1], line to [2]
  MeterPoint lightEdge[3];  // white pen, the same way
};

// Signed divisions truncate toward zero, as the drawing code relies on.
MeterLayout LayOutMeter(int32_t x, int32_t y, int32_t w, int32_t h, int32_t position,
                        int32_t aveCharWidth, int32_t charHeight, int32_t textLength);

// Writes position as "%d%%" into out (at most size - 1 characters and a zero); returns the
// number of characters written.
size_t FormatPercent(int32_t position, char* out, size_t size);

class CDialog;

class CProgressMeter {
 public:
  // Measures the frame control frameId of parent (which stays hidden) and starts at 0 %.
  CProgressMeter(int frameId, CDialog* parent, uint32_t barColour, uint32_t highTextColour);

  // Stores percent and repaints the meter's area of the parent now, without erasing.
  void SetPos(int32_t percent);
  // Draws the whole meter; called from the parent's paint handler only, and opens and
  // closes the parent's paint cycle itself.
  void Paint();

  int32_t Position() const { return position_; }
  const MeterRect& Area() const { return area_; }

 private:
  MeterRect area_;
  int32_t position_;
  int32_t x_, y_, w_, h_;
  CDialog* parent_;
  uint32_t barColour_;
  uint32_t highTextColour_;
};

#endif  // TSARIN_UI_PROGRESS_METER_H
