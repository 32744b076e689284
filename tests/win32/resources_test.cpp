// The setup program's resources as the compiled program carries them: this test links the same
// resource object as tsarin-setup.exe and reads it back from its own image.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/template_reader.h"

namespace {

std::string Resource(int id, int type) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
  const void* data = found ? LockResource(LoadResource(nullptr, found)) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(nullptr, found)) : "";
}

// Every dialog as the dialog manager reads it, a line for the dialog and one per control (see
// tests/ui/template_reader.h): the texts, styles and places are the product's design.
TEST(Resources, DialogTemplatesKeepTheirStylesPlacesAndTexts) {
  const std::string font = "|| font 8 MS Sans Serif";
  const std::map<int, std::vector<std::string>> dialogs = {
      {IDD_SETUP,
       {"ex 90CB00C0 0 64,60,266,180 ||Tessarin - Installation font 8,0,0,1 MS Sans Serif",
        "1 #128 50010000 0 27,158,64,15 &Install",
        "105 #130 50020000 0 5,41,61,8 Install to &directory:", "104 #129 50810080 0 68,39,193,12 ",
        "-1 #130 50020000 0 5,88,253,25       If you are a software developer or programmer, "
        "check this box to also install the modules and documentation which enable you to "
        "incorporate Tessarin conversion technology into your software applications.",
        "2 #128 50010000 0 171,158,64,15 &Abort", "-1 #130 50000010 0 5,82,256,1 ",
        "-1 #130 50000001 0 31,11,204,18 Tessarin Setup, (c) Halvorsk\n"
        "For Help with any item, click right mouse button on it.",
        "103 #130 40000007 0 5,137,256,12 ",  // the meter's frame: hidden, the meter draws over it
        "-1 #130 50020000 0 5,55,253,27 Any pre-existing files in the above directory will be "
        "deleted. This directory will be automatically created if necessary. It should be "
        "different from the directory where the downloaded TSARIN.EXE was saved.",
        "-1 #130 50001012 1 5,5,256,29 ", "102 #129 50000804 200 5,123,256,12 ",
        "114 #128 50010003 0 5,87,9,10 ", "-1 #130 50000010 0 5,116,256,1 "}},
      // QuickHelp panels: hidden until placed next to the pointer, no caption.
      {IDD_PANEL_INSTALL,
       {"80800040 0 89,63,100,32 " + font,
        "-1 #130 50020000 0 6,3,89,26 Click on this button to install the software into the "
        "directory shown above."}},
      {IDD_PANEL_ABORT,
       {"80800040 0 89,63,78,23 " + font,
        "-1 #130 50020000 0 3,3,73,19 Click on this button to abort installation."}},
      {IDD_PANEL_EXIT,
       {"80800040 0 89,63,127,24 " + font,
        "-1 #130 50020000 0 5,3,116,17 Click on this button to exit installation and start the "
        "Tessarin program."}},
      {IDD_PANEL_INSTALL_DIR,
       {"80800040 0 89,63,107,49 " + font,
        "-1 #130 50020000 0 5,3,96,42 In this space, enter the drive and directory (path) where "
        "the software should be installed. If the directory does not exist, it will be created "
        "automatically."}},
      {IDD_PANEL_GENERAL,
       {"800000C0 0 50,80,206,94 " + font,
        "-1 #130 50000000 0 6,5,196,33 Clicking the right mouse button on any dialog item (such "
        "as a check box or a button) displays QuickHelp on that item if available, else it "
        "displays this panel. The mouse cursor also changes to a dot, indicating that you are in "
        "QuickHelp mode.",
        "-1 #130 50000000 0 6,41,196,33 Some dialog items (such as edit fields where you can type "
        "in information) display a special Windows menu when you click the right mouse button "
        "on them. For QuickHelp on such items, click the right mouse button on some other item "
        "first.",
        "-1 #130 50000000 0 6,79,196,10 To close a QuickHelp panel, simply click inside it."}},
  };
  for (const auto& [id, want] : dialogs) {
    const std::string bytes = Resource(id, 5);  // RT_DIALOG
    std::vector<std::string> got;
    EXPECT_NE(ReadTemplate(bytes.data(), bytes.size(), &got), 0u) << id;
    EXPECT_EQ(got, want) << id;
  }
}

