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

// Wraps like a fixed-pitch edit control: every character 4 dialog units wide, breaks between
// words, CR LF forces a break. Records what it was asked.
class FixedPitchLines : public LineCountService {
 public:
  int CountLines(const char* text, int width) override {
    widths.push_back(width);
    const size_t perLine = width >= 4 ? static_cast<size_t>(width / 4) : 1;
    int lines = 0;
    std::string s(text);
    size_t start = 0;
    while (true) {
      const size_t end = s.find("\r\n", start);
      lines += WrappedLines(s.substr(start, end == std::string::npos ? end : end - start), perLine);
      if (end == std::string::npos) break;
      start = end + 2;
    }
    return lines;
  }
  void ReleaseMeasuring() override { ++releases; }

  std::vector<int> widths;
  int releases = 0;

 private:
  static int WrappedLines(const std::string& line, size_t perLine) {
    int lines = 1;
    size_t used = 0;
    size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && line[i] == ' ') ++i;
      size_t j = i;
      while (j < line.size() && line[j] != ' ') ++j;
      const size_t word = j - i;
      if (word == 0) break;
      if (used > 0 && used + 1 + word > perLine) {
        ++lines;
        used = 0;
      }
      used += (used > 0 ? 1 : 0) + word;
      i = j;
    }
    return lines;
  }
};

// A line-count service that reports whatever it is told to.
class ConstantLines : public LineCountService {
 public:
  explicit ConstantLines(int n) : n_(n) {}
  int CountLines(const char*, int) override { return n_; }
  void ReleaseMeasuring() override {}

 private:
  int n_;
};

TemplateDialog Parse(const TextPanelLayout& layout) {
  TemplateDialog d;
  TemplateReader reader(layout.Template(), layout.TemplateSize());
  EXPECT_TRUE(reader.Parse(&d));
  return d;
}

// Item k + 1 of the template, the text item for slot k.
TemplateItem TextItem(const TextPanelLayout& layout, int k) {
  const TemplateDialog d = Parse(layout);
  EXPECT_LT(k + 1, static_cast<int>(d.items.size()));
  return d.items.at(static_cast<size_t>(k + 1));
}

TEST(PanelWidth, LengthPowerLawRoundsDownAndClampsAt50And400) {
  struct Case {
    size_t length;
    int width;
  };
  for (const Case& c : {Case{0, 50}, Case{24, 50}, Case{25, 51}, Case{100, 95}, Case{1000, 268},
                        Case{2423, 400}, Case{100000, 400}}) {
    FixedPitchLines lines;
    TextPanelLayout layout(&lines);
    const std::string text(c.length, 'x');
    layout.BuildTextTemplate(text.c_str());
    EXPECT_EQ(layout.panelWidth, c.width) << "length " << c.length;
  }
  EXPECT_LT(PanelWidthForLength(2422), 400);
}

TEST(PanelWidth, ProductFormMatchesThePowerLawForEveryLength) {
  // The width is worked out without pow; any rounding slip would shift a panel by a unit.
  for (size_t length = 0; length < 20000; ++length) {
    const double width = std::trunc(12.0 * std::pow(static_cast<double>(length), 0.45));
    const int expected = width < 50 ? 50 : width > 400 ? 400 : static_cast<int>(width);
    ASSERT_EQ(PanelWidthForLength(length), expected) << "length " << length;
  }
  EXPECT_EQ(PanelWidthForLength(static_cast<size_t>(-1)), 400);
}

TEST(PanelWidth, ExplicitWidthIsReadAndMarkupLeftOutOfTheBody) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("|120|two words");
  EXPECT_EQ(layout.panelWidth, 120);
  ASSERT_EQ(layout.itemCount, 1);
  EXPECT_STREQ(layout.textSlots[0], "two words");
  EXPECT_EQ(TextItem(layout, 0).cx, 111);

  // Not clamped to 400 when given explicitly.
  layout.BuildTextTemplate("| 450|wide");
  EXPECT_EQ(layout.panelWidth, 450);
}

TEST(PanelWidth, MissingClosingBarKeepsTheTextAfterTheNumber) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("|80Plain words");
  EXPECT_EQ(layout.panelWidth, 80);
  ASSERT_EQ(layout.itemCount, 1);
  EXPECT_STREQ(layout.textSlots[0], "Plain words");
}

