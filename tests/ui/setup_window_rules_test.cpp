// The installer window's platform-free rules: the QuickHelp text panels' layout and templates,
// where a panel opens, the QuickHelp state machine, meter geometry, what the status and focus
// steps leave on the screen, and the gate that keeps commands out of a running install attempt.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ui/dialog_steps.h"
#include "ui/panel_layout.h"
#include "ui/progress_meter.h"
#include "ui/quickhelp.h"
#include "ui/setup_command_gate.h"
#include "ui/template_reader.h"

namespace {

template <typename... T>
using Rows = std::vector<std::tuple<T...>>;

// ---- text panels ----

// Answers a line per ten characters begun, or `fixed` when that is 0 or more, as a misbehaving
// platform might; records the widths it is asked to measure at.
struct FakeLines : LineCountService {
  explicit FakeLines(int fixed = -1) : fixed(fixed) {}
  int CountLines(const char* text, int width) override {
    return widths.push_back(width),
           fixed >= 0 ? fixed : 1 + static_cast<int>(std::strlen(text)) / 10;
  }
  void ReleaseMeasuring() override { ++releases; }
  int fixed, releases = 0;
  std::vector<int> widths;
};

// The template's lines, once it has read back whole.
std::vector<std::string> Lines(const TextPanelLayout& layout) {
  std::vector<std::string> lines;
  EXPECT_EQ(ReadTemplate(layout.Template(), layout.TemplateSize(), &lines), layout.TemplateSize());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(layout.Template()) % 4, 0u);
  return lines;
}

// The text items as placed, "x,y,cx,cy:text / ...", after checking the rest of the template:
// a header of the panel's size and, after the button, one read-only multi-line edit per slot
// from id 21.
std::string Items(const TextPanelLayout& layout) {
  const std::vector<std::string> lines = Lines(layout);
  EXPECT_EQ(lines.size(), layout.itemCount + 2u);
  EXPECT_EQ(lines[0], "80800A00 0 0,0," + std::to_string(layout.panelWidth) + "," +
                          std::to_string(layout.panelHeight) + " ||");
  std::string items;
  for (size_t k = 2; k < lines.size(); ++k) {
    const std::string head = std::to_string(19 + k) + " #129 50000804 0 ";
    EXPECT_EQ(lines[k].substr(0, head.size()), head);
    items += (k > 2 ? " / " : "") + lines[k].substr(head.size(), lines[k].size() - head.size() - 1);
    items += std::string(":") + layout.textSlots[k - 2];
  }
  return items;
}

TEST(TextPanel, WidthIsTwelveTimesTheLengthToThePower045RoundedDownWithin50And400) {
  for (size_t length = 0; length < 20000; ++length) {
    const double width = std::trunc(12.0 * std::pow(static_cast<double>(length), 0.45));
    ASSERT_EQ(PanelWidthForLength(length), static_cast<int>(std::clamp(width, 50.0, 400.0)))
        << "length " << length;
  }
  EXPECT_EQ(PanelWidthForLength(static_cast<size_t>(-1)), 400);
  TextPanelLayout layout(nullptr);  // the whole text counts
  layout.BuildTextTemplate(std::string(1000, 'x').c_str());
  EXPECT_EQ(layout.panelWidth, 268);
}

