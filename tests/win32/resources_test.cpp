// The setup program's resources as the compiled program carries them (this test links the
// same resource object as tsarin-setup.exe and reads it back from its own image), and the
// Win32 side of the QuickHelp panel layout.

#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/panel_layout.h"
#include "ui/panel_layout_win32.h"
#include "ui/template_reader.h"

namespace {

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

struct Blob {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

Blob Resource(int id, LPCSTR type) {
  Blob b;
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (!found) return b;
  HGLOBAL loaded = LoadResource(nullptr, found);
  b.data = static_cast<const uint8_t*>(LockResource(loaded));
  b.size = SizeofResource(nullptr, found);
  return b;
}

TemplateDialog DialogResource(int id) {
  TemplateDialog d;
  const Blob b = Resource(id, MAKEINTRESOURCEA(5));  // RT_DIALOG
  EXPECT_NE(b.data, nullptr) << "dialog " << id;
  if (b.data) {
    EXPECT_TRUE(TemplateReader(b.data, b.size).Parse(&d)) << "dialog " << id;
  }
  return d;
}

struct ItemRow {
  int32_t id;
  uint16_t windowClass;
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
  const char* text;  // null: checked separately
};

constexpr uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;

void ExpectItem(const TemplateItem& item, const ItemRow& row) {
  EXPECT_EQ(static_cast<int32_t>(item.id), row.id);
  EXPECT_EQ(item.windowClass, "#" + std::to_string(row.windowClass));
  EXPECT_EQ(item.style, row.style);
  EXPECT_EQ(item.exStyle, row.exStyle);
  EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
            (std::vector<int>{row.x, row.y, row.cx, row.cy}));
  EXPECT_EQ(item.helpId, 0u);
  EXPECT_EQ(item.extraSize, 0);
  if (row.text) {
    EXPECT_EQ(item.title, row.text);
  }
}

TEST(SetupDialogTemplate, HeaderKeepsExactStyleGeometryFontAndTitle) {
  const TemplateDialog d = DialogResource(IDD_SETUP);
  EXPECT_TRUE(d.extended);
  EXPECT_EQ(d.helpId | d.exStyle, 0u);
  EXPECT_EQ(d.style, 0x90CB00C0u);
  EXPECT_EQ((std::vector<int>{d.x, d.y, d.cx, d.cy}), (std::vector<int>{64, 60, 266, 180}));
  EXPECT_EQ(d.menu + d.windowClass, "");
  EXPECT_EQ(d.title, "Tessarin - Installation");
  ASSERT_TRUE(d.hasFont);
  EXPECT_EQ((std::vector<int>{d.pointSize, d.weight, d.italic, d.charset}),
            (std::vector<int>{8, 0, 0, DEFAULT_CHARSET}));
  EXPECT_EQ(d.face, "MS Sans Serif");
}

TEST(SetupDialogTemplate, ControlsKeepIdsClassesStylesRectanglesTextsAndOrder) {
  const TemplateDialog d = DialogResource(IDD_SETUP);
  const ItemRow rows[] = {
      {1, kButton, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 27, 158, 64, 15, "&Install"},
      {105, kStatic, kChild | SS_LEFT | WS_GROUP, 0, 5, 41, 61, 8, "Install to &directory:"},
      {104, kEdit, kChild | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 68, 39, 193, 12, ""},
      {-1, kStatic, kChild | SS_LEFT | WS_GROUP, 0, 5, 88, 253, 25,
       "      If you are a software developer or programmer, check this box to also install the "
       "modules and documentation which enable you to incorporate Tessarin conversion "
       "technology into your software applications."},
      {2, kButton, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 171, 158, 64, 15, "&Abort"},
      {-1, kStatic, kChild | SS_ETCHEDHORZ, 0, 5, 82, 256, 1, ""},
      {-1, kStatic, kChild | SS_CENTER, 0, 31, 11, 204, 18, nullptr},
      {103, kStatic, WS_CHILD | SS_BLACKFRAME, 0, 5, 137, 256, 12, ""},
      {-1, kStatic, kChild | SS_LEFT | WS_GROUP, 0, 5, 55, 253, 27,
       "Any pre-existing files in the above directory will be deleted. This directory will be "
       "automatically created if necessary. It should be different from the directory where "
       "the downloaded TSARIN.EXE was saved."},
      {-1, kStatic, kChild | SS_ETCHEDFRAME | SS_SUNKEN, WS_EX_DLGMODALFRAME, 5, 5, 256, 29, ""},
      {102, kEdit, kChild | ES_MULTILINE | ES_READONLY, WS_EX_CLIENTEDGE, 5, 123, 256, 12, ""},
      {114, kButton, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 5, 87, 9, 10, ""},
      {-1, kStatic, kChild | SS_ETCHEDHORZ, 0, 5, 116, 256, 1, ""},
  };
  ASSERT_EQ(d.itemCount, 13);
  ASSERT_EQ(d.items.size(), 13u);
  for (size_t i = 0; i < 13; ++i) {
    SCOPED_TRACE("control row " + std::to_string(i + 1));
    ExpectItem(d.items[i], rows[i]);
  }
  // The notice: the maker's line, a line break, the QuickHelp hint.
  const std::string notice = d.items[6].title;
  const size_t lf = notice.find('\n');
  ASSERT_NE(lf, std::string::npos);
  EXPECT_GT(lf, 0u);
  EXPECT_EQ(notice.substr(lf + 1), "For Help with any item, click right mouse button on it.");
}

TEST(PanelTemplates, PanelsAreHiddenCaptionlessWithTheirTextItems) {
  constexpr uint32_t kThin = 0x80800040, kFramed = 0x800000C0;  // WS_BORDER: no caption
  constexpr uint32_t kGrouped = 0x50020000, kPlain = 0x50000000;
  struct Panel {
    int id;
    uint32_t style;
    int16_t x, y, cx, cy;
  } panels[] = {{106, kThin, 89, 63, 100, 32},
                {107, kThin, 89, 63, 78, 23},
                {108, kThin, 89, 63, 127, 24},
                {109, kThin, 89, 63, 107, 49},
                {113, kFramed, 50, 80, 206, 94}};
  // Every panel item is a static control without an id; in order, by panel.
  struct PanelItem {
    int panel;
    uint32_t style;
    int16_t x, y, cx, cy;
    const char* text;
  } items[] = {
      {106, kGrouped, 6, 3, 89, 26,
       "Click on this button to install the software into the directory shown above."},
      {107, kGrouped, 3, 3, 73, 19, "Click on this button to abort installation."},
      {108, kGrouped, 5, 3, 116, 17,
       "Click on this button to exit installation and start the Tessarin program."},
      {109, kGrouped, 5, 3, 96, 42,
       "In this space, enter the drive and directory (path) where the software should be "
       "installed. If the directory does not exist, it will be created automatically."},
      {113, kPlain, 6, 5, 196, 33,
       "Clicking the right mouse button on any dialog item (such as a check box or a button) "
       "displays QuickHelp on that item if available, else it displays this panel. The mouse "
       "cursor also changes to a dot, indicating that you are in QuickHelp mode."},
      {113, kPlain, 6, 41, 196, 33,
       "Some dialog items (such as edit fields where you can type in information) display a "
       "special Windows menu when you click the right mouse button on them. For QuickHelp on "
       "such items, click the right mouse button on some other item first."},
      {113, kPlain, 6, 79, 196, 10, "To close a QuickHelp panel, simply click inside it."},
  };
  for (const Panel& p : panels) {
    SCOPED_TRACE("panel " + std::to_string(p.id));
    const TemplateDialog d = DialogResource(p.id);
    EXPECT_FALSE(d.extended);
    EXPECT_EQ(d.menu + d.windowClass + d.title, "");
    EXPECT_EQ(d.style, p.style);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ((std::vector<int>{d.x, d.y, d.cx, d.cy}), (std::vector<int>{p.x, p.y, p.cx, p.cy}));
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");
    size_t i = 0;
    for (const PanelItem& it : items) {
      if (it.panel != p.id) continue;
      ASSERT_LT(i, d.items.size());
      // The classic layout stores 16-bit ids: -1 is 0xFFFF.
      ExpectItem(d.items[i++], {0xFFFF, kStatic, it.style, 0, it.x, it.y, it.cx, it.cy, it.text});
    }
    EXPECT_EQ(i, d.items.size());
  }
}

TEST(PanelTemplates, DialogManagerCreatesEveryPanelHidden) {
  for (int panelId : {106, 107, 108, 109, 113}) {
    HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(panelId), nullptr,
                                    NoDialogProc, 0);
    ASSERT_NE(panel, nullptr) << panelId;
    EXPECT_FALSE(IsWindowVisible(panel)) << panelId;
    DestroyWindow(panel);
  }
}