TEST(PanelWidth, TinyOrNegativeExplicitWidthStillLeavesRoomBesideABullet) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  for (const char* text : {"|5|*x", "|-40|*x", "||*x"}) {
    layout.BuildTextTemplate(text);
    EXPECT_EQ(layout.panelWidth, 16) << text;
    ASSERT_EQ(layout.itemCount, 2);
    EXPECT_GT(TextItem(layout, 1).cx, 0) << text;
  }
  layout.BuildTextTemplate("|99999999999999999999|x");  // no overflow into a negative width
  EXPECT_EQ(layout.panelWidth, 32767);
}

TEST(Paragraphs, GraveAccentSplitsAndLeadingOneAddsFourUnits) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);

  layout.BuildTextTemplate("one`two");
  ASSERT_EQ(layout.itemCount, 2);
  EXPECT_EQ(TextItem(layout, 0).y, 3);
  EXPECT_EQ(TextItem(layout, 1).y, 11);
  EXPECT_STREQ(layout.textSlots[1], "two");

  layout.BuildTextTemplate("one``two");
  ASSERT_EQ(layout.itemCount, 2);
  EXPECT_EQ(TextItem(layout, 1).y, 15);
  EXPECT_STREQ(layout.textSlots[1], "two");
  EXPECT_EQ(layout.panelHeight, 3 + 4 + 16 + 4 + 2);

  layout.BuildTextTemplate("`one");
  ASSERT_EQ(layout.itemCount, 1);
  EXPECT_EQ(TextItem(layout, 0).y, 7);
  EXPECT_STREQ(layout.textSlots[0], "one");
}

TEST(Paragraphs, TrailingGraveAccentAddsNoEmptyParagraph) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("one`");
  EXPECT_EQ(layout.itemCount, 1);
  EXPECT_EQ(layout.panelHeight, 3 + 8 + 4 + 2);
}

TEST(Paragraphs, EmptyTextGivesNoItemsAndTheMinimalPanel) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("");
  EXPECT_EQ(layout.itemCount, 0);
  EXPECT_EQ(layout.panelWidth, 50);
  EXPECT_EQ(layout.panelHeight, 9);
  EXPECT_TRUE(lines.widths.empty());
  EXPECT_EQ(lines.releases, 0);
  const TemplateDialog d = Parse(layout);
  ASSERT_EQ(d.items.size(), 1u);
  EXPECT_EQ(d.items[0].x, 13);
  EXPECT_EQ(d.items[0].y, -3);  // (7 - 14) / 2 truncates toward zero

  layout.BuildTextTemplate(nullptr);
  EXPECT_EQ(layout.itemCount, 0);
}

TEST(Paragraphs, BulletGetsAStarItemAndANarrowerIndentedText) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("*word");
  ASSERT_EQ(layout.itemCount, 2);
  EXPECT_STREQ(layout.textSlots[0], "*");
  EXPECT_STREQ(layout.textSlots[1], "word");
  const TemplateItem star = TextItem(layout, 0);
  const TemplateItem text = TextItem(layout, 1);
  EXPECT_EQ(star.x, 4);
  EXPECT_EQ(star.y, 4);
  EXPECT_EQ(star.cx, 6);
  EXPECT_EQ(star.cy, 8);
  EXPECT_EQ(text.x, 10);
  EXPECT_EQ(text.y, 3);
  EXPECT_EQ(text.cx, 50 - 9 - 6);
  EXPECT_EQ(layout.panelHeight, 3 + 8 + 4 + 2);  // the star adds no height

  layout.BuildTextTemplate("* word");
  ASSERT_EQ(layout.itemCount, 1);
  EXPECT_STREQ(layout.textSlots[0], "* word");
  EXPECT_EQ(TextItem(layout, 0).x, 4);
  EXPECT_EQ(TextItem(layout, 0).cx, 50 - 9);
}

TEST(Paragraphs, WrappedBulletAddsItsLinesOnly) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  // Width 50: bullet text 35 units = 8 characters per line.
  layout.BuildTextTemplate("*aaaa bbbb cccc");
  ASSERT_EQ(layout.itemCount, 2);
  EXPECT_EQ(TextItem(layout, 1).cy, 24);
  EXPECT_EQ(layout.panelHeight, 3 + 24 + 4 + 2);
}

