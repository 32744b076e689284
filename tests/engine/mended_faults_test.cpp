// Faults the engine guards against: names that leave the target, paths too long for their
// buffers, progress overflow, dangerous targets, links in the target, streams shorter than
// their entries, long read-me names.
#include <algorithm>
#include <cstring>

#include "engine_fixture.h"
#include "payload/payload_reader.h"
#include "setup/path_rules.h"

namespace {

const char kDamaged[] = "Tessarin Setup Error: Incomplete or damaged installation file!";

TEST_F(EngineTest, EntryNamesLeavingTheTargetAreDamageAndNothingIsWritten) {
  Lines fileNames = {"..\\evil.txt",  "sub\\..\\..\\evil.txt",
                     "a:evil.txt",    "\\evil.txt",
                     "evil.txt.",     "evil.txt ",
                     "CON",           "nul.txt",
                     "a\\\\evil.txt", "a/../evil.txt",
                     "ev*l.txt",      "sub\\"};
  Lines dirPaths = {"..", "..\\up", "\\up", "a\\\\b", "a\\.\\b", "lpt1"};
  fileNames.push_back(root + "\\evil.txt");
  dirPaths.push_back(root + "\\up");
  for (const std::string& name : fileNames) {
    SCOPED_TRACE(name);
    WriteSetup(SetupWriter().Stored("first.txt", Text("1")).Stored(name, Text("E")).End().bytes());
    InstallRun run;
    Install(run);
    EXPECT_EQ(run.surface.messages, Lines{kDamaged});
    // Found by the check, before the target directory is made.
    EXPECT_FALSE(fs::exists(Host("out")));
    EXPECT_FALSE(fs::exists(Host("evil.txt")));
  }
  for (const std::string& path : dirPaths) {
    SCOPED_TRACE(path);
    WriteSetup(SetupWriter().Dir(path).Stored("evil.txt", Text("E")).End().bytes());
    InstallRun run;
    Install(run);
    EXPECT_EQ(run.surface.messages, Lines{kDamaged});
    EXPECT_FALSE(fs::exists(Host("out")));
    EXPECT_FALSE(fs::exists(Host("up")));
  }
}

TEST_F(EngineTest, OverLongPathsAreRefusedWithAMessageNeverCut) {
  auto tooLong = [](const std::string& what, const std::string& path) {
    return Lines{"Tessarin Setup Error: The " + what + "\n" + path +
                 "\nis too long: a path may have at most 259 characters.\n\n"
                 "Please choose a shorter directory."};
  };
  // The directory field: 259 characters plus the backslash it gains do not fit.
  std::string field = root + "\\" + std::string(258 - root.size(), 'd');
  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).End().bytes());
  InstallRun longField;
  Install(longField, field);
  EXPECT_EQ(longField.surface.messages, tooLong("directory", field));
  EXPECT_EQ(longField.surface.calls.back(), "FocusItem(104)");
  EXPECT_TRUE(longField.StatusTexts().empty());

  // A name that fills the path to 259 characters fits; one more does not.
  const size_t room = 259 - (root + "\\out\\").size();
  std::string fits(room, 'f'), longName(room + 1, 'g');
  WriteSetup(SetupWriter().Stored(fits, Text("F")).Stored(longName, Text("G")).End().bytes());
  InstallRun name;
  Install(name);
  EXPECT_EQ(ReadHost("out/" + fits), Text("F"));
  EXPECT_EQ(name.surface.messages, tooLong("path", root + "\\out\\" + longName));
  EXPECT_EQ(name.surface.status, "Installation not successful.");

  // Fills the path exactly; the backslash it gains does not fit.
  std::string longDir = std::string(200, 'p') + "\\" + std::string(room - 201, 'q');
  WriteSetup(SetupWriter().Dir(longDir).Stored("a.txt", Text("A")).End().bytes());
  InstallRun dir;
  Install(dir);
  EXPECT_EQ(dir.surface.messages, tooLong("path", root + "\\out\\" + longDir));
}

TEST(ProgressMeter, PayloadsBeyond21MBMoveTheMeterInProportion) {
  RecordingSurface surface;
  RecordingDesktop desktop;
  ResetInstallContext(&surface, &desktop, "X:\\setup.exe");
  installContext.payloadTotal = 100000000;
  installContext.bytesConsumed = 50000000 - 16384;
  installContext.entryRemaining = 16384;
  installContext.lastBlockSize = 16384;
  AdvanceProgress();
  EXPECT_EQ(surface.meter, std::vector<int>{50});
  EXPECT_EQ(installContext.entryRemaining, 0);
}

