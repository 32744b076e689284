// The installer window's platform-free rules: meter geometry, the QuickHelp state machine, the
// order of the status and focus steps, and the gate that keeps commands out of a running
// install attempt.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/dialog_steps.h"
#include "ui/progress_meter.h"
#include "ui/quickhelp.h"
#include "ui/setup_command_gate.h"

namespace {

// ---- progress meter ----

TEST(MeterGeometry, WorkedExampleLandsTextAndBarWhereTheDrawingExpects) {
  // A 384 x 20 frame at (10, 30), average character width 7, height 16, position 37.
  const MeterLayout m = LayOutMeter(10, 30, 383, 19, 37, 7, 16, 3);
  EXPECT_EQ(m.fill, 141);
  // The off-screen surface lands at (x + 1, y + 1), so the text is at (x + 182, y + 1).
  EXPECT_EQ(m.blitTo.x + m.text.x, 10 + 182);
  EXPECT_EQ(m.blitTo.y + m.text.y, 30 + 1);
  EXPECT_EQ(m.blitWidth, 382);
  EXPECT_EQ(m.blitHeight, 18);
  // A font taller than a tiny meter puts the text above it: truncation, not flooring.
  const MeterLayout tiny = LayOutMeter(0, 0, 3, 3, 0, 7, 15, 2);
  EXPECT_EQ(tiny.text.x, 1 - 7);
  EXPECT_EQ(tiny.text.y, 1 - 7 - 1);
}

TEST(MeterGeometry, FillCoversTheInsideAtTheEndsRoundsDownBetweenAndNeverLeavesIt) {
  struct Case {
    int32_t pos, fill;
    bool high;  // text in the high colour only above half
  } cases[] = {{-5, 0, false},   {0, 0, false},    {1, 3, false},
               {50, 191, false}, {51, 194, true},  {99, 378, true},
               {100, 382, true}, {150, 382, true}, {INT32_MAX, 382, true}};
  for (const Case& c : cases) {
    const MeterLayout m = LayOutMeter(0, 0, 383, 19, c.pos, 7, 16, 3);  // inside: 382 pixels
    EXPECT_EQ(m.fill, c.fill) << c.pos;
    EXPECT_EQ(m.bar.right, c.fill) << c.pos;
    EXPECT_EQ(m.rest.left, c.fill) << c.pos;
    EXPECT_EQ(m.rest.right, 382) << c.pos;  // the bitmap's last column is never filled
    EXPECT_EQ(m.bar.bottom, 18) << c.pos;
    EXPECT_EQ(m.highText, c.high) << c.pos;
  }
  // A frame wider than 100 pixels times 100 still fills exactly: no 32-bit overflow.
  EXPECT_EQ(LayOutMeter(0, 0, 30000001, 19, 99, 7, 16, 3).fill, 29700000);
}

TEST(MeterText, FormatsPercentAndNeverWritesPastTheBuffer) {
  char buf[16];
  EXPECT_EQ(FormatPercent(37, buf, sizeof buf), 3u);
  EXPECT_STREQ(buf, "37%");
  FormatPercent(-2147483647 - 1, buf, sizeof buf);
  EXPECT_STREQ(buf, "-2147483648%");
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(FormatPercent(1000, small, sizeof small), 3u);
  EXPECT_STREQ(small, "100");
}

// ---- QuickHelp ----

struct Window {
  int id;  // control id under the point; 0 = the dialog itself
  bool visible = true;
  bool enabled = true;
};

// A dialog at (0,0)-(300,200): x < 100 is the Install button (1), x in [100,200) the Abort
// button (2), x >= 200 the check box (114); y >= 150 is the dialog's own surface. Panels
// cover 50 x 50 pixels from their placement point.
class FakeQuickHelpOps final : public QuickHelpOps {
 public:
  bool PanelContains(CQuickHelpPanel* panel, int32_t x, int32_t y) override {
    const Placed& p = placed.at(Index(panel));
    return x >= p.x && x < p.x + 50 && y >= p.y && y < p.y + 50;
  }
  bool DialogContains(CDialog*, int32_t x, int32_t y) override {
    return x >= 0 && x < 300 && y >= 0 && y < 200;
  }
  QuickHelpItem ItemAt(CDialog*, int32_t x, int32_t y) override {
    if (y >= 150) return QuickHelpItem{true, true, true, 0};
    const Window& w = x < 100 ? install : x < 200 ? abort : check;
    return QuickHelpItem{true, w.visible, w.enabled, w.id};
  }
  void* GetFocus() override { return focus; }
  void SetFocus(void* window) override {
    focus = window;
    log.push_back("focus");
  }
  CQuickHelpPanel* CreatePanel(CDialog*, int32_t panelId, const char* text) override {
    log.push_back(text != nullptr ? std::string("create text ") + text
                                  : "create " + std::to_string(panelId));
    if (failCreate) return nullptr;
    placed.push_back(Placed{panelId, -1000, -1000, true});
    return Panel(placed.size() - 1);
  }
  void PlacePanel(CQuickHelpPanel* panel, int32_t x, int32_t y, CDialog*) override {
    placed.at(Index(panel)).x = x;
    placed.at(Index(panel)).y = y;
    log.push_back("place");
  }
  void CapturePointer(CQuickHelpPanel*) override { log.push_back("capture"); }
  void SetCursor(void*) override { log.push_back("dot"); }
  void DestroyPanel(CQuickHelpPanel* panel) override {
    placed.at(Index(panel)).alive = false;
    log.push_back("destroy " + std::to_string(placed.at(Index(panel)).panelId));
  }