TEST(Paragraphs, LineFeedBecomesCrLfAndForcesASecondLine) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("a\nb");
  ASSERT_EQ(layout.itemCount, 1);
  EXPECT_STREQ(layout.textSlots[0], "a\r\nb");
  EXPECT_GE(TextItem(layout, 0).cy, 16);
}

TEST(Measuring, WidthFollowsTheIndentAndIsReleasedOnceAtTheEnd) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("a`*b`c");
  EXPECT_EQ(lines.widths, (std::vector<int>{41, 35, 41}));
  EXPECT_EQ(lines.releases, 1);
  EXPECT_EQ(layout.measureWidth, 0);
}

TEST(Measuring, WithoutAServiceForcedBreaksStillCount) {
  TextPanelLayout layout(nullptr);
  layout.BuildTextTemplate("a\nb\nc");
  EXPECT_EQ(TextItem(layout, 0).cy, 24);
}

TEST(Measuring, AbsurdLineCountsNeitherShrinkNorWrapTheHeight) {
  ConstantLines zero(0);
  TextPanelLayout a(&zero);
  a.BuildTextTemplate("x");
  EXPECT_EQ(TextItem(a, 0).cy, 8);

  ConstantLines huge(1 << 30);
  TextPanelLayout b(&huge);
  b.BuildTextTemplate("a`b`c");
  EXPECT_EQ(b.panelHeight, 32767);
  for (int k = 0; k < b.itemCount; ++k) EXPECT_GT(TextItem(b, k).cy, 0);
}

TEST(Capacity, SeventeenthParagraphIsDroppedWithItsHeight) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  std::string text = "p";
  for (int i = 1; i < 20; ++i) text += "`p";
  EXPECT_FALSE(layout.BuildTextTemplate(text.c_str()));
  EXPECT_EQ(layout.itemCount, 16);
  EXPECT_EQ(layout.panelHeight, 3 + 16 * 8 + 4 + 2);
  const TemplateDialog d = Parse(layout);
  EXPECT_EQ(d.items.size(), 17u);
  EXPECT_LE(layout.TemplateSize(), kPanelTemplateCapacity);

  EXPECT_TRUE(layout.BuildTextTemplate("p`p"));  // the next build starts afresh
  EXPECT_EQ(layout.itemCount, 2);
}

TEST(Capacity, BulletWithoutRoomForBothItemsLeavesNoLoneStar) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  std::string text = "p";
  for (int i = 1; i < 15; ++i) text += "`p";
  text += "`*bullet";  // items 16 and 17 would be needed
  EXPECT_FALSE(layout.BuildTextTemplate(text.c_str()));
  EXPECT_EQ(layout.itemCount, 15);
  EXPECT_STREQ(layout.textSlots[14], "p");
}

TEST(Capacity, OverlongBodyIsCutBetweenCrLfPairs) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  const std::string text = "a" + std::string(kPanelBodyCapacity, '\n');
  EXPECT_FALSE(layout.BuildTextTemplate(text.c_str()));
  ASSERT_EQ(layout.itemCount, 1);
  const std::string slot = layout.textSlots[0];
  EXPECT_LT(slot.size(), kPanelBodyCapacity);
  EXPECT_EQ(slot.size() % 2, 1u);  // "a" and whole CR LF pairs
  EXPECT_EQ(slot.substr(slot.size() - 2), "\r\n");
}

