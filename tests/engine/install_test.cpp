// Whole installs of a product-shaped payload: what lands on disk, what the dialog shows, and
// what the desktop is asked to do, in order.
#include <cstring>

#include "engine_fixture.h"

namespace {

struct ProductFile {
  std::string dir;  // "" base, else the sub-directory
  std::string name;
  size_t size;
  bool compressed;
  bool developer;
};

const std::vector<ProductFile> kProduct = {
    {"", "tsn.exe", 20000, true, false},
    {"", "tsn.hlp", 3000, false, false},
    {"", "tsn.htm", 9000, true, false},
    {"", "tsnnet_a.htm", 5000, true, false},
    {"", "tsnnet_u.htm", 700, false, false},
    {"", "plc.htm", 4000, true, false},
    {"", "uninst.exe", 1500, false, false},
    {"", "ReadMe.htm", 1200, false, false},
    {"", "APIREF.HTM", 6000, true, true},
    {"", "apidemo.exe", 2500, false, true},
    {"", "proto_vb.txt", 300, false, true},
    {"", "Proto_C.txt", 3300, true, true},
    {"", "pbar.dll", 100, false, true},
    {"", "tscv.dll", 100, false, true},
    {"", "tscv.lib", 100, false, true},
    {"", "ksniff.lib", 100, false, true},
    {"", "pbar.lib", 100, false, true},
    {"", "sample.frm", 100, false, true},
    {"", "sample.vbp", 100, false, true},
    {"", "proto_empty", 0, false, true},
    {"Profiles", "default.prf", 400, false, false},
    {"Profiles", "user.prf", 0, false, false},
    {"Profiles", "block.prf", 16384, false, false},
    {"Profiles", "block1.prf", 16385, false, false},
    {"Textures", "marble.tex", 40000, true, false},
    {"Textures", "wood.tex", 18000, true, false},
};

Bytes ProductSetup() {
  SetupWriter writer(4096);
  std::string dir;
  unsigned seed = 0;
  for (const ProductFile& file : kProduct) {
    if (file.dir != dir) writer.Dir(dir = file.dir);
    Bytes data = Content(file.size, ++seed);
    // The three header kinds of the stream format, spread over the compressed files.
    if (file.compressed)
      writer.Compressed(file.name, data, static_cast<int>(seed % 2),
                        4 + static_cast<int>(seed % 3));
    else
      writer.Stored(file.name, data);
  }
  return writer.End().bytes();
}

class ProductInstall : public EngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ProductInstall, WritesSelectedFilesByteForByteAndSkipsTheOthers) {
  const bool developer = GetParam();
  WriteSetup(ProductSetup());
  InstallRun run;
  Install(run, root + "\\out", developer);
  ASSERT_EQ(run.surface.status, "Installation was successful.");
  EXPECT_TRUE(run.surface.messages.empty());

  unsigned seed = 0;
  Lines expectedStatus;
  size_t installedBytes = 0;
  for (const ProductFile& file : kProduct) {
    Bytes data = Content(file.size, ++seed);
    std::string relative = "out/" + (file.dir.empty() ? "" : file.dir + "/") + file.name;
    fs::path path = Host(relative);
    if (developer || !file.developer) {
      EXPECT_EQ(ReadHost(relative), data) << file.name;
      installedBytes += file.size;
      expectedStatus.push_back("Installing:   " + file.name);
    } else {
      EXPECT_FALSE(fs::exists(path)) << file.name;
      expectedStatus.push_back("");  // blank while a skipped entry is read past
    }
  }
  expectedStatus.push_back("Updating Desktop ...");
  expectedStatus.push_back("Installation was successful.");
  expectedStatus.insert(expectedStatus.begin(), {"Checking the installation file ...", ""});
  EXPECT_EQ(run.StatusTexts(), expectedStatus);

  // 0 before the search, only 1..99 while reading, 100 at the end entry.
  const std::vector<int>& meter = run.surface.meter;
  ASSERT_GE(meter.size(), 3u);
  EXPECT_EQ(meter.front(), 0);
  EXPECT_EQ(meter.back(), 100);
  for (size_t i = 1; i + 1 < meter.size(); ++i) {
    EXPECT_GE(meter[i], 1);
    EXPECT_LE(meter[i], 99);
    EXPECT_GE(meter[i], meter[i - 1]);
  }

