#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "shell/system_services.h"
#include "shell_test_support.h"

namespace {

std::string SystemText(DWORD error, std::vector<const char*> inserts) {
  char* text = nullptr;
  FormatMessageA(0x3100, nullptr, error, 0x400, reinterpret_cast<char*>(&text), 0,
                 reinterpret_cast<va_list*>(const_cast<char**>(inserts.data())));
  std::string result = text ? text : "";
  LocalFree(text);
  return result;
}

using ShellFolderTest = SystemCallsTest;

TEST_F(ShellFolderTest, SetupFoldersComeFromTheSystemLibraryOrTheItemListRoute) {
  systemServiceCalls.loadLibrary = [](const char* fullPath) -> void* {
    current->loaded.push_back(fullPath);
    return current->loaded.size() > 6 ? nullptr : LoadLibraryA(fullPath);
  };
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::vector<std::string> found;
  for (int round = 0; round < 2; ++round) {  // the second round without "shfolder.dll"
    for (int csidl : {38, 2, 16, 9, 23, 25}) {
      char buffer[kShellFolderSize] = "";
      EXPECT_TRUE(GetShellFolder(csidl, buffer)) << csidl;
      found.push_back(buffer);
      EXPECT_TRUE(found.back().size() > 3 && found.back().back() != '\\') << found.back();
    }
  }
  EXPECT_EQ(std::vector<std::string>(found.begin(), found.begin() + 6),
            std::vector<std::string>(found.begin() + 6, found.end()));
  // Never the "shfolder.dll" of the setup's own (download) folder.
  for (const std::string& path : loaded) EXPECT_EQ(path, std::string(system) + "\\shfolder.dll");
  char programFiles[kShellFolderSize];
  EXPECT_TRUE(GetProgramFilesFolder(programFiles));
  EXPECT_EQ(programFiles, found[0]);
}

TEST_F(ShellFolderTest, UnknownFolderFallsBackToDriveCAndFalse) {
  char buffer[kShellFolderSize];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(GetShellFolder(200, buffer));
  EXPECT_STREQ(buffer, "c:\\");
}

TEST_F(SystemCallsTest, FailedSoundBeepsOnlyWhenTheFallbackIsOn) {
  static int played;
  systemServiceCalls.playSound = [](const char*) { return played; };
  systemServiceCalls.beep = [](unsigned frequency, unsigned milliseconds) {
    current->beeps.push_back(frequency * 10000 + milliseconds);
    return 1;
  };
  played = 0;
  EXPECT_EQ(PlaySystemSound("SystemStart", false), 0);
  EXPECT_EQ(PlaySystemSound("SystemAsterisk", true), 1);
  played = 1;
  EXPECT_EQ(PlaySystemSound("SystemAsterisk", true), 1);
  EXPECT_EQ(beeps, std::vector<unsigned>{256 * 10000 + 500});
  EXPECT_GT(GetColourDepth(), 8);  // the test display has 24 bits
}

using LaunchTest = SystemCallsTest;

// Waits up to ten seconds for the probe's marker; "" when the other probe ran first or none.
std::string ProbeMarker(const std::string& probe, const std::string& other = "-") {
  for (int i = 0; i < 100 && !FileExists(other + ".ran"); ++i, Sleep(100)) {
    FILE* file = fopen((probe + ".ran").c_str(), "r");
    if (!file) continue;
    char text[512] = "";
    fgets(text, sizeof text, file);
    fclose(file);
    return text;
  }
  return "";
}

TEST_F(LaunchTest, MissingProgramShowsTheSystemTextUnderTheCaption) {
  ScratchFolder folder("tsarin-launch");
  std::string program = folder / "tsn.exe";
  EXPECT_FALSE(LaunchProgram(program.c_str(), "Tessarin StartUp Error"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Tessarin StartUp Error|" + SystemText(ERROR_FILE_NOT_FOUND, {""}));
}

TEST_F(LaunchTest, ProgramInAFolderWithBlanksStartsItselfNotAShorterPath) {
  // Unquoted, "...\Tsarin Launch\tsn.exe" would first be tried as "...\Tsarin.exe".
  ScratchFolder folder("tsarin-launch");
  std::string program = folder / "Tsarin Launch\\tsn.exe", decoy = folder / "Tsarin.exe";
  ASSERT_TRUE(CreateDirectoryA((folder / "Tsarin Launch").c_str(), nullptr));
  ASSERT_TRUE(CopyFileA(ProbePath().c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(ProbePath().c_str(), decoy.c_str(), FALSE));
  EXPECT_TRUE(LaunchProgram(program.c_str(), "Tessarin StartUp Error"));
  EXPECT_EQ(ProbeMarker(program, decoy), "\"" + program + "\"");
  EXPECT_FALSE(FileExists(decoy + ".ran"));
  // An already quoted command line goes as it is, arguments included.
  std::string commandLine = "\"" + decoy + "\" Tessarin";
  EXPECT_TRUE(LaunchProgram(commandLine.c_str(), "caption"));
  EXPECT_EQ(ProbeMarker(decoy), commandLine);
  EXPECT_TRUE(messages.empty());
}

TEST_F(LaunchTest, SystemTextsWithoutTextOrWithTwoInsertsAreShownSafely) {
  SetLastError(0x2000ABCD);  // a customer code: the system has no text for it
  ShowLastError("caption", "tsn.exe");
  // ERROR_MR_MID_NOT_FOUND's text has a second insert; only the first one is ours.
  SetLastError(ERROR_MR_MID_NOT_FOUND);
  ShowLastError("caption", "tsn.exe");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "caption|536914893");
  EXPECT_EQ(messages[1], "caption|" + SystemText(ERROR_MR_MID_NOT_FOUND, {"tsn.exe", ""}));
  EXPECT_NE(messages[1].find("tsn.exe"), std::string::npos);
}

}  // namespace