TEST(TemplateBytes, TextPanelParsesBackAsTheDialogManagerReadsIt) {
  FixedPitchLines lines;
  TextPanelLayout layout(&lines);
  layout.BuildTextTemplate("|100|First paragraph`*bullet``last");
  const TemplateDialog d = Parse(layout);
  EXPECT_FALSE(d.extended);
  EXPECT_EQ(d.style, 0x80800A00u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_FALSE(d.menu.present);
  EXPECT_FALSE(d.windowClass.present);
  EXPECT_EQ(d.title, "");
  EXPECT_FALSE(d.hasFont);
  EXPECT_EQ(d.x, 0);
  EXPECT_EQ(d.y, 0);
  EXPECT_EQ(d.cx, 100);
  EXPECT_EQ(d.cy, layout.panelHeight);
  ASSERT_EQ(d.itemCount, 5);
  ASSERT_EQ(layout.itemCount, 4);
  EXPECT_EQ(d.size, layout.TemplateSize());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(layout.Template()) % 4, 0u);

  const TemplateItem& button = d.items[0];
  EXPECT_EQ(button.style, 0x40000000u);
  EXPECT_EQ(button.exStyle, 0u);
  EXPECT_EQ(button.id, 20u);
  EXPECT_TRUE(button.windowClass.isOrdinal);
  EXPECT_EQ(button.windowClass.ordinal, 0x0080);
  EXPECT_EQ(button.title.text, "&OK");
  EXPECT_EQ(button.cx, 24);
  EXPECT_EQ(button.cy, 14);
  EXPECT_EQ(button.x, (100 - 24) / 2);
  EXPECT_EQ(button.y, (layout.panelHeight - 2 - 14) / 2);
  EXPECT_EQ(button.extraSize, 0);

  const int expectedY[] = {3, 12, 11, 23};
  const int expectedX[] = {4, 4, 10, 4};
  for (int k = 0; k < 4; ++k) {
    const TemplateItem& item = d.items[static_cast<size_t>(k + 1)];
    SCOPED_TRACE(k);
    EXPECT_EQ(item.offset % 4, 0u);
    EXPECT_EQ(item.style, 0x50000804u);
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.id, static_cast<uint32_t>(21 + k));
    EXPECT_TRUE(item.windowClass.isOrdinal);
    EXPECT_EQ(item.windowClass.ordinal, 0x0081);
    EXPECT_FALSE(item.title.present);
    EXPECT_EQ(item.extraSize, 0);
    EXPECT_EQ(item.x, expectedX[k]);
    EXPECT_EQ(item.y, expectedY[k]);
  }
}

TEST(TemplateBytes, MeasuringTemplateHoldsOneHiddenEditOfTheGivenWidth) {
  alignas(4) uint8_t buffer[kMeasuringTemplateCapacity];
  const size_t size = BuildMeasuringTemplate(buffer, sizeof buffer, 187);
  ASSERT_GT(size, 0u);
  TemplateDialog d;
  ASSERT_TRUE(TemplateReader(buffer, size).Parse(&d));
  EXPECT_EQ(d.style, 0x80800000u);
  EXPECT_EQ(d.cx, 500);
  EXPECT_EQ(d.cy, 500);
  ASSERT_EQ(d.items.size(), 1u);
  EXPECT_EQ(d.items[0].style, 0x40000804u);
  EXPECT_EQ(d.items[0].windowClass.ordinal, 0x0081);
  EXPECT_EQ(d.items[0].id, 20u);
  EXPECT_EQ(d.items[0].x, 4);
  EXPECT_EQ(d.items[0].y, 2);
  EXPECT_EQ(d.items[0].cx, 187);
  EXPECT_EQ(d.items[0].cy, 500);
  EXPECT_EQ(d.size, size);

  // Too small a buffer is refused rather than overrun.
  uint8_t small[40];
  EXPECT_EQ(BuildMeasuringTemplate(small, sizeof small, 187), 0u);
}

TEST(PlacePanel, OpensDownRightUnlessItWouldReachTheOwnersEdge) {
  const PanelRect owner{100, 100, 500, 400};
  // Room to the right and below: top-left one pixel up and left of the pointer.
  PanelPoint p = PlacePanelPosition({200, 150}, 100, 60, owner);
  EXPECT_EQ(p.x, 199);
  EXPECT_EQ(p.y, 149);
  // One pixel short of the edges still opens down-right.
  p = PlacePanelPosition({399, 339}, 100, 60, owner);
  EXPECT_EQ(p.x, 398);
  EXPECT_EQ(p.y, 338);
  // Exactly at the edges (strict comparison): to the left and above.
  p = PlacePanelPosition({400, 340}, 100, 60, owner);
  EXPECT_EQ(p.x, 400 - 100 + 2);
  EXPECT_EQ(p.y, 340 - 60 + 2);
  // Past the edges, with the panel wider than the space left of the pointer: not below 0 + 2.
  p = PlacePanelPosition({30, 20}, 100, 60, PanelRect{0, 0, 120, 70});
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.y, 2);
  // Extreme coordinates do not wrap around.
  p = PlacePanelPosition({2147483000, 0}, 1000, 10, PanelRect{0, 0, 2147483647, 100});
  EXPECT_EQ(p.x, 2147483000 - 1000 + 2);
}

}  // namespace