TEST(TextPanel, MarkupPlacesItemsAndSizesThePanel) {
  for (const auto& [text, width, height, items, fixedLines] :
       Rows<const char*, int, int, const char*, int>{
           {"", 50, 9, "", -1},
           {"one`two", 50, 25, "4,3,41,8:one / 4,11,41,8:two", -1},
           {"one``two", 50, 29, "4,3,41,8:one / 4,15,41,8:two", -1},  // a spacing mark: 4 lower
           {"`one", 50, 21, "4,7,41,8:one", -1},
           {"one`", 50, 17, "4,3,41,8:one", -1},                 // no empty last paragraph
           {"*word", 50, 17, "4,4,6,8:* / 10,3,35,8:word", -1},  // the star adds no height
           {"* word", 50, 17, "4,3,41,8:* word", -1},
           {"*aaaa bbbb cccc dddd", 50, 25, "4,4,6,8:* / 10,3,35,16:aaaa bbbb cccc dddd", -1},
           {"a\nb", 50, 17, "4,3,41,8:a\r\nb", -1},  // CR LF for the edit control
           // Explicit widths: not capped at 400, raised to 16 so a bullet's text keeps a width,
           // saturated rather than wrapped, and without a closing bar the body follows the number.
           {"|120|two words", 120, 17, "4,3,111,8:two words", -1},
           {"| 450|wide", 450, 17, "4,3,441,8:wide", -1},
           {"|80Plain words", 80, 25, "4,3,71,16:Plain words", -1},
           {"|5|*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x", -1},
           {"|-40|*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x", -1},
           {"||*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x", -1},
           {"|99999999999999999999|x", 32767, 17, "4,3,32758,8:x", -1},
           // Absurd line counts neither shrink an item nor wrap the height.
           {"x", 50, 17, "4,3,41,8:x", 0},
           {"a`b`c", 50, 32767, "4,3,41,32760:a / 4,32763,41,32760:b / 4,32767,41,32760:c",
            1 << 30},
       }) {
    FakeLines lines(fixedLines);
    TextPanelLayout layout(&lines);
    EXPECT_TRUE(layout.BuildTextTemplate(text));
    EXPECT_EQ(std::make_tuple(layout.panelWidth, layout.panelHeight, Items(layout)),
              std::make_tuple(width, height, std::string(items)))
        << text;
  }
}

TEST(TextPanel, EachParagraphIsMeasuredAtItsWidthAndTheServiceReleasedOnceAfterwards) {
  for (const auto& [text, widths, releases] :
       Rows<const char*, std::vector<int>, int>{{"a`*b`c", {41, 35, 41}, 1}, {"", {}, 0}}) {
    FakeLines lines;
    TextPanelLayout layout(&lines);
    layout.BuildTextTemplate(text);
    EXPECT_EQ(std::tie(lines.widths, lines.releases, layout.measureWidth),
              std::make_tuple(widths, releases, int16_t{0}));
  }
  TextPanelLayout unmeasured(nullptr);  // without a service forced breaks still count
  unmeasured.BuildTextTemplate("a\nb\nc");
  EXPECT_EQ(Items(unmeasured), "4,3,41,24:a\r\nb\r\nc");
  // A hidden "&OK" button, for Enter and Esc, centred above the bottom gap.
  EXPECT_EQ(Lines(unmeasured).at(1), "20 #128 40000000 0 13,8,24,14 &OK");
  unmeasured.BuildTextTemplate(nullptr);
  EXPECT_EQ(Items(unmeasured) + Lines(unmeasured).at(1), "20 #128 40000000 0 13,-3,24,14 &OK");
}

TEST(TextPanel, WhatDoesNotFitIsDroppedWholeWithItsHeightAndTheNextBuildStartsAfresh) {
  std::string fifteen = "p", cut = "a";
  for (int i = 1; i < 15; ++i) fifteen += "`p";
  for (size_t i = 0; i < kPanelBodyCapacity / 2 - 1; ++i) cut += "\r\n";
  FakeLines lines;
  TextPanelLayout layout(&lines);
  for (const auto& [text, complete, items, height] : Rows<std::string, bool, int, int>{
           {fifteen + "`p`p`p`p`p", false, 16, 3 + 16 * 8 + 4 + 2},
           {fifteen + "`*bullet", false, 15, 3 + 15 * 8 + 4 + 2},  // no lone star in item 16
           {"p`p", true, 2, 25},
           {"a" + std::string(kPanelBodyCapacity, '\n'), false, 1,
            3 + 820 * 8 + 4 + 2},  // between CR LF pairs
       }) {
    EXPECT_EQ(layout.BuildTextTemplate(text.c_str()), complete);
    EXPECT_EQ(std::make_tuple(layout.itemCount, layout.panelHeight, Lines(layout).size()),
              std::make_tuple(items, height, items + 2u));
  }
  EXPECT_EQ(layout.textSlots[0], cut);
}

