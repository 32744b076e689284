// The setup program's resources as the compiled program carries them (this test links the
// same resource object as tsarin-setup.exe and reads it back from its own image), and the
// Win32 side of the QuickHelp panel layout.

#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
  return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16;
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
  EXPECT_TRUE(item.windowClass.isOrdinal);
  EXPECT_EQ(item.windowClass.ordinal, row.windowClass);
  EXPECT_EQ(item.style, row.style);
  EXPECT_EQ(item.exStyle, row.exStyle);
  EXPECT_EQ(item.x, row.x);
  EXPECT_EQ(item.y, row.y);
  EXPECT_EQ(item.cx, row.cx);
  EXPECT_EQ(item.cy, row.cy);
  EXPECT_EQ(item.helpId, 0u);
  EXPECT_EQ(item.extraSize, 0);
  EXPECT_FALSE(item.title.isOrdinal);
  if (row.text) {
    EXPECT_EQ(item.title.text, row.text);
  }
}

TEST(SetupDialogTemplate, HeaderKeepsExactStyleGeometryFontAndTitle) {
  const TemplateDialog d = DialogResource(IDD_SETUP);
  EXPECT_TRUE(d.extended);
  EXPECT_EQ(d.helpId, 0u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(d.style, 0x90CB00C0u);
  EXPECT_EQ(d.style,
            static_cast<uint32_t>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                  WS_MAXIMIZEBOX | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(d.x, 64);
  EXPECT_EQ(d.y, 60);
  EXPECT_EQ(d.cx, 266);
  EXPECT_EQ(d.cy, 180);
  EXPECT_FALSE(d.menu.present);
  EXPECT_FALSE(d.windowClass.present);
  EXPECT_EQ(d.title, "Tessarin - Installation");
  ASSERT_TRUE(d.hasFont);
  EXPECT_EQ(d.pointSize, 8);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, DEFAULT_CHARSET);
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
  const std::string notice = d.items[6].title.text;
  const size_t lf = notice.find('\n');
  ASSERT_NE(lf, std::string::npos);
  EXPECT_GT(lf, 0u);
  EXPECT_EQ(notice.substr(lf + 1), "For Help with any item, click right mouse button on it.");
}

TEST(PanelTemplates, PanelsAreHiddenCaptionlessWithTheirTextItems) {
  struct Panel {
    int id;
    uint32_t style;
    int16_t x, y, cx, cy;
    std::vector<ItemRow> items;
  };
  constexpr uint32_t kThin = 0x80800040, kFramed = 0x800000C0;
  constexpr uint32_t kGrouped = 0x50020000, kPlain = 0x50000000;
  const Panel panels[] = {
      {106,
       kThin,
       89,
       63,
       100,
       32,
       {{-1, kStatic, kGrouped, 0, 6, 3, 89, 26,
         "Click on this button to install the software into the directory shown above."}}},
      {107,
       kThin,
       89,
       63,
       78,
       23,
       {{-1, kStatic, kGrouped, 0, 3, 3, 73, 19, "Click on this button to abort installation."}}},
      {108,
       kThin,
       89,
       63,
       127,
       24,
       {{-1, kStatic, kGrouped, 0, 5, 3, 116, 17,
         "Click on this button to exit installation and start the Tessarin program."}}},
      {109,
       kThin,
       89,
       63,
       107,
       49,
       {{-1, kStatic, kGrouped, 0, 5, 3, 96, 42,
         "In this space, enter the drive and directory (path) where the software should be "
         "installed. If the directory does not exist, it will be created automatically."}}},
      {113,
       kFramed,
       50,
       80,
       206,
       94,
       {{-1, kStatic, kPlain, 0, 6, 5, 196, 33,
         "Clicking the right mouse button on any dialog item (such as a check box or a button) "
         "displays QuickHelp on that item if available, else it displays this panel. The mouse "
         "cursor also changes to a dot, indicating that you are in QuickHelp mode."},
        {-1, kStatic, kPlain, 0, 6, 41, 196, 33,
         "Some dialog items (such as edit fields where you can type in information) display a "
         "special Windows menu when you click the right mouse button on them. For QuickHelp on "
         "such items, click the right mouse button on some other item first."},
        {-1, kStatic, kPlain, 0, 6, 79, 196, 10,
         "To close a QuickHelp panel, simply click inside it."}}},
  };
  for (const Panel& p : panels) {
    SCOPED_TRACE("panel " + std::to_string(p.id));
    const TemplateDialog d = DialogResource(p.id);
    EXPECT_FALSE(d.extended);
    EXPECT_EQ(d.style, p.style);
    EXPECT_EQ(d.style & WS_VISIBLE, 0u);
    EXPECT_NE(d.style & WS_CAPTION,
              static_cast<uint32_t>(WS_CAPTION));  // WS_BORDER alone is no caption
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.x, p.x);
    EXPECT_EQ(d.y, p.y);
    EXPECT_EQ(d.cx, p.cx);
    EXPECT_EQ(d.cy, p.cy);
    EXPECT_FALSE(d.menu.present);
    EXPECT_FALSE(d.windowClass.present);
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");
    ASSERT_EQ(d.items.size(), p.items.size());
    // The classic layout stores 16-bit ids: -1 is 0xFFFF.
    for (size_t i = 0; i < p.items.size(); ++i) {
      ItemRow row = p.items[i];
      row.id = 0xFFFF;
      ExpectItem(d.items[i], row);
    }
  }
}