  int OpenPanelId() const {
    return quickHelpState.openPanel == nullptr ? 0
                                               : placed.at(Index(quickHelpState.openPanel)).panelId;
  }

  struct Placed {
    int32_t panelId, x, y;
    bool alive;
  };
  std::vector<Placed> placed;
  std::vector<std::string> log;
  Window install{1}, abort{2}, check{114};
  void* focus = reinterpret_cast<void*>(0x1234);
  bool failCreate = false;

 private:
  // Panels are handed out as opaque tokens: index + 1, never dereferenced.
  static CQuickHelpPanel* Panel(size_t i) { return reinterpret_cast<CQuickHelpPanel*>(i + 1); }
  static size_t Index(CQuickHelpPanel* p) { return reinterpret_cast<size_t>(p) - 1; }
};

CDialog* const kDialog = reinterpret_cast<CDialog*>(0x40);
const QuickHelpEntry kTable[] = {{2, 107}, {1, 106}, {105, 109}, {7, 0}, {0, 0}};

class QuickHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quickHelpState = QuickHelpState{};
    ConfigureQuickHelp(111, reinterpret_cast<void*>(0x99), 113);
  }
  void Click(int32_t x, int32_t y, const QuickHelpEntry* table = kTable,
             const QuickHelpTextEntry* texts = nullptr) {
    ShowQuickHelpWith(ops, kDialog, x, y, table, texts);
  }
  FakeQuickHelpOps ops;
};

TEST_F(QuickHelpTest, LookupTakesTheFirstRowAndARowWithoutPanelFallsBackPastTheTextTable) {
  const QuickHelpEntry dup[] = {{1, 106}, {1, 107}, {0, 0}};
  EXPECT_EQ(ChooseQuickHelpPanel(1, dup, nullptr).panelId, 106);
  const QuickHelpTextEntry texts[] = {{7, "seven"}, {8, nullptr}, {9, "nine"}, {0, nullptr}};
  EXPECT_EQ(ChooseQuickHelpPanel(7, kTable, texts).kind, QuickHelpChoice::kFallback);
  EXPECT_EQ(ChooseQuickHelpPanel(8, kTable, texts).kind, QuickHelpChoice::kFallback);
  const QuickHelpChoice nine = ChooseQuickHelpPanel(9, kTable, texts);
  EXPECT_EQ(nine.kind, QuickHelpChoice::kTextPanel);
  EXPECT_STREQ(nine.text, "nine");
  EXPECT_EQ(ChooseQuickHelpPanel(0, kTable, texts).kind, QuickHelpChoice::kFallback);
  EXPECT_EQ(ChooseQuickHelpPanel(55, nullptr, nullptr).kind, QuickHelpChoice::kFallback);
}