TEST(TextPanel, MeasuringTemplateHoldsOneHiddenEditOfTheGivenWidthAndIsBounded) {
  for (const auto& [width, item] : Rows<int, const char*>{{187, "187"}, {40000, "32767"}}) {
    alignas(4) uint8_t buffer[kMeasuringTemplateCapacity];
    std::vector<std::string> got;
    const size_t size = BuildMeasuringTemplate(buffer, sizeof buffer, width);
    EXPECT_EQ(ReadTemplate(buffer, size, &got), size);
    EXPECT_EQ(got,
              (std::vector<std::string>{"80800000 0 0,0,500,500 ||",
                                        "20 #129 40000804 0 4,2," + std::string(item) + ",500 "}));
  }
  uint8_t small[40];  // too small a buffer is refused rather than overrun
  EXPECT_EQ(BuildMeasuringTemplate(small, sizeof small, 187), 0u);
}

TEST(PlacePanel, OpensDownRightUnlessItWouldReachTheOwnersEdge) {
  const PanelRect owner = {100, 100, 500, 400};  // for a panel of 100 x 60 pixels
  for (const auto& [click, size, rect, at] : Rows<PanelPoint, PanelPoint, PanelRect, PanelPoint>{
           {{200, 150}, {100, 60}, owner, {199, 149}},      // one pixel up and left of the pointer
           {{399, 339}, {100, 60}, owner, {398, 338}},      // one short of both edges
           {{400, 340}, {100, 60}, owner, {302, 282}},      // at them: left and above
           {{30, 20}, {100, 60}, {0, 0, 120, 70}, {2, 2}},  // past them: not below 0 + 2
           {{2147483000, 0}, {1000, 10}, {0, 0, INT_MAX, 100}, {2147482002, -1}},  // no wrap
       }) {
    const PanelPoint p = PlacePanelPosition(click, size.x, size.y, rect);
    EXPECT_EQ(std::tie(p.x, p.y), std::tie(at.x, at.y)) << click.x << "," << click.y;
  }
}

// ---- QuickHelp ----

// A dialog at (0,0)-(300,200): above y 150, columns 50 pixels wide of controls (id, visible,
// enabled); below, the dialog's own surface; from y 190, its frame, where no child is found.
// Panels cover 50 x 50 pixels from where they were placed.
const QuickHelpItem kColumns[] = {{true, true, true, 1},     {true, true, false, 1},
                                  {true, true, true, 2},     {true, false, true, 105},
                                  {true, false, false, 105}, {true, true, true, 114}};
void* const kDot = reinterpret_cast<void*>(0x99);
void* const kArrow = reinterpret_cast<void*>(0x98);
void* const kFocus = reinterpret_cast<void*>(0x1234);
CDialog* const kDialog = reinterpret_cast<CDialog*>(0x40);
const QuickHelpEntry kTable[] = {{2, 107}, {1, 106}, {105, 109}, {7, 0}, {1, 999}, {0, 0}};

bool In(int x, int y, int left, int top, int width, int height) {
  return x >= left && x < left + width && y >= top && y < top + height;
}

struct FakeQuickHelpOps final : QuickHelpOps {
  struct Panel {
    int id, x, y;
    bool alive;
  };
  Panel& At(CQuickHelpPanel* p) { return panels.at(reinterpret_cast<size_t>(p) - 1); }
  bool PanelContains(CQuickHelpPanel* p, int x, int y) override {
    return In(x, y, At(p).x, At(p).y, 50, 50);
  }
  bool DialogContains(CDialog*, int x, int y) override { return In(x, y, 0, 0, 300, 200); }
  QuickHelpItem ItemAt(CDialog*, int x, int y) override {
    return y >= 190   ? QuickHelpItem{false, true, true, 1}
           : y >= 150 ? QuickHelpItem{true, true, true, 0}
                      : kColumns[x / 50];
  }
  void* GetFocus() override { return focus; }
  void SetFocus(void* window) override { focus = window; }
  CQuickHelpPanel* CreatePanel(CDialog*, int id, const char*) override {  // a token for the panel
    if (!failCreate) panels.push_back(Panel{id, -1000, -1000, true});
    return failCreate ? nullptr : reinterpret_cast<CQuickHelpPanel*>(panels.size());
  }
  void PlacePanel(CQuickHelpPanel* p, int x, int y, CDialog*) override { At(p).x = x, At(p).y = y; }
  void CapturePointer(CQuickHelpPanel* p) override { captured = p; }
  void SetCursor(void* c) override { cursor = c; }
  void DestroyPanel(CQuickHelpPanel* p) override { At(p).alive = false, captured = nullptr; }

