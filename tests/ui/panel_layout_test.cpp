// QuickHelp panel layout: the text-panel builder, its in-memory templates and the placement
// rule for an opening panel.

#include "ui/panel_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ui/template_reader.h"

namespace {

// Wraps like a fixed-pitch edit control with characters 4 dialog units wide, breaking
// anywhere; CR LF forces a break. Records the widths it is asked for; a `fixed` count of 0 or
// more is answered instead, as a misbehaving platform might.
class FakeLines : public LineCountService {
 public:
  int CountLines(const char* text, int width) override {
    widths.push_back(width);
    if (fixed >= 0) return fixed;
    const size_t perLine = width >= 4 ? static_cast<size_t>(width / 4) : 1;
    int lines = 0;
    for (const char* line = text;;) {
      const char* end = std::strstr(line, "\r\n");
      const size_t n = end ? static_cast<size_t>(end - line) : std::strlen(line);
      lines += n == 0 ? 1 : static_cast<int>((n + perLine - 1) / perLine);
      if (!end) return lines;
      line = end + 2;
    }
  }
  void ReleaseMeasuring() override { ++releases; }

  std::vector<int> widths;
  int releases = 0;
  int fixed = -1;
};

TemplateDialog Parse(const TextPanelLayout& layout) {
  TemplateDialog d;
  EXPECT_TRUE(TemplateReader(layout.Template(), layout.TemplateSize()).Parse(&d));
  EXPECT_EQ(d.items.size(), static_cast<size_t>(layout.itemCount) + 1);
  return d;
}

// The text items as the template places them, with their slots: "x,y,cx,cy:text / ...".
std::string Items(const TextPanelLayout& layout) {
  const TemplateDialog d = Parse(layout);
  std::string s;
  for (size_t k = 1; k < d.items.size() && k <= static_cast<size_t>(layout.itemCount); ++k) {
    const TemplateItem& i = d.items[k];
    s += (k > 1 ? " / " : "") + std::to_string(i.x) + "," + std::to_string(i.y) + "," +
         std::to_string(i.cx) + "," + std::to_string(i.cy) + ":" + layout.textSlots[k - 1];
  }
  return s;
}

TEST(PanelWidth, LengthPowerLawRoundsDownAndClampsAt50And400) {
  for (const auto& [length, width] : std::vector<std::pair<size_t, int>>{
           {0, 50}, {24, 50}, {25, 51}, {100, 95}, {1000, 268}, {2422, 399}, {2423, 400}}) {
    FakeLines lines;
    TextPanelLayout layout(&lines);
    layout.BuildTextTemplate(std::string(length, 'x').c_str());
    EXPECT_EQ(layout.panelWidth, width) << "length " << length;
  }
  // The width is worked out without pow; any rounding slip would shift a panel by a unit.
  for (size_t length = 0; length < 20000; ++length) {
    const double width = std::trunc(12.0 * std::pow(static_cast<double>(length), 0.45));
    const int expected = width < 50 ? 50 : width > 400 ? 400 : static_cast<int>(width);
    ASSERT_EQ(PanelWidthForLength(length), expected) << "length " << length;
  }
  EXPECT_EQ(PanelWidthForLength(static_cast<size_t>(-1)), 400);
}

TEST(Paragraphs, MarkupPlacesItemsAndSizesThePanel) {
  struct Case {
    const char* text;
    int width, height;
    const char* items;
  } cases[] = {
      {"", 50, 9, ""},
      {"one`two", 50, 25, "4,3,41,8:one / 4,11,41,8:two"},
      {"one``two", 50, 29, "4,3,41,8:one / 4,15,41,8:two"},  // spacing mark: 4 units lower
      {"`one", 50, 21, "4,7,41,8:one"},
      {"one`", 50, 17, "4,3,41,8:one"},                 // no empty last paragraph
      {"*word", 50, 17, "4,4,6,8:* / 10,3,35,8:word"},  // the star adds no height
      {"* word", 50, 17, "4,3,41,8:* word"},
      {"*aaaa bbbb cccc dddd", 50, 33, "4,4,6,8:* / 10,3,35,24:aaaa bbbb cccc dddd"},
      {"a\nb", 50, 25, "4,3,41,16:a\r\nb"},
      // Explicit widths: not capped at 400, raised to 16 so a bullet's text keeps a width,
      // saturated rather than wrapped, and without a closing bar the body follows the number.
      {"|120|two words", 120, 17, "4,3,111,8:two words"},
      {"| 450|wide", 450, 17, "4,3,441,8:wide"},
      {"|80Plain words", 80, 17, "4,3,71,8:Plain words"},
      {"|5|*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x"},
      {"|-40|*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x"},
      {"||*x", 16, 17, "4,4,6,8:* / 10,3,1,8:x"},
      {"|99999999999999999999|x", 32767, 17, "4,3,32758,8:x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FakeLines lines;
    TextPanelLayout layout(&lines);
    EXPECT_TRUE(layout.BuildTextTemplate(c.text));
    EXPECT_EQ(layout.panelWidth, c.width);
    EXPECT_EQ(layout.panelHeight, c.height);
    EXPECT_EQ(Items(layout), c.items);
  }
  TextPanelLayout layout(nullptr);
  layout.BuildTextTemplate(nullptr);
  EXPECT_EQ(layout.itemCount, 0);
}

TEST(Measuring, WidthFollowsTheIndentAndIsReleasedOnceAtTheEnd) {
  FakeLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("a`*b`c");
  EXPECT_EQ(lines.widths, (std::vector<int>{41, 35, 41}));
  EXPECT_EQ(lines.releases, 1);
  EXPECT_EQ(layout.measureWidth, 0);

  FakeLines unused;
  TextPanelLayout empty(&unused);
  empty.BuildTextTemplate("");
  EXPECT_TRUE(unused.widths.empty());
  EXPECT_EQ(unused.releases, 0);
  EXPECT_EQ(Parse(empty).items.at(0).y, -3);  // the button: (7 - 14) / 2 truncates to zero

  TextPanelLayout unmeasured(nullptr);  // without a service forced breaks still count
  unmeasured.BuildTextTemplate("a\nb\nc");
  EXPECT_EQ(Items(unmeasured), "4,3,41,24:a\r\nb\r\nc");
}

TEST(Measuring, AbsurdLineCountsNeitherShrinkNorWrapTheHeight) {
  FakeLines zero;
  zero.fixed = 0;
  TextPanelLayout a(&zero);
  a.BuildTextTemplate("x");
  EXPECT_EQ(Items(a), "4,3,41,8:x");

  FakeLines huge;
  huge.fixed = 1 << 30;
  TextPanelLayout b(&huge);
  b.BuildTextTemplate("a`b`c");
  EXPECT_EQ(b.panelHeight, 32767);
  const TemplateDialog d = Parse(b);
  for (size_t k = 1; k < d.items.size(); ++k) EXPECT_GT(d.items[k].cy, 0);
}

TEST(Capacity, ParagraphsPastTheSixteenthItemAreDroppedWithTheirHeight) {
  FakeLines lines;
  TextPanelLayout layout(&lines);
  std::string text = "p";
  for (int i = 1; i < 20; ++i) text += "`p";
  EXPECT_FALSE(layout.BuildTextTemplate(text.c_str()));
  EXPECT_EQ(layout.itemCount, 16);
  EXPECT_EQ(layout.panelHeight, 3 + 16 * 8 + 4 + 2);
  EXPECT_EQ(Parse(layout).items.size(), 17u);
  EXPECT_LE(layout.TemplateSize(), kPanelTemplateCapacity);

  // A bullet needing items 16 and 17 leaves no lone star.
  text = "p";
  for (int i = 1; i < 15; ++i) text += "`p";
  EXPECT_FALSE(layout.BuildTextTemplate((text + "`*bullet").c_str()));
  EXPECT_EQ(layout.itemCount, 15);
  EXPECT_STREQ(layout.textSlots[14], "p");

  EXPECT_TRUE(layout.BuildTextTemplate("p`p"));  // the next build starts afresh
  EXPECT_EQ(layout.itemCount, 2);
}

TEST(Capacity, OverlongBodyIsCutBetweenCrLfPairs) {
  FakeLines lines;
  TextPanelLayout layout(&lines);
  EXPECT_FALSE(layout.BuildTextTemplate(("a" + std::string(kPanelBodyCapacity, '\n')).c_str()));
  ASSERT_EQ(layout.itemCount, 1);
  const std::string slot = layout.textSlots[0];
  EXPECT_LT(slot.size(), kPanelBodyCapacity);
  EXPECT_EQ(slot.size() % 2, 1u);  // "a" and whole CR LF pairs
  EXPECT_EQ(slot.substr(slot.size() - 2), "\r\n");
}

TEST(TemplateBytes, TextPanelParsesBackAsTheDialogManagerReadsIt) {
  FakeLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("|100|First paragraph`*bullet``last");
  const TemplateDialog d = Parse(layout);
  EXPECT_FALSE(d.extended || d.hasFont);
  EXPECT_EQ(d.menu + d.windowClass + d.title, "");
  EXPECT_EQ(d.style, 0x80800A00u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ((std::vector<int>{d.x, d.y, d.cx, d.cy}), (std::vector<int>{0, 0, 100, 37}));
  ASSERT_EQ(d.items.size(), 5u);
  EXPECT_EQ(d.size, layout.TemplateSize());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(layout.Template()) % 4, 0u);

  // A hidden "&OK" button (Enter and Esc need a default command), centred above the bottom gap.
  const TemplateItem& button = d.items[0];
  EXPECT_EQ(button.style, 0x40000000u);
  EXPECT_EQ(button.id, 20u);
  EXPECT_EQ(button.windowClass, "#128");
  EXPECT_EQ(button.title, "&OK");
  EXPECT_EQ((std::vector<int>{button.x, button.y, button.cx, button.cy}),
            (std::vector<int>{38, 10, 24, 14}));
  for (size_t k = 1; k < 5; ++k) {
    const TemplateItem& item = d.items[k];
    SCOPED_TRACE(k);
    EXPECT_EQ(item.style, 0x50000804u);
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.id, 20u + k);
    EXPECT_EQ(item.windowClass, "#129");
    EXPECT_EQ(item.title, "");
    EXPECT_EQ(item.extraSize, 0);
  }
}

TEST(TemplateBytes, MeasuringTemplateHoldsOneHiddenEditOfTheGivenWidthAndIsBounded) {
  alignas(4) uint8_t buffer[kMeasuringTemplateCapacity];
  const size_t size = BuildMeasuringTemplate(buffer, sizeof buffer, 187);
  TemplateDialog d;
  ASSERT_TRUE(TemplateReader(buffer, size).Parse(&d));
  EXPECT_EQ(d.size, size);
  ASSERT_EQ(d.items.size(), 1u);
  const TemplateItem& edit = d.items[0];
  EXPECT_EQ(edit.style, 0x40000804u);
  EXPECT_EQ((std::vector<int>{edit.x, edit.y, edit.cx, edit.cy}),
            (std::vector<int>{4, 2, 187, 500}));

  uint8_t small[40];  // too small a buffer is refused rather than overrun
  EXPECT_EQ(BuildMeasuringTemplate(small, sizeof small, 187), 0u);
}

TEST(PlacePanel, OpensDownRightUnlessItWouldReachTheOwnersEdge) {
  struct Case {
    PanelPoint click;
    int32_t cx, cy;
    PanelRect owner;
    PanelPoint at;
  } cases[] = {
      {{200, 150}, 100, 60, {100, 100, 500, 400}, {199, 149}},  // one pixel up and left
      {{399, 339}, 100, 60, {100, 100, 500, 400}, {398, 338}},  // one short of both edges
      {{400, 340}, 100, 60, {100, 100, 500, 400}, {302, 282}},  // at them: left and above
      {{30, 20}, 100, 60, {0, 0, 120, 70}, {2, 2}},             // past them: not below 0 + 2
      {{2147483000, 0}, 1000, 10, {0, 0, 2147483647, 100}, {2147482002, -1}},  // no wrap
  };
  for (const Case& c : cases) {
    const PanelPoint p = PlacePanelPosition(c.click, c.cx, c.cy, c.owner);
    EXPECT_EQ(p.x, c.at.x) << c.click.x << "," << c.click.y;
    EXPECT_EQ(p.y, c.at.y) << c.click.x << "," << c.click.y;
  }
}

}  // namespace