// A bitmap resource as the platform loads it: a DIB section (so its depth reads back) in a
// memory DC, where GetPixel answers in RGB whatever the depth.
class LoadedBitmap {
 public:
  explicit LoadedBitmap(int id)
      : bitmap_(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
        dc_(CreateCompatibleDC(nullptr)),
        old_(SelectObject(dc_, bitmap_)) {
    if (!GetObjectA(bitmap_, sizeof info, &info)) info = {};
  }
  ~LoadedBitmap() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  int Red(int x, int y) const { return GetRValue(GetPixel(dc_, x, y)); }
  int Green(int x, int y) const { return GetGValue(GetPixel(dc_, x, y)); }
  int Blue(int x, int y) const { return GetBValue(GetPixel(dc_, x, y)); }
  DIBSECTION info = {};

 private:
  HBITMAP bitmap_;
  HDC dc_;
  HGDIOBJ old_;
};

TEST(Bitmaps, SizesDepthsAndColoursAreWhatTheDialogsTile) {
  struct Expect {
    int id, width, height, bits;
  };
  for (const Expect& e :
       {Expect{IDB_SETUP_BACKGROUND, 150, 170, 24}, Expect{IDB_SETUP_BACKGROUND_PALETTE, 90, 90, 4},
        Expect{IDB_PANEL_BACKGROUND, 32, 32, 4}}) {
    const LoadedBitmap bitmap(e.id);
    const BITMAPINFOHEADER& h = bitmap.info.dsBmih;
    EXPECT_EQ((std::vector<int>{h.biWidth, std::abs(h.biHeight), h.biBitCount,
                                static_cast<int>(h.biCompression)}),
              (std::vector<int>{e.width, e.height, e.bits, BI_RGB}))
        << "bitmap " << e.id;
  }

  // QuickHelp panels: plain yellow.
  const LoadedBitmap yellow(IDB_PANEL_BACKGROUND);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_TRUE(yellow.Red(x, y) == 255 && yellow.Green(x, y) == 255 && yellow.Blue(x, y) == 0)
          << x << "," << y;

  // Marble: light everywhere so text stays readable, bluish on average, and not flat.
  const LoadedBitmap marble(IDB_SETUP_BACKGROUND);
  long red = 0, blue = 0;
  int darkest = 255, lightest = 0;
  for (int y = 0; y < 170; ++y)
    for (int x = 0; x < 150; ++x) {
      red += marble.Red(x, y);
      blue += marble.Blue(x, y);
      darkest = std::min(darkest, marble.Red(x, y));
      lightest = std::max(lightest, marble.Red(x, y));
    }
  EXPECT_GE(darkest, 160);
  EXPECT_GT(blue, red);
  EXPECT_GT(lightest - darkest, 20);

  // Specks: mostly white, a few grey pixels, nothing coloured or dark.
  const LoadedBitmap specks(IDB_SETUP_BACKGROUND_PALETTE);
  int white = 0, grey = 0;
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 90; ++x) {
      const int r = specks.Red(x, y);
      EXPECT_TRUE(r == specks.Green(x, y) && r == specks.Blue(x, y) && r >= 128);
      (r >= 240 ? white : grey)++;
    }
  EXPECT_GT(grey, 0);
  EXPECT_GT(white, 90 * 90 * 9 / 10);
}

