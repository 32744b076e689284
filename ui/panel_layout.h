// Layout of QuickHelp panels, free of any platform dependency.
//
// A text panel is built at run time from a marked-up help text into an in-memory dialog
// template (the platform's DLGTEMPLATE / DLGITEMTEMPLATE byte layout, no font, so the panel
// uses the system's default dialog font). The markup:
//   "|120|body"  the panel is 120 dialog units wide; otherwise the width grows with the
//                text's length: clamp(trunc(12 * L^0.45), 50, 400) for L bytes of text.
//                An explicit width is not capped at 400, but is raised to at least 16 so that
//                a bullet's text keeps a positive width. Without the closing bar ("|80text")
//                the body is whatever follows the number.
//   "`"          ends a paragraph; a paragraph that begins with "`" (so "``" between two
//                paragraphs) starts 4 units lower.
//   "*word"      a paragraph starting with "*" not followed by a blank gets a bullet star at
//                x 4 and its text indented by 6; "* word" is plain text.
//   line feed    a forced line break (stored as CR LF, which is what edit controls break on).
// Every paragraph becomes one read-only multi-line edit item (one line is 8 units high); a
// bullet adds a second item for the star. Item 0 is a hidden "&OK" button, so that Enter and
// Esc have a default command to go to.
//
// How many lines a paragraph wraps to is the platform's business: the layout asks a
// LineCountService (on Win32 the hidden measuring window of panel_layout_win32.h).
//
// The template has room for the header, the button and 16 text items. A text that needs more
// keeps its first paragraphs: a paragraph that would not fit (a bullet paragraph needs two
// items) is dropped with everything after it, adds no height, and BuildTextTemplate returns
// false. Likewise a body longer than kPanelBodyCapacity - 1 bytes (after CR LF expansion) is
// cut there.
#ifndef TSARIN_UI_PANEL_LAYOUT_H
#define TSARIN_UI_PANEL_LAYOUT_H

#include <cstddef>
#include <cstdint>

// Answers how many lines a text occupies when wrapped at a width given in dialog units, in the
// font of the panels' text items. Each CR LF starts a new line; the empty text is one line.
class LineCountService {
 public:
  virtual int CountLines(const char* text, int width) = 0;
  // The layout is done with measuring for now; whatever measuring needed may be freed.
  virtual void ReleaseMeasuring() = 0;

 protected:
  ~LineCountService() = default;
};

constexpr int kPanelTextItems = 16;
constexpr int kPanelButtonId = 20;
constexpr int kPanelFirstTextId = 21;               // text item k (from 0) has id 21 + k
constexpr uint32_t kTextPanelStyle = 0x80800A00;    // WS_POPUP WS_BORDER DS_SETFOREGROUND DS_CENTER
constexpr uint32_t kPanelButtonStyle = 0x40000000;  // WS_CHILD only: never visible
constexpr uint32_t kPanelTextStyle = 0x50000804;    // WS_CHILD WS_VISIBLE ES_READONLY ES_MULTILINE
constexpr uint16_t kClassButton = 0x0080;
constexpr uint16_t kClassEdit = 0x0081;

// Header 24 bytes, the button 32, each text item 28 (26 and two bytes of alignment).
constexpr size_t kPanelTemplateCapacity = 24 + 32 + kPanelTextItems * 28;
constexpr size_t kPanelBodyCapacity = 8192;

// The measuring window's template: a hidden 500 x 500 popup (WS_POPUP WS_BORDER) holding one
// hidden read-only multi-line edit (id 20) at 4, 2, `width` x 500. No font, as in the panels,
// so it wraps exactly as the panel's items do.
constexpr uint32_t kMeasuringStyle = 0x80800000;
constexpr uint32_t kMeasuringEditStyle = 0x40000804;
constexpr size_t kMeasuringTemplateCapacity = 52;
// Writes the measuring template into buffer (which must be DWORD-aligned for the platform);
// returns its size, or 0 when capacity is too small.
size_t BuildMeasuringTemplate(uint8_t* buffer, size_t capacity, int width);

// Writes a dialog template in the classic layout into a caller's buffer, never past its end:
// header without menu, class, title or font, then DWORD-aligned items with class ordinals and
// 8-bit titles widened to UTF-16. ok() turns false (and writing stops) when something did not
// fit.
class DialogTemplateWriter {
 public:
  DialogTemplateWriter(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Header(uint32_t style, uint16_t itemCount, int16_t x, int16_t y, int16_t cx, int16_t cy);
  void Item(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy, uint16_t id,
            uint16_t classOrdinal, const char* title);
  size_t size() const { return size_; }
  bool ok() const { return ok_; }

 private:
  void Put16(uint32_t value);
  void Put32(uint32_t value);
  uint8_t* buffer_;
  size_t capacity_;
  size_t size_ = 0;
  bool ok_ = true;
};

// Panel width for a text of `length` bytes without an explicit width.
int PanelWidthForLength(size_t length);

struct PanelPoint {
  int32_t x;
  int32_t y;
};
struct PanelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Where a panel of cx x cy pixels opens for a click at `click` (screen pixels) over an owner
// window with rectangle `owner`: normally with its top-left corner one pixel up and left of the
// pointer; when x + cx reaches or passes owner.right it opens to the left instead (left edge at
// max(x - cx, 0) + 2), and likewise upwards at the bottom edge. Not clipped otherwise.
PanelPoint PlacePanelPosition(PanelPoint click, int32_t cx, int32_t cy, const PanelRect& owner);

// Builds text panels. The setup program keeps one instance with static storage and uses it on
// the user-interface thread only: the template and the slots are read when the panel's window
// is created and initialised, right after BuildTextTemplate, and stay valid until the next
// build. Tests make their own instances.
class TextPanelLayout {
 public:
  // `lines` may be null: every paragraph then counts one line per forced line break, plus one.
  explicit TextPanelLayout(LineCountService* lines) : lines_(lines) {}

  // Lays out `text` (markup above) into the template and the slots. Returns false when part of
  // the text was dropped because it did not fit.
  bool BuildTextTemplate(const char* text);

  // The in-memory template for the platform's indirect dialog creation; DWORD-aligned.
  const uint8_t* Template() const { return template_; }
  size_t TemplateSize() const { return templateSize_; }

  // Slot k holds the text of item k + 1 (control id kPanelFirstTextId + k), k < itemCount.
  const char* textSlots[kPanelTextItems] = {};
  int32_t itemCount = 0;
  int16_t panelWidth = 0;
  int16_t panelHeight = 0;
  // Width the line-count service currently measures at; 0 while nothing is being measured.
  int16_t measureWidth = 0;

 private:
  struct ItemBox {
    int16_t x, y, cx, cy;
  };
  bool AddParagraph(char* paragraph);  // false when it did not fit
  int CountLines(const char* paragraph);
  bool AddTextItem(const char* text, int lines, int x, int yOffset, bool advance, int width);
  void WriteTemplate(int buttonX, int buttonY);

  LineCountService* lines_;
  bool complete_ = true;
  int32_t height_ = 0;  // panelHeight while building, kept wide so it cannot wrap
  ItemBox items_[kPanelTextItems] = {};
  char body_[kPanelBodyCapacity] = {};
  alignas(4) uint8_t template_[kPanelTemplateCapacity] = {};
  size_t templateSize_ = 0;
};

#endif  // TSARIN_UI_PANEL_LAYOUT_H