TEST_F(QuickHelpTest, OpeningAPanelPlacesItThenCapturesThenShowsTheDot) {
  Click(10, 10);
  EXPECT_EQ(ops.OpenPanelId(), 106);
  EXPECT_EQ(ops.log, (std::vector<std::string>{"create 106", "place", "capture", "dot"}));
  EXPECT_EQ(quickHelpState.savedFocus, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(quickHelpState.ownerDialog, kDialog);
}

TEST_F(QuickHelpTest, TransitionsFollowWhereTheRightClickLands) {
  struct Step {
    int32_t x, y;
    bool tables;
    int open;  // the panel open afterwards, 0 for none
  } steps[] = {
      {250, 10, true, 113},   // the check box has no row: the general panel, from idle
      {250, 160, true, 0},    // the dialog's surface while a panel is open: only closes
      {250, 160, true, 113},  // the same click from idle opens the general panel
      {10, 10, true, 106},    // another item switches panels
      {150, 100, true, 107},
      {160, 110, true, 0},  // inside the open panel (placed at 150,100): only closes
      {400, 10, true, 0},   // outside the dialog
      {-1, -1, true, 0},    // a context menu from the keyboard
      {10, 10, true, 106},
      {150, 10, false, 106},  // both tables null: the open panel stays
      {400, 10, true, 0},     // outside: closes
  };
  for (const Step& s : steps) {
    Click(s.x, s.y, s.tables ? kTable : nullptr);
    EXPECT_EQ(ops.OpenPanelId(), s.open) << s.x << "," << s.y;
    int alive = 0;
    for (const auto& p : ops.placed) alive += p.alive;
    EXPECT_EQ(alive, s.open != 0 ? 1 : 0) << s.x << "," << s.y;
  }
}

TEST_F(QuickHelpTest, ClosingHandsTheFocusBackEvenWhenNothingHadIt) {
  ops.focus = nullptr;
  Click(10, 10);
  ops.focus = reinterpret_cast<void*>(0x777);  // the panel took the focus meanwhile
  CloseQuickHelpWith(ops);
  EXPECT_EQ(ops.focus, nullptr);
  EXPECT_EQ(ops.log.back(), "focus");
  ops.log.clear();
  CloseQuickHelpWith(ops);  // idle: the focus is not touched
  EXPECT_TRUE(ops.log.empty());
}

TEST_F(QuickHelpTest, HiddenButEnabledOrDisabledButVisibleItemsKeepTheirOwnPanel) {
  ops.install.enabled = false;  // the Install button after a finished install
  Click(10, 10);
  EXPECT_EQ(ops.OpenPanelId(), 106);
  CloseQuickHelpWith(ops);
  ops.install.visible = false;  // neither visible nor enabled: treated as no item
  Click(10, 10);
  EXPECT_EQ(ops.OpenPanelId(), 113);
}

TEST_F(QuickHelpTest, WithoutGeneralPanelOrDotCursorNothingFallsBackAndThePointerStays) {
  ConfigureQuickHelp(111, nullptr, 0);
  Click(250, 10);
  EXPECT_EQ(ops.OpenPanelId(), 0);
  Click(10, 10);
  EXPECT_EQ(ops.OpenPanelId(), 106);
  EXPECT_EQ(ops.log.back(), "capture");
}

TEST_F(QuickHelpTest, APanelThatCannotBeCreatedLeavesQuickHelpIdleWithoutCapture) {
  ops.failCreate = true;
  Click(10, 10);
  EXPECT_EQ(quickHelpState.openPanel, nullptr);
  EXPECT_EQ(ops.log, (std::vector<std::string>{"create 106"}));
}

TEST(SetupHelpTable, AbortRowComesFirstSoTheFinishedStateCanRetargetIt) {
  EXPECT_EQ(setupHelpTable[0].controlId, 2);
  EXPECT_EQ(ChooseQuickHelpPanel(105, setupHelpTable, nullptr).panelId, 109);
}

// ---- status line and focus ----

class RecordingItems final : public DialogItemOps {
 public:
  void ShowItem(int id, bool show) override { Log(id, show ? "show" : "hide"); }
  void SetItemText(int id, const char* text) override {
    Log(id, std::string("text '") + text + "'");
  }
  void UpdateDialog() override { log.push_back("update"); }
  void MoveFocusTo(int id) override { Log(id, "nextdlgctl"); }
  void SetSelection(int id, uint32_t s, uint32_t e) override {
    Log(id, "setsel " + std::to_string(s) + "," + std::to_string(e));
  }
  void ScrollCaret(int id) override { Log(id, "scrollcaret"); }
  MeterRect ItemScreenRect(int) override { return rect; }
  void SetPointerPos(int32_t x, int32_t y) override {
    log.push_back("pointer " + std::to_string(x) + "," + std::to_string(y));
  }
  void Log(int id, const std::string& s) { log.push_back(std::to_string(id) + " " + s); }
  std::vector<std::string> log;
  MeterRect rect{0, 0, 0, 0};
};

TEST(StatusLine, OldTextIsWipedAndRepaintedBeforeTheNewTextIsDrawn) {
  RecordingItems items;
  RunShowStatus(items, 102, "Installing:   a.txt");
  EXPECT_EQ(items.log, (std::vector<std::string>{"102 hide", "102 text ''", "102 show", "update",
                                                 "102 text 'Installing:   a.txt'", "update"}));
}

TEST(FocusItem, CaretGoesAfterTheLastCharacterBeforeThePointerMovesToTheCentre) {
  RecordingItems items;
  items.rect = MeterRect{100, 50, 201, 71};
  RunFocusItem(items, 104);
  EXPECT_EQ(items.log, (std::vector<std::string>{"104 nextdlgctl", "104 setsel 65535,65535",
                                                 "104 scrollcaret", "pointer 150,60"}));
  items.rect = MeterRect{-7, -9, 0, 0};  // left of the screen origin: truncated toward zero
  RunFocusItem(items, 2);
  EXPECT_EQ(items.log.back(), "pointer -3,-4");
}

// ---- command gate ----

TEST(SetupCommandGate, SecondInstallDuringAnAttemptIsDropped) {
  SetupCommandGate gate;
  ASSERT_TRUE(gate.BeginInstall());
  EXPECT_FALSE(gate.BeginInstall());  // from a message box's loop
  EXPECT_FALSE(gate.EndInstall());
  EXPECT_TRUE(gate.BeginInstall());  // a new attempt after the first has returned
  EXPECT_FALSE(gate.EndInstall());
}

TEST(SetupCommandGate, CloseDuringAnAttemptRunsOnceRightAfterIt) {
  SetupCommandGate gate;
  ASSERT_TRUE(gate.BeginInstall());
  EXPECT_FALSE(gate.RequestClose());  // Esc while the message box is open
  EXPECT_FALSE(gate.RequestClose());  // and the close box too
  EXPECT_FALSE(gate.Closed());
  EXPECT_TRUE(gate.EndInstall());  // carried out now, once
  EXPECT_TRUE(gate.Closed());
  EXPECT_FALSE(gate.RequestClose());
  EXPECT_FALSE(gate.BeginInstall());  // nothing starts on a closed dialog

  SetupCommandGate idle;  // when idle a close runs at once, and only once
  EXPECT_TRUE(idle.RequestClose());
  EXPECT_FALSE(idle.RequestClose());
}

}  // namespace