bool InDot(int row, int column) {
  if (row == 13 || row == 17) return column >= 14 && column <= 16;
  if (row >= 14 && row <= 16) return column >= 13 && column <= 17;
  return false;
}

TEST(DotCursor, OnlyTheDotInvertsAndTheHotspotIsItsCentre) {
  HCURSOR cursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_QUICKHELP_DOT));
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 15u);
  EXPECT_EQ(info.yHotspot, 15u);
  // Monochrome: one mask bitmap 32 x 64, the AND mask above the XOR mask, rows top-down.
  EXPECT_EQ(info.hbmColor, nullptr);
  BITMAP mask = {};
  ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof mask, &mask));
  ASSERT_EQ((std::vector<int>{mask.bmWidth, mask.bmHeight, mask.bmWidthBytes}),
            (std::vector<int>{32, 64, 4}));
  uint8_t bits[4 * 64] = {};
  ASSERT_EQ(GetBitmapBits(info.hbmMask, sizeof bits, bits), static_cast<LONG>(sizeof bits));
  for (int row = 0; row < 32; ++row)
    for (int column = 0; column < 32; ++column) {
      const int at = row * 4 + column / 8, bit = 0x80 >> (column % 8);
      ASSERT_TRUE(bits[at] & bit) << row << "," << column;  // AND: the screen shows through
      ASSERT_EQ((bits[128 + at] & bit) != 0, InDot(row, column)) << row << "," << column;
    }
  DeleteObject(info.hbmMask);
}

