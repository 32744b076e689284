#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "shell/system_services.h"
#include "shell_test_support.h"

namespace {

// Replaces the system calls for one test and records what reached them.
class SystemCallsTest : public ::testing::Test {
 public:
  struct Message {
    std::string text;
    std::string caption;
  };

  void SetUp() override {
    saved_ = systemServiceCalls;
    current_ = this;
    systemServiceCalls.messageBox = [](const char* text, const char* caption) {
      current_->messages.push_back({text, caption});
      return IDOK;
    };
  }
  void TearDown() override {
    systemServiceCalls = saved_;
    current_ = nullptr;
  }

  // What the replaced calls saw; the hooks reach them through current_.
  static SystemCallsTest* current_;
  std::vector<Message> messages;
  std::vector<std::string> loaded;
  std::vector<std::pair<unsigned, unsigned>> beeps;
  int playResult = 0;

 private:
  SystemServiceCalls saved_;
};
SystemCallsTest* SystemCallsTest::current_ = nullptr;

std::string SystemText(DWORD error, std::vector<const char*> insertTexts) {
  char* text = nullptr;
  std::vector<DWORD_PTR> inserts;
  for (const char* insert : insertTexts) inserts.push_back(reinterpret_cast<DWORD_PTR>(insert));
  FormatMessageA(0x3100, nullptr, error, 0x400, reinterpret_cast<char*>(&text), 0,
                 reinterpret_cast<va_list*>(inserts.data()));
  std::string result = text ? text : "";
  LocalFree(text);
  return result;
}

std::string SystemDirectory() {
  char path[MAX_PATH];
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

using ShellFolderTest = SystemCallsTest;

TEST_F(ShellFolderTest, SetupFoldersAreFoundWithoutTrailingBackslash) {
  for (int csidl : {38, 2, 16, 9, 23, 25}) {
    char buffer[kShellFolderSize] = "";
    EXPECT_TRUE(GetShellFolder(csidl, buffer)) << csidl;
    std::string folder = buffer;
    ASSERT_GT(folder.size(), 3u) << csidl;
    EXPECT_EQ(folder[1], ':') << folder;
    EXPECT_NE(folder.back(), '\\') << folder;
  }
  char programFiles[kShellFolderSize];
  char byId[kShellFolderSize];
  EXPECT_TRUE(GetProgramFilesFolder(programFiles));
  GetShellFolder(38, byId);
  EXPECT_STREQ(programFiles, byId);
}

TEST_F(ShellFolderTest, UnknownFolderFallsBackToDriveCAndFalse) {
  char buffer[kShellFolderSize];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(GetShellFolder(200, buffer));
  EXPECT_STREQ(buffer, "c:\\");
}

TEST_F(ShellFolderTest, FolderLibraryIsLoadedFromTheSystemDirectoryOnly) {
  // A "shfolder.dll" beside the setup (a download folder) must never be the one loaded.
  systemServiceCalls.loadLibrary = [](const char* fullPath) -> void* {
    current_->loaded.push_back(fullPath);
    return LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  };
  char buffer[kShellFolderSize];
  EXPECT_TRUE(GetShellFolder(16, buffer));
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0], SystemDirectory() + "\\shfolder.dll");
}

TEST_F(ShellFolderTest, WithoutTheFolderLibraryTheItemListRouteAnswers) {
  char viaLibrary[kShellFolderSize];
  ASSERT_TRUE(GetShellFolder(16, viaLibrary));
  systemServiceCalls.loadLibrary = [](const char*) -> void* { return nullptr; };
  for (int csidl : {16, 38, 9}) {
    char buffer[kShellFolderSize] = "";
    EXPECT_TRUE(GetShellFolder(csidl, buffer)) << csidl;
    if (csidl == 16) {
      EXPECT_STREQ(buffer, viaLibrary);
    }
  }
  char buffer[kShellFolderSize];
  EXPECT_FALSE(GetShellFolder(200, buffer));
  EXPECT_STREQ(buffer, "c:\\");
}

using SoundTest = SystemCallsTest;

