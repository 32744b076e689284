// Pieces of the engine with rules of their own: ReplaceAll, the shortcut folders by Windows
// version, the default directory, and the marker test.
#include <cstring>

#include "engine_fixture.h"
#include "setup/desktop_update.h"
#include "shell/shell_folders.h"

namespace {

struct ReplaceRow {
  const char* text;
  const char* search;
  const char* replacement;
  int32_t limit;
  const char* expected;
  int32_t count;
};

TEST(ReplaceAll, ReplacesWithinTheLimitAndStopsRescanningLoops) {
  const ReplaceRow rows[] = {
      {"a b c", " ", "~", 100, "a~b~c", 2},
      {"", "", "fill", 100, "fill", 1},
      {"text", "", "fill", 100, "text", 0},
      {"aaa", "a", "bb", 4, "bbaa", 1},  // growth past the limit is not made
      {"aaaa", "aa", "a", -10, "a", 3},  // rescanning shrinks until nothing is left
      {"x-y-", "-", "", 100, "xy", 2},
      {"aa", "a", "a", -5, "aa", 2},  // rescanning an identical text ends
      {"Tessarin", " ", "~", 259, "Tessarin", 0},
  };
  for (const ReplaceRow& row : rows) {
    SCOPED_TRACE(row.text);
    char buffer[128];
    std::strcpy(buffer, row.text);
    EXPECT_EQ(ReplaceAll(buffer, row.search, row.replacement, row.limit), row.count);
    EXPECT_STREQ(buffer, row.expected);
  }
}

TEST(ShellFolders, VersionPicksTheFolderAndOnlyTheDesktopFallsBack) {
  RecordingDesktop old;
  old.majorVersion = 4;
  char buffer[260];
  GetProgramsFolder(old, buffer);
  GetDesktopFolder(old, buffer);
  EXPECT_EQ(old.calls, (Lines{"GetWindowsMajorVersion()", "GetShellFolder(2)",
                              "GetWindowsMajorVersion()", "GetShellFolder(16)"}));

  RecordingDesktop modern;
  modern.folders.erase(kCsidlCommonDesktopDirectory);
  modern.folders.erase(kCsidlCommonPrograms);
  EXPECT_TRUE(GetDesktopFolder(modern, buffer));
  EXPECT_STREQ(buffer, "C:\\Users\\Setup\\Desktop");
  EXPECT_FALSE(GetProgramsFolder(modern, buffer));
  EXPECT_STREQ(buffer, "c:\\");
}

TEST(DefaultDirectory, IsProgramFilesAndTSarin) {
  RecordingDesktop desktop;
  ResetInstallContext(nullptr, &desktop, "");
  char buffer[260];
  BuildDefaultDirectory(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "C:\\Program Files\\TSarin");
}

TEST_F(EngineTest, MarkerIsKnownByItsOuterWordsOnly) {
  SetupWriter writer(32);
  Bytes bytes = writer.Stored("a.txt", Text("A")).End().bytes();
  std::memcpy(bytes.data() + 32 + 4, "anything", 8);
  WriteSetup(bytes);
  InstallRun run;
  Install(run);
  EXPECT_EQ(run.surface.status, "Installation was successful.");
}

}  // namespace
