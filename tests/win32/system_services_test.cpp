// The shell and system services on Win32: shell links, shell folders, sounds, starting programs
// and the messages for what fails. The system calls under them are replaced to see the message
// boxes, the sounds and the loader; each test has a scratch folder of its own.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "shell/document_viewer.h"
#include "shell/shell_links.h"
#include "shell/system_services.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> messages;  // "caption|text" of every message box
std::vector<unsigned> beeps;        // frequency * 10000 + milliseconds
int played;                         // what the sound call answers

std::string SystemText(DWORD error, std::vector<const char*> inserts) {
  char* text = nullptr;
  FormatMessageA(0x3100, nullptr, error, 0x400, reinterpret_cast<char*>(&text), 0,
                 reinterpret_cast<va_list*>(const_cast<char**>(inserts.data())));
  const std::string result = text ? text : "";
  return LocalFree(text), result;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder, ignored), fs::create_directory(folder), messages.clear();
    systemServiceCalls = {
        [](const char* text, const char* caption) {
          return messages.push_back(std::string(caption) + "|" + text), IDOK;
        },
        [](const char*) { return played; },
        [](unsigned hertz, unsigned ms) { return beeps.push_back(hertz * 10000 + ms), 1; },
        systemServiceCalls.loadLibrary};
  }
  void TearDown() override { systemServiceCalls = saved, fs::remove_all(folder, ignored); }
  const SystemServiceCalls saved = systemServiceCalls;
  const std::string folder =
      (fs::temp_directory_path() / ("tsarin-shell-" + std::to_string(GetCurrentProcessId())))
          .string();
  std::error_code ignored;  // a program the test started may still hold its file
};

TEST_F(ShellTest, LinkIsSavedWhereAskedUnderItsWholeNameAndOnlyWhenComIsTheCallsOwn) {
  const std::string target = folder + "\\tsn.exe";
  const std::string fits = folder + "\\" + std::string(MAX_PATH - 6 - folder.size(), 'n') + ".Lnk";
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CreateShellLink(target.c_str(), "", fits.c_str()), S_FALSE);
  CoUninitialize();  // the refused call must have given its own initialisation back too
  for (const auto& [path, saved] : std::vector<std::pair<std::string, bool>>{
           {fits + "x", false},  // 260 characters: not saved under the first 259
           {folder + "\\no such folder\\Tessarin.Lnk", false},
           {fits, true}}) {
    const int32_t result = CreateShellLink(target.c_str(), "Tessarin", path.c_str());
    EXPECT_EQ(std::make_tuple(result == S_OK, FAILED(result), fs::exists(path.substr(0, 259))),
              std::make_tuple(saved, !saved, saved))
        << path;
  }
  EXPECT_EQ(CreateShellLink(target.c_str(), "", (fits + "x").c_str()),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(ShellTest, FoldersComeFromTheSystemsShfolderOrTheItemListRouteOrAreDriveC) {
  static std::vector<std::string> loaded;  // from the 7th on, the loader fails
  systemServiceCalls.loadLibrary = [](const char* path) -> void* {
    return loaded.push_back(path), loaded.size() > 6 ? nullptr : LoadLibraryA(path);
  };
  std::vector<std::string> found[2];  // the second round without the library
  for (auto& round : found) {
    for (int csidl : {38, 2, 16, 9, 23, 25}) {
      char buffer[kShellFolderSize] = "";
      EXPECT_TRUE(GetShellFolder(csidl, buffer)) << csidl;
      round.push_back(buffer);
      EXPECT_TRUE(round.back().size() > 3 && round.back().back() != '\\') << buffer;
    }
  }
  char system[MAX_PATH], buffer[kShellFolderSize];
  EXPECT_EQ(found[0], found[1]);
  EXPECT_EQ(loaded,
            std::vector<std::string>(
                12, std::string(system, GetSystemDirectoryA(system, MAX_PATH)) + "\\shfolder.dll"));
  EXPECT_FALSE(GetShellFolder(200, buffer));
  EXPECT_STREQ(buffer, "c:\\");
}

TEST_F(ShellTest, AFailedSoundBeepsOnlyWhenTheFallbackIsOn) {
  for (const auto& [sound, fallback, result, beeped] :
       std::vector<std::tuple<int, bool, int, size_t>>{
           {0, false, 0, 0}, {2, true, 2, 0}, {0, true, 1, 1}}) {
    played = sound, beeps.clear();
    EXPECT_EQ(PlaySystemSound("SystemAsterisk", fallback), result) << sound << fallback;
    EXPECT_EQ(beeps, std::vector<unsigned>(beeped, 256 * 10000 + 500));
  }
  EXPECT_GT(GetColourDepth(), 8);  // the test display has 24 bits
}

// Waits up to ten seconds for the probe copied to `program` to say it ran: its command line, or
// "" when `other` ran instead, or nothing did.
std::string Started(const std::string& program, const std::string& other = "-") {
  for (int i = 0; i < 100 && !fs::exists(other + ".ran"); ++i, Sleep(100)) {
    if (FILE* file = std::fopen((program + ".ran").c_str(), "r")) {
      char line[512] = "";
      return std::fgets(line, sizeof line, file), std::fclose(file), line;
    }
  }
  return "";
}

TEST_F(ShellTest, ProgramInAFolderWithBlanksStartsItselfAndAQuotedCommandLineGoesAsItIs) {
  // Unquoted, "...\Tsarin Launch\tsn.exe" would first be tried as "...\Tsarin.exe".
  const std::string program = folder + "\\Tsarin Launch\\tsn.exe", decoy = folder + "\\Tsarin.exe";
  char self[MAX_PATH];
  std::string probe(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
  probe = probe.substr(0, probe.rfind('\\')) + "\\tsarin_launch_probe.exe";
  ASSERT_TRUE(CreateDirectoryA((folder + "\\Tsarin Launch").c_str(), nullptr) &&
              CopyFileA(probe.c_str(), program.c_str(), FALSE) &&
              CopyFileA(probe.c_str(), decoy.c_str(), FALSE));
  EXPECT_TRUE(LaunchProgram(program.c_str(), "Tessarin StartUp Error"));
  EXPECT_EQ(Started(program, decoy), "\"" + program + "\"");
  const std::string commandLine = "\"" + decoy + "\" Tessarin";
  EXPECT_TRUE(LaunchProgram(commandLine.c_str(), "caption"));
  EXPECT_EQ(Started(decoy), commandLine);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ShellTest, FailuresAreShownInTheSystemsWordsUnderTheirCaptions) {
  EXPECT_FALSE(LaunchProgram((folder + "\\tsn.exe").c_str(), "Tessarin StartUp Error"));
  SetLastError(0x2000ABCD);  // a customer code: the system has no text for it
  ShowLastError("caption", "tsn.exe");
  SetLastError(ERROR_MR_MID_NOT_FOUND);  // a text with a second insert: only the first is ours
  ShowLastError("caption", "tsn.exe");
  ViewDocument((folder + "\\readme.txt").c_str());
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Tessarin StartUp Error|" + SystemText(ERROR_FILE_NOT_FOUND, {""}),
                          "caption|536914893",
                          "caption|" + SystemText(ERROR_MR_MID_NOT_FOUND, {"tsn.exe", ""}),
                          "ERROR viewing " + folder + "\\readme.txt|File not found"}));
  EXPECT_NE(messages[2].find("tsn.exe"), std::string::npos);
}

}  // namespace