TEST_F(SoundTest, FailedSoundBeepsOnlyWhenTheFallbackIsOn) {
  systemServiceCalls.playSound = [](const char*) { return current_->playResult; };
  systemServiceCalls.beep = [](unsigned frequency, unsigned milliseconds) {
    current_->beeps.push_back({frequency, milliseconds});
    return 1;
  };
  playResult = 0;
  EXPECT_EQ(PlaySystemSound("SystemStart", false), 0);
  EXPECT_TRUE(beeps.empty());
  EXPECT_EQ(PlaySystemSound("SystemAsterisk", true), 1);
  ASSERT_EQ(beeps.size(), 1u);
  EXPECT_EQ(beeps[0], std::make_pair(256u, 500u));
  playResult = 1;
  EXPECT_EQ(PlaySystemSound("SystemAsterisk", true), 1);
  EXPECT_EQ(beeps.size(), 1u);
}

TEST(GetColourDepth, ScreenReportsMoreThanEightBits) {
  // The test display is a 24-bit one.
  EXPECT_GT(GetColourDepth(), 8);
}

using LaunchTest = SystemCallsTest;

// Waits up to ten seconds for one of the files to appear; true when the first one did.
bool WaitForFile(const std::string& path, const std::string& other = std::string()) {
  for (int i = 0; i < 100; ++i) {
    if (FileExists(path)) return true;
    if (!other.empty() && FileExists(other)) return false;
    Sleep(100);
  }
  return false;
}

std::string ReadText(const std::string& path) {
  std::string text;
  if (FILE* file = fopen(path.c_str(), "r")) {
    char buffer[512];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    fclose(file);
  }
  return text;
}

TEST_F(LaunchTest, MissingProgramShowsTheSystemTextUnderTheCaption) {
  ScratchFolder folder("tsarin-launch");
  std::string program = folder / "tsn.exe";
  EXPECT_FALSE(LaunchProgram(program.c_str(), "Tessarin StartUp Error"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Tessarin StartUp Error");
  EXPECT_FALSE(messages[0].text.empty());
  EXPECT_TRUE(messages[0].text == SystemText(ERROR_FILE_NOT_FOUND, {program.c_str()}) ||
              messages[0].text == SystemText(ERROR_PATH_NOT_FOUND, {program.c_str()}))
      << messages[0].text;
}

TEST_F(LaunchTest, ProgramInAFolderWithBlanksStartsItselfNotAShorterPath) {
  // Unquoted, "...\Tsarin Launch\tsn.exe" would first be tried as "...\Tsarin.exe".
  ScratchFolder folder("tsarin-launch");
  std::string probe = ProgramFolder() + "tsarin_launch_probe.exe";
  std::string blankFolder = folder / "Tsarin Launch";
  std::string program = blankFolder + "\\tsn.exe";
  std::string decoy = folder / "Tsarin.exe";
  ASSERT_TRUE(CreateDirectoryA(blankFolder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileA(probe.c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(probe.c_str(), decoy.c_str(), FALSE));

  EXPECT_TRUE(LaunchProgram(program.c_str(), "Tessarin StartUp Error"));
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(WaitForFile(program + ".ran", decoy + ".ran"));
  EXPECT_EQ(ReadText(program + ".ran"), "\"" + program + "\"");
  EXPECT_FALSE(FileExists(decoy + ".ran"));
}

TEST_F(LaunchTest, QuotedCommandLineStartsWithItsArguments) {
  ScratchFolder folder("tsarin-launch");
  std::string program = folder / "probe.exe";
  ASSERT_TRUE(
      CopyFileA((ProgramFolder() + "tsarin_launch_probe.exe").c_str(), program.c_str(), FALSE));
  std::string commandLine = "\"" + program + "\" Tessarin";
  EXPECT_TRUE(LaunchProgram(commandLine.c_str(), "caption"));
  ASSERT_TRUE(WaitForFile(program + ".ran"));
  EXPECT_EQ(ReadText(program + ".ran"), commandLine);
  EXPECT_TRUE(messages.empty());
}

TEST_F(LaunchTest, ErrorWithoutSystemTextShowsTheBareNumber) {
  SetLastError(0x2000ABCD);  // a customer code: the system has no text for it
  ShowLastError("caption", "tsn.exe");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "536914893");
  EXPECT_EQ(messages[0].caption, "caption");
}

TEST_F(LaunchTest, SystemTextWithTwoInsertsReadsNothingPastTheCommandLine) {
  // ERROR_MR_MID_NOT_FOUND's text names a second insert; only the first one is ours.
  SetLastError(ERROR_MR_MID_NOT_FOUND);
  ShowLastError("caption", "tsn.exe");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, SystemText(ERROR_MR_MID_NOT_FOUND, {"tsn.exe", ""}));
  EXPECT_NE(messages[0].text.find("tsn.exe"), std::string::npos);
}

}  // namespace