  const std::string sm = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessarin\\";
  auto value = [](const std::string& name, const std::string& data) {
    return "SetStringValue(\"" + name + "\", \"" + data + "\", " + std::to_string(data.size()) +
           ")";
  };
  auto link = [&](const std::string& target, const std::string& args, const std::string& lnk) {
    return "CreateShellLink(\"" + root + "\\out\\" + target + "\", \"" + args + "\", \"" + sm +
           lnk + "\")";
  };
  Lines expected = {
      "CreateMachineKey(\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessarin\")",
      value("DisplayName", "Tessarin"),
      value("Publisher", "Halvorsk"),
      value("InstallLocation", root + "\\out\\"),
      "GetWindowsMajorVersion()",
      "GetShellFolder(23)",
      "MakeDirectory(\"" + sm.substr(0, sm.size() - 1) + "\")",
      value("D_start", sm),
      link("tsn.exe", "", "Tessarin Program.Lnk"),
      link("tsn.hlp", "", "Online Help.Lnk"),
      link("tsn.htm", "", "User Manual.Lnk"),
      link("tsnnet_a.htm", "", "Network Administrator's Guide.Lnk"),
      link("tsnnet_u.htm", "", "Network User's Guide.Lnk"),
      link("plc.htm", "", "Pelicode Language Reference.Lnk"),
  };
  if (developer) {
    expected.push_back(link("apiref.htm", "", "Developer's Reference.Lnk"));
    expected.push_back(link("apidemo.exe", "", "Developer's Test Program.Lnk"));
  }
  Lines tail = {
      link("ReadMe.htm", "", "Read Me.Lnk"),
      // The link's target is the plain path; the command line quotes it.
      link("uninst.exe", "Tessarin", "UnInstall Tessarin.Lnk"),
      value("UninstallString", "\"" + root + "\\out\\uninst.exe\" Tessarin"),
      "GetWindowsMajorVersion()",
      "GetShellFolder(25)",
      value("F_dtop", "C:\\Users\\Public\\Desktop\\Tessarin.Lnk"),
      "GetShellFolder(9)",
      value("F_sendto",
            "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\SendTo\\Tessarin.Lnk"),
      value("DisplayIcon", root + "\\out\\tsn.exe"),
      // The size of the files written, in KB rounded up, not the size of the payload.
      "SetDwordValue(\"EstimatedSize\", " + std::to_string((installedBytes + 1023) / 1024) + ")",
      "SetDwordValue(\"NoModify\", 1)",
      "SetDwordValue(\"NoRepair\", 1)",
      "CloseKey()",
      "PlaySystemSound(\"SystemAsterisk\", 1)",
      "ViewDocument(\"" + root + "\\out\\ReadMe.htm\")",
  };
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(run.DesktopCallsFromKey(), expected);

  Lines finished(run.surface.calls.end() - 7, run.surface.calls.end());
  EXPECT_EQ(finished, (Lines{"ShowStatus(102, \"Installation was successful.\")",
                             "EnableItem(1, 0)", "EnableItem(104, 0)", "SetItemText(2, \"E&xit\")",
                             "SetHelpPanel(2, 108)", "FocusItem(2)", "BringToTop()"}));

  // Install does nothing more; exit starts the product from the base directory although the
  // last files went into Textures.
  size_t callsBefore = run.surface.calls.size() + run.desktop.calls.size();
  OnInstall();
  EXPECT_EQ(run.surface.calls.size() + run.desktop.calls.size(), callsBefore);
  LaunchInstalledProduct();
  EXPECT_EQ(run.desktop.calls.back(),
            "LaunchProgram(\"" + root + "\\out\\tsn.exe\", \"Tessarin StartUp Error\")");
}

INSTANTIATE_TEST_SUITE_P(StandardAndDeveloper, ProductInstall, ::testing::Bool());

TEST_F(EngineTest, ExistingTargetIsClearedButKept_DirectoriesLandRight_NoKeyNoValues) {
  fs::create_directories(Host("out/old/deeper"));
  std::ofstream(Host("out/old/deeper/stale.txt")) << "x";
  std::ofstream(Host("out/stale.txt")) << "x";
  WriteSetup(SetupWriter()
                 .Dir("Sub\\Deep")
                 .Stored("a.txt", Text("A"))
                 .Dir("")
                 .Stored("b.txt", Text("B"))
                 .Dir("Other\\")
                 .Stored("c.txt", Text("C"))
                 .End()
                 .bytes());
  InstallRun run;
  run.desktop.keyOpens = false;    // the uninstall key cannot be opened: the install goes on
  Install(run, root + "\\out\\");  // a trailing backslash changes nothing
  EXPECT_EQ(run.surface.status, "Installation was successful.");
  EXPECT_FALSE(fs::exists(Host("out/stale.txt")));
  EXPECT_FALSE(fs::exists(Host("out/old")));
  EXPECT_EQ(ReadHost("out/Sub/Deep/a.txt"), Text("A"));
  EXPECT_EQ(ReadHost("out/b.txt"), Text("B"));
  EXPECT_EQ(ReadHost("out/Other/c.txt"), Text("C"));
  // No value without the key, and no read-me in the payload: no link to it and nothing opened.
  for (const std::string& call : run.desktop.calls) {
    for (const char* absent :
         {"SetStringValue", "SetDwordValue", "CloseKey", "Read Me.Lnk", "ViewDocument"})
      EXPECT_EQ(call.find(absent), std::string::npos) << call;
  }
}

}  // namespace
