#include "ui/panel_layout.h"

#include <cstring>

namespace {

constexpr int kLineHeight = 8;
constexpr int kTopMargin = 3;
constexpr int kBottomMargin = 4;
constexpr int kBelowButton = 2;
constexpr int kSpacingMark = 4;
constexpr int kTextLeft = 4;
constexpr int kBulletIndent = 6;
constexpr int kWidthReserve = 9;  // left margin 4 plus right margin 5
constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 14;
// An explicit width must leave a positive text width next to a bullet: 16 - 9 - 6 = 1.
constexpr int kMinExplicitWidth = kWidthReserve + kBulletIndent + 1;
constexpr int kInt16Max = 32767;

int16_t Saturate16(int32_t v) {
  if (v > kInt16Max) return kInt16Max;
  if (v < -kInt16Max - 1) return -kInt16Max - 1;
  return static_cast<int16_t>(v);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal number the way atoi does (leading blanks, optional sign, digits) without
// atoi's overflow; sets *end just past the digits.
int ParseWidth(const char* s, const char** end) {
  while (IsBlank(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  int value = 0;
  for (; *s >= '0' && *s <= '9'; ++s)
    if (value < 1000000) value = value * 10 + (*s - '0');
  *end = s;
  return negative ? -value : value;
}

}  // namespace

void DialogTemplateWriter::Put16(uint32_t value) {
  if (!ok_ || capacity_ - size_ < 2) {
    ok_ = false;
    return;
  }
  buffer_[size_++] = static_cast<uint8_t>(value);
  buffer_[size_++] = static_cast<uint8_t>(value >> 8);
}

void DialogTemplateWriter::Put32(uint32_t value) {
  Put16(value & 0xFFFF);
  Put16(value >> 16);
}

void DialogTemplateWriter::Header(uint32_t style, uint16_t itemCount, int16_t x, int16_t y,
                                  int16_t cx, int16_t cy) {
  Put32(style);
  Put32(0);  // extended style
  Put16(itemCount);
  Put16(static_cast<uint16_t>(x));
  Put16(static_cast<uint16_t>(y));
  Put16(static_cast<uint16_t>(cx));
  Put16(static_cast<uint16_t>(cy));
  Put16(0);  // no menu
  Put16(0);  // the default dialog class
  Put16(0);  // empty title
}

void DialogTemplateWriter::Item(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy,
                                uint16_t id, uint16_t classOrdinal, const char* title) {
  while (ok_ && size_ % 4 != 0) Put16(0);
  Put32(style);
  Put32(0);  // extended style
  Put16(static_cast<uint16_t>(x));
  Put16(static_cast<uint16_t>(y));
  Put16(static_cast<uint16_t>(cx));
  Put16(static_cast<uint16_t>(cy));
  Put16(id);
  Put16(0xFFFF);
  Put16(classOrdinal);
  for (const char* c = title; *c; ++c) Put16(static_cast<uint8_t>(*c));
  Put16(0);
  Put16(0);  // no creation data
}

size_t BuildMeasuringTemplate(uint8_t* buffer, size_t capacity, int width) {
  DialogTemplateWriter w(buffer, capacity);
  w.Header(kMeasuringStyle, 1, 0, 0, 500, 500);
  w.Item(kMeasuringEditStyle, 4, 2, Saturate16(width), 500, kPanelButtonId, kClassEdit, "");
  return w.ok() ? w.size() : 0;
}

int PanelWidthForLength(size_t length) {
  // The width is 12 * length^0.45 rounded down, within 50..400. Raised to the 20th power that
  // is the largest w with w^20 <= 12^20 * length^9, which needs only products (the setup
  // program then carries no pow). 12^20 is exact in a double; no w..length pair comes closer to
  // the boundary than 3e-5 of a unit, far beyond the products' rounding (tested against pow).
  const double l = static_cast<double>(length);
  const double l2 = l * l, l4 = l2 * l2;
  const double limit = 3833759992447475122176.0 * (l4 * l4 * l);
  int width = 50;
  while (width < 400) {
    const double w = width + 1;
    const double w2 = w * w, w4 = w2 * w2, w5 = w4 * w, w10 = w5 * w5;
    if (w10 * w10 > limit) break;
    ++width;
  }
  return width;
}

PanelPoint PlacePanelPosition(PanelPoint click, int32_t cx, int32_t cy, const PanelRect& owner) {
  // Wide sums: a click far off-screen must not wrap around.
  const int64_t x = click.x, y = click.y;
  const int64_t left = (x + cx < owner.right) ? x - 1 : (x - cx < 0 ? 0 : x - cx) + 2;
  const int64_t top = (y + cy < owner.bottom) ? y - 1 : (y - cy < 0 ? 0 : y - cy) + 2;
  return PanelPoint{static_cast<int32_t>(left), static_cast<int32_t>(top)};
}

bool TextPanelLayout::BuildTextTemplate(const char* text) {
  if (!text) text = "";
  complete_ = true;
  itemCount = 0;
  for (const char*& slot : textSlots) slot = "";

  // Width, and where the body starts. Without a closing bar the body is what follows the
  // number, so "|80 text" still shows its text.
  const char* body = text;
  if (text[0] == '|') {
    const char* afterNumber = nullptr;
    int width = ParseWidth(text + 1, &afterNumber);
    const char* bar = std::strchr(text + 1, '|');
    body = bar ? bar + 1 : afterNumber;
    if (width < kMinExplicitWidth) width = kMinExplicitWidth;
    panelWidth = Saturate16(width);
  } else {
    panelWidth = static_cast<int16_t>(PanelWidthForLength(std::strlen(text)));
  }

  // Copy the body with every LF turned into CR LF; never split a pair at the end.
  size_t n = 0;
  for (const char* c = body; *c; ++c) {
    const size_t need = (*c == '\n') ? 2 : 1;
    if (n + need > sizeof body_ - 1) {
      complete_ = false;
      break;
    }
    if (*c == '\n') body_[n++] = '\r';
    body_[n++] = *c;
  }
  body_[n] = '\0';

  height_ = kTopMargin;
  measureWidth = 0;

  // Paragraphs end at a grave accent; one in the first position belongs to the paragraph
  // (it is a spacing mark), and a trailing one leaves no empty last paragraph.
  char* rest = body_;
  while (*rest) {
    char* mark = std::strchr(rest + 1, '`');
    if (mark) *mark = '\0';
    if (!AddParagraph(rest) || !mark) break;
    rest = mark + 1;
  }

  if (measureWidth != 0) {
    if (lines_) lines_->ReleaseMeasuring();
    measureWidth = 0;
  }
  height_ += kBottomMargin;
  panelHeight = Saturate16(height_);
  const int buttonX = (panelWidth - kButtonWidth) / 2;
  const int buttonY = (panelHeight - kButtonHeight) / 2;
  height_ += kBelowButton;
  panelHeight = Saturate16(height_);
  WriteTemplate(buttonX, buttonY);
  return complete_;
}

bool TextPanelLayout::AddParagraph(char* p) {
  const bool spacing = p[0] == '`';
  const bool bullet = p[spacing ? 1 : 0] == '*' && p[spacing ? 2 : 1] != ' ';
  // A paragraph that does not fit is dropped whole, with no height, and ends the layout.
  if (itemCount + (bullet ? 2 : 1) > kPanelTextItems) {
    complete_ = false;
    return false;
  }
  if (spacing) {
    height_ += kSpacingMark;
    ++p;
  }
  int indent = 0;
  if (bullet) {
    AddTextItem("*", 1, kTextLeft, 1, false, kBulletIndent);
    indent = kBulletIndent;
    ++p;
  }
  // The service keeps its measuring window while this width stays the same.
  const int width = panelWidth - kWidthReserve - indent;
  measureWidth = Saturate16(width);
  AddTextItem(p, CountLines(p), kTextLeft + indent, 0, true, width);
  return true;
}

int TextPanelLayout::CountLines(const char* paragraph) {
  int lines = 0;
  if (lines_) {
    lines = lines_->CountLines(paragraph, measureWidth);
  } else {
    lines = 1;
    for (const char* c = paragraph; *c; ++c) lines += *c == '\n';
  }
  // Keep the height arithmetic far from overflow whatever the service says.
  if (lines < 1) return 1;
  if (lines > kInt16Max / kLineHeight) return kInt16Max / kLineHeight;
  return lines;
}

bool TextPanelLayout::AddTextItem(const char* text, int lines, int x, int yOffset, bool advance,
                                  int width) {
  const int k = itemCount;
  if (k >= kPanelTextItems) return false;
  textSlots[k] = text;
  items_[k] = {Saturate16(x), Saturate16(height_ + yOffset), Saturate16(width),
               Saturate16(kLineHeight * lines)};
  if (advance) height_ += kLineHeight * lines;
  itemCount = k + 1;
  return true;
}

void TextPanelLayout::WriteTemplate(int buttonX, int buttonY) {
  DialogTemplateWriter w(template_, sizeof template_);
  w.Header(kTextPanelStyle, static_cast<uint16_t>(itemCount + 1), 0, 0, panelWidth, panelHeight);
  w.Item(kPanelButtonStyle, Saturate16(buttonX), Saturate16(buttonY), kButtonWidth, kButtonHeight,
         kPanelButtonId, kClassButton, "&OK");
  for (int k = 0; k < itemCount; ++k) {
    const ItemBox& b = items_[k];
    w.Item(kPanelTextStyle, b.x, b.y, b.cx, b.cy, static_cast<uint16_t>(kPanelFirstTextId + k),
           kClassEdit, "");
  }
  // The capacity is exact for 17 items, so this cannot fail; an empty template would make the
  // platform refuse to create the panel rather than read past the buffer.
  templateSize_ = w.ok() ? w.size() : 0;
}