TEST_F(EngineTest, DangerousTargetsAreRefusedBeforeAnythingIsCleared) {
  std::ofstream(Host("dist/keep.txt")) << "keep";
  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).End().bytes());
  Lines targets = {"",
                   "out",
                   "T:out",
                   "\\out",
                   "Q:\\",
                   "T:",
                   "\\\\server\\share",
                   "\\\\server\\share\\",
                   "\\\\server",
                   "C:\\Windows",
                   "c:/windows/",
                   "C:\\Windows.",
                   "C:\\Users",
                   "C:\\PROGRAM FILES\\\\",
                   "C:\\",
                   "C:\\Users\\Setup\\Desktop",
                   "C:\\ProgramData",
                   "C:\\PROGRA~1"};
  // The setup file's own folder however it is written, and names with wildcards.
  for (const char* own : {"\\dist", "\\DIST\\", "\\dist\\..\\dist", "\\.\\dist", "\\out*", "\\ou?"})
    targets.push_back(root + own);
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    InstallRun run;
    Install(run, target);
    std::string shown = target;
    if (!shown.empty() && shown.back() != '\\' && shown.back() != ':') shown += '\\';
    EXPECT_EQ(run.surface.messages, Lines{"Tessarin Setup Error: The directory\n" + shown +
                                          "\nis not a safe place to install Tessarin.\n\n"
                                          "Please choose a new, empty directory."});
    EXPECT_EQ(run.surface.calls.back(), "FocusItem(104)");
    EXPECT_TRUE(run.StatusTexts().empty());
    EXPECT_EQ(ReadHost("dist/keep.txt"), Text("keep"));
  }
  // Below the special folders is where products go.
  RecordingDesktop desktop;
  EXPECT_TRUE(
      IsSafeTarget("C:\\Program Files\\TSarin\\", desktop, (root + "\\dist\\setup.exe").c_str()));
  EXPECT_TRUE(
      IsSafeTarget("\\\\server\\share\\apps\\", desktop, (root + "\\dist\\setup.exe").c_str()));
}

// Creating a directory link needs rights a Windows test account may lack.
#ifndef _WIN32
TEST_F(EngineTest, ClearingNeverFollowsADirectoryLinkInTheTarget) {
  fs::create_directories(Host("outside"));
  std::ofstream(Host("outside/precious.txt")) << "p";
  fs::create_directories(Host("out"));
  fs::create_directory_symlink(Host("outside"), Host("out/link"));
  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).End().bytes());
  InstallRun run;
  Install(run);
  EXPECT_EQ(run.surface.status, "Installation was successful.");
  EXPECT_EQ(ReadHost("outside/precious.txt"), Text("p"));
}

#endif

TEST_F(EngineTest, StreamEndingBeforeItsEntryIsSkippedToTheNextName) {
  Bytes data = Content(10000, 5);
  WriteSetup(SetupWriter()
                 .Compressed("a.dat", data, 1, 5, /*extraBytes=*/777)
                 .Stored("b.txt", Text("next"))
                 .End()
                 .bytes());
  InstallRun run;
  Install(run);
  EXPECT_EQ(run.surface.status, "Installation was successful.");
  EXPECT_EQ(ReadHost("out/a.dat"), data);
  EXPECT_EQ(ReadHost("out/b.txt"), Text("next"));
}

TEST_F(EngineTest, LongReadMeNameIsRecordedWhole) {
  WriteSetup(SetupWriter().Stored("ReadMe.Tessarin.htm", Text("R")).End().bytes());
  InstallRun run;
  Install(run);
  Lines calls = run.desktop.calls;
  const std::string link = "CreateShellLink(\"" + root + "\\out\\ReadMe.Tessarin.htm\", \"\", " +
                           "\"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\" +
                           "Tessarin\\Read Me.Lnk\")";
  EXPECT_NE(std::find(calls.begin(), calls.end(), link), calls.end());
  EXPECT_EQ(calls.back(), "ViewDocument(\"" + root + "\\out\\ReadMe.Tessarin.htm\")");
}

}  // namespace