  std::vector<Panel> panels;
  CQuickHelpPanel* captured = nullptr;
  void *focus = kFocus, *cursor = kArrow;
  bool failCreate = false;
};

class QuickHelpTest : public ::testing::Test {
 protected:
  void SetUp() override { quickHelpState = QuickHelpState{}, ConfigureQuickHelp(111, kDot, 113); }
  // The panel open after a right click at (x, y), 0 for none.
  int Click(int32_t x, int32_t y, const QuickHelpEntry* table = kTable) {
    ShowQuickHelpWith(ops, kDialog, x, y, table, nullptr);
    return quickHelpState.openPanel ? ops.At(quickHelpState.openPanel).id : 0;
  }
  FakeQuickHelpOps ops;
};

TEST(QuickHelp, FirstRowDecidesPanelsBeforeTextsARowWithoutPanelFallsBackAndTheSetupsPanels) {
  using C = QuickHelpChoice;
  const QuickHelpTextEntry texts[] = {{7, "7"}, {8, nullptr}, {9, "9"}, {1, "1"}, {0, nullptr}};
  for (const auto& [id, table, kind, panel, text] :
       Rows<int, const QuickHelpEntry*, int, int, std::string>{
           {1, kTable, C::kResourcePanel, 106, ""},  // the first row, the panel table first
           {7, kTable, C::kFallback, 0, ""},         // a row without panel: no text looked for
           {8, kTable, C::kFallback, 0, ""},
           {9, kTable, C::kTextPanel, 0, "9"},
           {9, nullptr, C::kTextPanel, 0, "9"},
           {55, kTable, C::kFallback, 0, ""},
           // The setup dialog's: Install, Abort (until an install ends), the directory's label;
           // the directory field and the check box have no panel of their own.
           {1, setupHelpTable, C::kResourcePanel, 106, ""},
           {2, setupHelpTable, C::kResourcePanel, 107, ""},
           {105, setupHelpTable, C::kResourcePanel, 109, ""},
           {104, setupHelpTable, C::kFallback, 0, ""},
           {114, setupHelpTable, C::kFallback, 0, ""},
       }) {
    const QuickHelpChoice c = ChooseQuickHelpPanel(id, table, texts);
    EXPECT_EQ(std::make_tuple(int{c.kind}, c.panelId, std::string(c.text ? c.text : "")),
              std::tie(kind, panel, text))
        << id;
  }
  EXPECT_EQ(ChooseQuickHelpPanel(55, nullptr, nullptr).kind, QuickHelpChoice::kFallback);
}