TEST(DialogResources, DialogManagerCreatesEveryTemplate) {
  HWND setup = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETUP), nullptr,
                                  NoDialogProc, 0);
  ASSERT_NE(setup, nullptr);
  EXPECT_TRUE(IsWindowVisible(setup));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(setup, IDC_METER_FRAME)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(setup, IDC_STATUS_LINE)));
  char title[64] = {};
  GetWindowTextA(setup, title, sizeof title);
  EXPECT_STREQ(title, "Tessarin - Installation");
  for (int panelId : {106, 107, 108, 109, 113}) {
    HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(panelId), setup,
                                    NoDialogProc, 0);
    ASSERT_NE(panel, nullptr) << panelId;
    EXPECT_FALSE(IsWindowVisible(panel)) << panelId;
    DestroyWindow(panel);
  }
  DestroyWindow(setup);
}

struct Dib {
  BITMAPINFOHEADER header = {};
  std::vector<RGBQUAD> palette;
  const uint8_t* bits = nullptr;
  size_t stride = 0;
  bool ok = false;

  // Colour of the pixel at column x, row y counted from the top.
  RGBQUAD Pixel(int x, int y) const {
    const uint8_t* row = bits + stride * static_cast<size_t>(header.biHeight - 1 - y);
    if (header.biBitCount == 24) return RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
    const uint8_t index = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    return palette.at(index);
  }
};

Dib BitmapResource(int id) {
  Dib dib;
  const Blob b = Resource(id, MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (!b.data || b.size < sizeof(BITMAPINFOHEADER)) return dib;
  std::memcpy(&dib.header, b.data, sizeof dib.header);
  const BITMAPINFOHEADER& h = dib.header;
  if (h.biSize != sizeof h || h.biWidth <= 0 || h.biHeight <= 0) return dib;
  size_t colours = h.biClrUsed ? h.biClrUsed : (h.biBitCount <= 8 ? 1u << h.biBitCount : 0u);
  dib.stride = ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  const size_t needed = h.biSize + colours * sizeof(RGBQUAD) + dib.stride * h.biHeight;
  if (b.size < needed) return dib;
  dib.palette.resize(colours);
  if (colours) std::memcpy(dib.palette.data(), b.data + h.biSize, colours * sizeof(RGBQUAD));
  dib.bits = b.data + h.biSize + colours * sizeof(RGBQUAD);
  dib.ok = true;
  return dib;
}

TEST(Bitmaps, SizesAndDepthsAreWhatTheDialogsTile) {
  struct Expect {
    int id, width, height, bits;
  };
  for (const Expect& e :
       {Expect{IDB_SETUP_BACKGROUND, 150, 170, 24}, Expect{IDB_SETUP_BACKGROUND_PALETTE, 90, 90, 4},
        Expect{IDB_PANEL_BACKGROUND, 32, 32, 4}}) {
    SCOPED_TRACE("bitmap " + std::to_string(e.id));
    const Dib dib = BitmapResource(e.id);
    ASSERT_TRUE(dib.ok);
    EXPECT_EQ(dib.header.biWidth, e.width);
    EXPECT_EQ(dib.header.biHeight, e.height);
    EXPECT_EQ(dib.header.biBitCount, e.bits);
    EXPECT_EQ(dib.header.biPlanes, 1);
    EXPECT_EQ(dib.header.biCompression, static_cast<DWORD>(BI_RGB));
    if (e.bits == 4) {
      EXPECT_EQ(dib.palette.size(), 16u);
    }
    // The platform loads it with the same size.
    HBITMAP loaded = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(e.id));
    ASSERT_NE(loaded, nullptr);
    BITMAP info = {};
    ASSERT_NE(GetObjectA(loaded, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, e.width);
    EXPECT_EQ(info.bmHeight, e.height);
    DeleteObject(loaded);
  }
}

TEST(Bitmaps, PanelBackgroundIsPlainYellow) {
  const Dib dib = BitmapResource(IDB_PANEL_BACKGROUND);
  ASSERT_TRUE(dib.ok);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const RGBQUAD c = dib.Pixel(x, y);
      ASSERT_TRUE(c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 0) << x << "," << y;
    }
}