TEST(Manifest, AsksForAdministratorCommonControls6AndDpiAwareness) {
  const Blob b = Resource(1, MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(b.data, nullptr);
  const std::string text(reinterpret_cast<const char*>(b.data), b.size);
  for (const char* needle :
       {"level=\"requireAdministrator\"", "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"", "<dpiAware", "e2011457-1546-43c5-a5fe-008deee3d3f0",
        "35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
        "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
}

TEST(VersionInfo, NamesProductAndCompany) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  DWORD unused = 0;
  std::vector<char> data(GetFileVersionInfoSizeA(path, &unused));
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data()));
  for (const auto& [key, want] :
       {std::pair<std::string, std::string>{"ProductName", "Tessarin Setup"},
        {"CompanyName", "Halvorsk"}}) {
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), ("\\StringFileInfo\\040904B0\\" + key).c_str(),
                               reinterpret_cast<void**>(&value), &length))
        << key;
    EXPECT_EQ(value, want);
  }
}

TEST(MeasuringLineCounter, CountsWrappedAndForcedLinesAndKeepsItsWindowPerWidth) {
  MeasuringLineCounter lines;
  EXPECT_EQ(lines.CountLines("Word", 100), 1);
  EXPECT_EQ(lines.CountLines("", 100), 1);
  EXPECT_EQ(lines.CountLines("a\r\nb", 100), 2);
  const char* sentence =
      "Some dialog items display a special Windows menu when you click the right mouse button "
      "on them.";
  const int narrow = lines.CountLines(sentence, 41);
  EXPECT_GT(narrow, 2);
  EXPECT_LT(lines.CountLines(sentence, 391), narrow);
  EXPECT_EQ(lines.WindowsCreated(), 3);  // 100, 41, 391
  lines.CountLines("b", 391);
  EXPECT_EQ(lines.WindowsCreated(), 3);
  lines.ReleaseMeasuring();
  lines.CountLines("d", 391);
  EXPECT_EQ(lines.WindowsCreated(), 4);
}

TEST(TextPanelTemplate, DialogManagerBuildsTheButtonAndTextItems) {
  MeasuringLineCounter lines;
  TextPanelLayout layout(&lines);
  ASSERT_TRUE(layout.BuildTextTemplate("First paragraph`*bullet``last\nline"));
  ASSERT_EQ(layout.itemCount, 4);
  EXPECT_EQ(lines.WindowsCreated(), 3);  // widths 50, 44, 50: one window per change
  HWND panel = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                          reinterpret_cast<LPCDLGTEMPLATEA>(layout.Template()),
                                          nullptr, NoDialogProc, 0);
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(IsWindowVisible(panel));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(panel, kPanelButtonId)));
  for (int k = 0; k < layout.itemCount; ++k) {
    EXPECT_TRUE(SetDlgItemTextA(panel, kPanelFirstTextId + k, layout.textSlots[k])) << k;
  }
  // The last paragraph's forced break makes it two lines high, in the panel as measured.
  EXPECT_EQ(SendDlgItemMessageA(panel, kPanelFirstTextId + 3, EM_GETLINECOUNT, 0, 0), 2);
  DestroyWindow(panel);
}

TEST(PlacePanel, ShowsThePanelOnePixelUpAndLeftOfThePointer) {
  HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PANEL_INSTALL),
                                  nullptr, NoDialogProc, 0);
  ASSERT_NE(panel, nullptr);
  const RECT owner = {0, 0, 800, 600};
  PlacePanel(panel, 200, 150, owner);
  RECT r = {};
  GetWindowRect(panel, &r);
  EXPECT_EQ(r.left, 199);
  EXPECT_EQ(r.top, 149);
  EXPECT_TRUE(IsWindowVisible(panel));
  DestroyWindow(panel);
}

}  // namespace