// What a pixel looks like: "yellow", "light grey" (white too), "light bluish" (red 160 or more,
// more blue than red), or "other".
std::string Look(COLORREF c) {
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  return r == 255 && g == 255 && b == 0 ? "yellow"
         : r == g && g == b && r >= 128 ? "light grey"
         : r >= 160 && b > r            ? "light bluish"
                                        : "other";
}

TEST(Resources, BitmapsHaveTheSizeDepthAndColoursTheDialogsTile) {
  // Every pixel looks alike; at least `colours` colours, the most common one covering at least
  // `share` per cent.
  for (const auto& [id, width, height, depth, look, colours, share] :
       std::vector<std::tuple<int, int, int, int, std::string, size_t, int>>{
           {IDB_PANEL_BACKGROUND, 32, 32, 4, "yellow", 1, 100},                // QuickHelp panels
           {IDB_SETUP_BACKGROUND, 150, 170, 24, "light bluish", 20, 0},        // marble, not flat
           {IDB_SETUP_BACKGROUND_PALETTE, 90, 90, 4, "light grey", 2, 90}}) {  // white, grey dots
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION info = {};
    GetObjectA(bitmap, sizeof info, &info);
    const BITMAPINFOHEADER& h = info.dsBmih;
    EXPECT_EQ(std::make_tuple(h.biWidth, std::abs(h.biHeight), h.biBitCount, h.biCompression),
              std::make_tuple(width, height, depth, DWORD{BI_RGB}))
        << id;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::map<COLORREF, int> counts;
    for (int i = 0; i < width * height; ++i) ++counts[GetPixel(dc, i % width, i / width)];
    std::set<std::string> looks;
    int most = 0;
    for (const auto& [colour, count] : counts)
      looks.insert(Look(colour)), most = std::max(most, count);
    EXPECT_EQ(looks, std::set<std::string>{look}) << id;
    EXPECT_TRUE(counts.size() >= colours && most * 100 >= share * width * height) << id;
    DeleteObject(SelectObject(dc, old)), DeleteDC(dc);
  }
}

TEST(Resources, DotCursorInvertsOnlyTheDotAroundItsHotspot) {
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(
      LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_QUICKHELP_DOT)), &info));
  // Monochrome, 32 x 64, rows top-down: the AND mask, all ones (the screen shows through), above
  // the XOR mask, one only on the dot: rows 13 and 17 columns 14 to 16, rows 14 to 16 13 to 17.
  std::vector<uint8_t> bits(256), want(128, 0xFF);
  want.resize(256);
  for (int row = 13; row <= 17; ++row) {
    const bool edge = row == 13 || row == 17;
    want[128 + 4 * row + 1] = edge ? 0x03 : 0x07, want[128 + 4 * row + 2] = edge ? 0x80 : 0xC0;
  }
  EXPECT_EQ(GetBitmapBits(info.hbmMask, 256, bits.data()), 256);
  EXPECT_EQ(std::make_tuple(info.fIcon, info.xHotspot, info.yHotspot, info.hbmColor, bits),
            std::make_tuple(FALSE, DWORD{15}, DWORD{15}, HBITMAP{}, want));
  DeleteObject(info.hbmMask);
}

TEST(Resources, ManifestAndVersionInformationSayWhatTheProgramNeedsAndIs) {
  // The manifest's supportedOS ids: Vista, 7, 8, 8.1, 10 and 11.
  const std::string manifest = Resource(1, 24);  // RT_MANIFEST
  for (const char* needle :
       {"level=\"requireAdministrator\"", "version=\"6.0.0.0\"", "<dpiAware",
        "name=\"Microsoft.Windows.Common-Controls\"", "e2011457-1546-43c5-a5fe-008deee3d3f0",
        "35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
        "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  char path[MAX_PATH], *value = nullptr;
  std::vector<char> data(GetFileVersionInfoSizeA(
      std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH)).c_str(), nullptr));
  GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data());
  for (const auto& [key, want] : {std::make_pair("ProductName", "Tessarin Setup"),
                                  std::make_pair("CompanyName", "Halvorsk")}) {
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
    EXPECT_TRUE(
        VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::string(value ? value : ""), want);
  }
}

}  // namespace