TEST(Bitmaps, SetupBackgroundsArePaleSoTextStaysReadable) {
  // Marble: light everywhere, bluish on average, and not flat.
  const Dib marble = BitmapResource(IDB_SETUP_BACKGROUND);
  ASSERT_TRUE(marble.ok);
  long red = 0, blue = 0;
  int darkest = 255, lightest = 0;
  for (int y = 0; y < 170; ++y)
    for (int x = 0; x < 150; ++x) {
      const RGBQUAD c = marble.Pixel(x, y);
      red += c.rgbRed;
      blue += c.rgbBlue;
      darkest = std::min<int>(darkest, c.rgbRed);
      lightest = std::max<int>(lightest, c.rgbRed);
    }
  EXPECT_GE(darkest, 160);
  EXPECT_GT(blue, red);
  EXPECT_GT(lightest - darkest, 20);

  // Specks: mostly white, a few grey pixels, nothing coloured or dark.
  const Dib specks = BitmapResource(IDB_SETUP_BACKGROUND_PALETTE);
  ASSERT_TRUE(specks.ok);
  int white = 0, grey = 0;
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 90; ++x) {
      const RGBQUAD c = specks.Pixel(x, y);
      EXPECT_TRUE(c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue);
      EXPECT_GE(c.rgbRed, 128);
      (c.rgbRed >= 240 ? white : grey)++;
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
  const Blob group = Resource(IDCUR_QUICKHELP_DOT, MAKEINTRESOURCEA(12));  // RT_GROUP_CURSOR
  ASSERT_NE(group.data, nullptr);
  ASSERT_GE(group.size, 6u + 14u);
  EXPECT_EQ(Get16(group.data + 2), 2);  // cursor directory
  ASSERT_EQ(Get16(group.data + 4), 1);  // one image
  const uint16_t imageId = Get16(group.data + 6 + 12);

  const Blob image = Resource(imageId, MAKEINTRESOURCEA(1));  // RT_CURSOR
  ASSERT_NE(image.data, nullptr);
  EXPECT_EQ(Get16(image.data), 15);  // hotspot x
  EXPECT_EQ(Get16(image.data + 2), 15);
  const uint8_t* dib = image.data + 4;
  ASSERT_GE(image.size, 4u + 40u + 8u + 2u * 128u);
  EXPECT_EQ(Get32(dib + 4), 32u);  // width
  EXPECT_EQ(Get32(dib + 8), 64u);  // height of both masks
  EXPECT_EQ(Get16(dib + 14), 1);   // monochrome
  const uint8_t* xorMask = dib + 40 + 8;
  const uint8_t* andMask = xorMask + 128;
  for (int row = 0; row < 32; ++row)
    for (int column = 0; column < 32; ++column) {
      const size_t at = static_cast<size_t>(31 - row) * 4 + column / 8;
      const int bit = 0x80 >> (column % 8);
      ASSERT_TRUE(andMask[at] & bit) << row << "," << column;
      ASSERT_EQ((xorMask[at] & bit) != 0, InDot(row, column)) << row << "," << column;
    }

  HCURSOR cursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_QUICKHELP_DOT));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 15u);
  EXPECT_EQ(info.yHotspot, 15u);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
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
  const DWORD size = GetFileVersionInfoSizeA(path, &unused);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
  for (const auto& [key, want] :
       {std::pair<const char*, const char*>{"ProductName", "Tessarin Setup"},
        std::pair<const char*, const char*>{"CompanyName", "Halvorsk"}}) {
    char* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(
        VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << key;
    EXPECT_STREQ(value, want);
  }
}

TEST(MeasuringLineCounter, CountsWrappedAndForcedLines) {
  MeasuringLineCounter lines;
  EXPECT_EQ(lines.CountLines("Word", 100), 1);
  EXPECT_EQ(lines.CountLines("", 100), 1);
  EXPECT_EQ(lines.CountLines("a\r\nb", 100), 2);
  const char* sentence =
      "Some dialog items display a special Windows menu when you click the right mouse button "
      "on them.";
  const int narrow = lines.CountLines(sentence, 41);
  const int wide = lines.CountLines(sentence, 391);
  EXPECT_GT(narrow, 2);
  EXPECT_GE(wide, 1);
  EXPECT_LT(wide, narrow);
}

TEST(MeasuringLineCounter, WindowIsReusedUntilTheWidthChanges) {
  MeasuringLineCounter lines;
  lines.CountLines("a", 41);
  lines.CountLines("b", 41);
  EXPECT_EQ(lines.WindowsCreated(), 1);
  lines.CountLines("c", 35);
  EXPECT_EQ(lines.WindowsCreated(), 2);
  lines.ReleaseMeasuring();
  lines.CountLines("d", 35);
  EXPECT_EQ(lines.WindowsCreated(), 3);
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
  HWND button = GetDlgItem(panel, kPanelButtonId);
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(IsWindowVisible(button));
  char text[32] = {};
  GetWindowTextA(button, text, sizeof text);
  EXPECT_STREQ(text, "&OK");
  for (int k = 0; k < layout.itemCount; ++k) {
    HWND item = GetDlgItem(panel, kPanelFirstTextId + k);
    ASSERT_NE(item, nullptr) << k;
    char cls[16] = {};
    GetClassNameA(item, cls, sizeof cls);
    EXPECT_EQ(lstrcmpiA(cls, "Edit"), 0) << k;
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(item, GWL_STYLE)) & 0xFFFF, 0x0804u) << k;
    SetDlgItemTextA(panel, kPanelFirstTextId + k, layout.textSlots[k]);
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
