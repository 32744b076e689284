// Platform-free geometry of the progress meter.
#include "ui/progress_meter.h"

MeterLayout LayOutMeter(int32_t x, int32_t y, int32_t w, int32_t h, int32_t position,
                        int32_t aveCharWidth, int32_t charHeight, int32_t textLength) {
  MeterLayout m;
  // The engine moves the meter between 0 and 100; a wild position is held to that range. The
  // width is split at 100 so that nothing overflows 32 bits and the result is still exactly
  // (w - 1) * position / 100 rounded towards zero (a 64-bit division would bring in a runtime
  // helper of its own on a 32-bit target).
  const int32_t p = position < 0 ? 0 : position > 100 ? 100 : position;
  m.fill = (w - 1) / 100 * p + (w - 1) % 100 * p / 100;
  m.bar = MeterRect{0, 0, m.fill, h - 1};
  m.rest = MeterRect{m.fill, 0, w - 1, h - 1};
  m.highText = position > 50;
  m.text = MeterPoint{w / 2 - (aveCharWidth * textLength) / 2, h / 2 - charHeight / 2 - 1};
  m.blitTo = MeterPoint{x + 1, y + 1};
  m.blitWidth = w - 1;
  m.blitHeight = h - 1;
  m.darkEdge[0] = MeterPoint{x + w, y};
  m.darkEdge[1] = MeterPoint{x, y};
  m.darkEdge[2] = MeterPoint{x, y + h};
  m.lightEdge[0] = MeterPoint{x + w, y};
  m.lightEdge[1] = MeterPoint{x + w, y + h};
  m.lightEdge[2] = MeterPoint{x, y + h};
  return m;
}

size_t FormatPercent(int32_t position, char* out, size_t size) {
  if (size == 0) return 0;
  char digits[12];
  size_t n = 0;
  // Work on the unsigned magnitude so that the most negative value formats too.
  uint32_t v =
      position < 0 ? 0u - static_cast<uint32_t>(position) : static_cast<uint32_t>(position);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  size_t len = 0;
  if (position < 0 && len + 1 < size) out[len++] = '-';
  while (n > 0 && len + 1 < size) out[len++] = digits[--n];
  if (len + 1 < size) out[len++] = '%';
  out[len] = '\0';
  return len;
}