TEST_F(QuickHelpTest, TransitionsFollowWhereTheRightClickLands) {
  // The panel open afterwards, 0 for none.
  for (const auto& [x, y, table, open] : Rows<int, int, const QuickHelpEntry*, int>{
           {260, 10, kTable, 113},   // the check box has no row: the general panel, from idle
           {260, 160, kTable, 0},    // the dialog's surface while a panel is open: only closes
           {260, 160, kTable, 113},  // the same click from idle opens the general panel
           {10, 10, kTable, 106},    // another item switches panels
           {110, 100, kTable, 107},
           {120, 110, kTable, 0},   // inside the open panel (placed at 110,100): only closes
           {60, 10, kTable, 106},   // disabled but visible: its own panel
           {160, 10, kTable, 109},  // hidden but enabled: its own panel
           {210, 10, kTable, 0},    // hidden and disabled is no item: falls back, only closes
           {210, 10, kTable, 113},
           {10, 195, kTable, 0},  // no child found: falls back
           {10, 195, kTable, 113},
           {400, 10, kTable, 0},  // outside the dialog
           {-1, -1, kTable, 0},   // a context menu from the keyboard
           {10, 10, kTable, 106},
           {150, 10, nullptr, 106},  // no tables: the open panel stays
           {400, 10, kTable, 0},
       }) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    EXPECT_EQ(Click(x, y, table), open);
    EXPECT_EQ(std::count_if(ops.panels.begin(), ops.panels.end(), [](auto& p) { return p.alive; }),
              open != 0);
    EXPECT_EQ(ops.captured, quickHelpState.openPanel);
    EXPECT_TRUE(open != 0 || ops.focus == kFocus);  // handed back on closing
    if (open == 0 || table == nullptr) continue;
    // Opened here: at the click, with the dot; the panel then takes the focus.
    EXPECT_EQ(std::tie(ops.panels.back().x, ops.panels.back().y, ops.cursor), std::tie(x, y, kDot));
    EXPECT_EQ(std::tie(quickHelpState.ownerDialog, quickHelpState.panelTable),
              std::tie(kDialog, kTable));
    ops.focus = nullptr, ops.cursor = kArrow;
  }
}

TEST_F(QuickHelpTest, WithoutGeneralPanelDotOrPanelWindowNothingIsLeftOpen) {
  ConfigureQuickHelp(111, nullptr, 0);
  EXPECT_EQ(Click(260, 10), 0);
  EXPECT_EQ(Click(10, 10), 106);
  EXPECT_EQ(ops.cursor, kArrow);
  Click(400, 10);
  ops.failCreate = true;
  EXPECT_EQ(Click(10, 10), 0);
  EXPECT_EQ(ops.captured, nullptr);
}

// ---- progress meter ----

TEST(Meter, FillCoversTheInsideAtTheEndsRoundsDownBetweenAndTheTextTurnsAboveHalf) {
  // A 384 x 20 frame at (10, 30), 382 x 18 inside, characters 7 x 16, "37%": the text lands at
  // (x + 182, y + 1); the dark edge top and left, the light one right and bottom.
  for (const auto& [position, fill, high] : Rows<int32_t, int, bool>{{-5, 0, false},
                                                                     {0, 0, false},
                                                                     {1, 3, false},
                                                                     {37, 141, false},
                                                                     {50, 191, false},
                                                                     {51, 194, true},
                                                                     {99, 378, true},
                                                                     {100, 382, true},
                                                                     {INT32_MAX, 382, true}}) {
    const MeterLayout m = LayOutMeter(10, 30, 383, 19, position, 7, 16, 3);
    std::vector<int> got = {m.fill,        m.bar.left,  m.bar.top,   m.bar.right,
                            m.bar.bottom,  m.rest.left, m.rest.top,  m.rest.right,
                            m.rest.bottom, m.highText,  m.blitWidth, m.blitHeight};
    for (const MeterPoint& p : {m.text, m.blitTo, m.darkEdge[0], m.darkEdge[1], m.darkEdge[2],
                                m.lightEdge[0], m.lightEdge[1], m.lightEdge[2]})
      got.insert(got.end(), {p.x, p.y});
    EXPECT_EQ(got, (std::vector<int>{fill, 0,  0,   fill, 18,  fill, 0,   382, 18, high,
                                     382,  18, 181, 0,    11,  31,   393, 30,  10, 30,
                                     10,   49, 393, 30,   393, 49,   10,  49}))
        << position;
  }
  // A font taller than a tiny meter puts the text above it: truncation, not flooring.
  const MeterLayout tiny = LayOutMeter(0, 0, 3, 3, 0, 7, 15, 2);
  EXPECT_EQ(std::tie(tiny.text.x, tiny.text.y), std::make_tuple(1 - 7, 1 - 7 - 1));
  // Wider than INT32_MAX / 100 pixels still fills exactly.
  EXPECT_EQ(LayOutMeter(0, 0, 30000001, 19, 99, 7, 16, 3).fill, 29700000);
}

