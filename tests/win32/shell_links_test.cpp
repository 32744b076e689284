#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "shell/shell_links.h"
#include "shell_test_support.h"

namespace {

// Reads a link back through the shell's own link object: "target|arguments", or "" when the
// file does not load as a link.
std::string ReadLink(const std::string& linkPath) {
  std::string contents;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  WCHAR widePath[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(widePath, STGM_READ))) {
    char target[MAX_PATH] = "", arguments[MAX_PATH] = "";
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetArguments(arguments, MAX_PATH);
    CharLowerA(target);
    contents = std::string(target) + "|" + arguments;
  }
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  return contents;
}

class CreateShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target = folder / "tsn.exe";
    CloseHandle(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CharLowerA(&target[0]);
  }
  ScratchFolder folder{"tsarin-links"};
  std::string target;
};

TEST_F(CreateShellLinkTest, LinksReadBackWithTargetAndArgumentsAndReplaceOlderOnes) {
  std::string uninstall = folder / "UnInstall Tessarin.Lnk", readMe = folder / "Read Me.Lnk";
  ASSERT_EQ(CreateShellLink(target.c_str(), "Tessarin", uninstall.c_str()), 0);
  ASSERT_EQ(CreateShellLink(target.c_str(), "", readMe.c_str()), 0);
  EXPECT_EQ(ReadLink(uninstall), target + "|Tessarin");
  EXPECT_EQ(ReadLink(readMe), target + "|");
  ASSERT_EQ(CreateShellLink(target.c_str(), "two", readMe.c_str()), 0);
  EXPECT_EQ(ReadLink(readMe), target + "|two");
}

TEST_F(CreateShellLinkTest, MissingFolderOrOverlongPathFailsWithoutWritingAnything) {
  std::string missing = folder / "no such folder\\Tessarin.Lnk";
  EXPECT_TRUE(FAILED(CreateShellLink(target.c_str(), "", missing.c_str())));
  EXPECT_FALSE(FileExists(missing));
  // 259 characters fit the conversion buffer; four more must not be saved under a cut name.
  std::string longest = folder.path() + "\\";
  longest += std::string(MAX_PATH - 1 - longest.size(), 'n');
  EXPECT_EQ(CreateShellLink(target.c_str(), "", (longest + ".Lnk").c_str()),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_FALSE(FileExists(longest));
}

TEST_F(CreateShellLinkTest, ThreadWithComAlreadyInitialisedGetsNoLinkAndKeepsItsCount) {
  std::string linkPath = folder / "Tessarin.Lnk";
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CreateShellLink(target.c_str(), "", linkPath.c_str()), S_FALSE);
  CoUninitialize();
  // Had the refused call kept its initialisation, this one would be refused as well.
  EXPECT_EQ(CreateShellLink(target.c_str(), "", linkPath.c_str()), 0);
}

int versionQueries = 0;

TEST(GetWindowsMajorVersion, SystemIsAskedOnceWithTheFullRecordSize) {
  int (*saved)(void*) = windowsVersionQuery;
  windowsVersionQuery = [](void* record) {
    ++versionQueries;
    return static_cast<int>(GetVersionExA(static_cast<OSVERSIONINFOA*>(record)));
  };
  ForgetWindowsVersion();
  unsigned major = GetWindowsMajorVersion();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(GetWindowsMajorVersion(), major);
  EXPECT_EQ(versionQueries, 1);
  EXPECT_GE(major, 5u);  // a wrong size field makes the system refuse and leaves 0
  EXPECT_TRUE(WindowsVersionAtLeast(major, 0));
  EXPECT_FALSE(WindowsVersionAtLeast(major + 1, 0));
  windowsVersionQuery = saved;
}

TEST_F(CreateShellLinkTest, LinksAndFoldersStillWorkWithTheSearchPathHardened) {
  // The restriction holds for the rest of the process: the tests after it run under it too.
  EXPECT_TRUE(HardenDllSearchPath());
  std::string linkPath = folder / "Tessarin.Lnk";
  EXPECT_EQ(CreateShellLink(target.c_str(), "x", linkPath.c_str()), 0);
  EXPECT_EQ(ReadLink(linkPath), target + "|x");
  char buffer[kShellFolderSize];
  EXPECT_TRUE(GetProgramFilesFolder(buffer));
}

}  // namespace