TEST(Meter, PercentIsFormattedWithinTheBuffer) {
  for (const auto& [position, size, text] : Rows<int32_t, size_t, std::string>{
           {37, 16, "37%"}, {INT_MIN, 16, "-2147483648%"}, {1000, 4, "100"}, {-7, 2, "-"}}) {
    char buf[16] = "xxxxxxxxxxxxxxx";
    EXPECT_EQ(FormatPercent(position, buf, size), text.size());
    EXPECT_EQ(buf, text);
  }
  EXPECT_EQ(FormatPercent(5, nullptr, 0), 0u);
}

// ---- status line and focus ----

// The dialog's controls as the screen shows them: a control draws its text over what is there
// (transparently); only a repaint after it was hidden brings back the background under it.
struct Screen final : DialogItemOps {
  void ShowItem(int, bool show) override {
    wiped |= visible && !show, dirty |= show && !visible, visible = show;
  }
  void SetItemText(int, const char* t) override { text = t, dirty = true; }
  void UpdateDialog() override {
    shown = wiped ? "" : shown;
    if (visible && (dirty || wiped)) shown.replace(0, text.size(), text);
    wiped = dirty = false;
  }
  // The dialog manager selects the whole text of an edit control that gets the focus.
  void MoveFocusTo(int id) override { focus = id, start = 0, end = text.size(); }
  void SetSelection(int, uint32_t s, uint32_t e) override {
    start = std::min<size_t>(s, text.size()), end = std::min<size_t>(e, text.size());
  }
  void ScrollCaret(int) override { scrolledTo = end; }
  MeterRect ItemScreenRect(int) override { return rect; }
  void SetPointerPos(int32_t x, int32_t y) override { pointer = {x, y}; }

  std::string text, shown;  // the control's text, and what the screen shows of it
  bool visible = true, wiped = false, dirty = false;
  int focus = 0;
  size_t start = 0, end = 0, scrolledTo = 0;
  MeterRect rect = {};
  std::vector<int> pointer;
};

TEST(DialogSteps, NewStatusTextReplacesTheOldOnTheScreenAtOnceWithoutATrace) {
  Screen screen;
  for (const char* text : {"Installing:   readme.txt", "Installing:   a", ""}) {
    RunShowStatus(screen, 102, text);
    EXPECT_EQ(screen.shown, text);
  }
}

TEST(DialogSteps, FocusPutsTheCaretAfterTheLastCharacterAndThePointerOnTheCentre) {
  for (const auto& [rect, pointer] : Rows<MeterRect, std::vector<int>>{
           {{100, 50, 201, 71}, {150, 60}},
           {{-7, -9, 0, 0}, {-3, -4}}}) {  // left of the screen's origin: toward zero
    Screen screen;
    screen.text = "C:\\Program Files\\TSarin", screen.rect = rect;
    RunFocusItem(screen, 104);
    const size_t end = screen.text.size();
    EXPECT_EQ(std::tie(screen.focus, screen.start, screen.end, screen.scrolledTo, screen.pointer),
              std::make_tuple(104, end, end, end, pointer));
  }
}

// ---- command gate ----

TEST(SetupCommandGate, InstallsNeverOverlapAndACloseRunsOnceAndNeverUnderAnAttempt) {
  // Steps: I (BeginInstall), E (EndInstall), C (RequestClose) or Z (Closed), then its answer.
  for (const char* script : {
           "I1 I0 E0 I1 E0 Z0",           // a second Install during an attempt is dropped
           "I1 C0 C0 Z0 E1 Z1 C0 I0 E0",  // a close waits for the attempt, then runs once
           "C1 Z1 C0 I0",                 // when idle a close runs at once, and only once
       }) {
    SetupCommandGate gate;
    for (const char* s = script; *s != '\0'; s += s[2] ? 3 : 2) {
      const bool answer = s[0] == 'I'   ? gate.BeginInstall()
                          : s[0] == 'E' ? gate.EndInstall()
                          : s[0] == 'C' ? gate.RequestClose()
                                        : gate.Closed();
      EXPECT_EQ(answer, s[1] == '1') << script << " at " << s - script;
    }
  }
}

}  // namespace
