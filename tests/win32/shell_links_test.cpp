#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "shell/shell_links.h"
#include "shell/system_services.h"
#include "shell_test_support.h"

namespace {

struct LinkContents {
  HRESULT loaded;
  std::string target;
  std::string arguments;
};

// Reads a link back through the shell's own link object.
LinkContents ReadLink(const std::string& linkPath) {
  LinkContents contents = {E_FAIL, "", ""};
  if (FAILED(CoInitialize(nullptr))) return contents;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR widePath[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
      contents.loaded = file->Load(widePath, STGM_READ);
      char text[MAX_PATH * 2] = "";
      if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0))) contents.target = text;
      text[0] = '\0';
      if (SUCCEEDED(link->GetArguments(text, sizeof text))) contents.arguments = text;
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return contents;
}

std::string Lower(std::string text) {
  CharLowerA(&text[0]);
  return text;
}

// A file that exists, as the target of the links.
std::string ExistingTarget() {
  static ScratchFolder folder("tsarin-link-target");
  std::string target = folder / "tsn.exe";
  if (!FileExists(target))
    CloseHandle(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return target;
}

TEST(CreateShellLink, LinkReadsBackWithItsTargetAndArguments) {
  ScratchFolder folder("tsarin-links");
  std::string withArguments = folder / "UnInstall Tessarin.Lnk";
  std::string withoutArguments = folder / "Read Me.Lnk";
  ASSERT_EQ(CreateShellLink(ExistingTarget().c_str(), "Tessarin", withArguments.c_str()), 0);
  ASSERT_EQ(CreateShellLink(ExistingTarget().c_str(), "", withoutArguments.c_str()), 0);

  LinkContents first = ReadLink(withArguments);
  EXPECT_EQ(first.loaded, S_OK);
  EXPECT_EQ(Lower(first.target), Lower(ExistingTarget()));
  EXPECT_EQ(first.arguments, "Tessarin");
  LinkContents second = ReadLink(withoutArguments);
  EXPECT_EQ(second.loaded, S_OK);
  EXPECT_EQ(Lower(second.target), Lower(ExistingTarget()));
  EXPECT_EQ(second.arguments, "");
}

TEST(CreateShellLink, SecondLinkOfTheSamePathReplacesTheFirst) {
  ScratchFolder folder("tsarin-links");
  std::string linkPath = folder / "Tessarin Program.Lnk";
  ASSERT_EQ(CreateShellLink(ExistingTarget().c_str(), "one", linkPath.c_str()), 0);
  ASSERT_EQ(CreateShellLink(ExistingTarget().c_str(), "two", linkPath.c_str()), 0);
  EXPECT_EQ(ReadLink(linkPath).arguments, "two");
}

TEST(CreateShellLink, MissingFolderFailsWithAnErrorResult) {
  ScratchFolder folder("tsarin-links");
  std::string linkPath = folder / "no such folder\\Tessarin.Lnk";
  int32_t result = CreateShellLink(ExistingTarget().c_str(), "", linkPath.c_str());
  EXPECT_NE(result, 0);
  EXPECT_TRUE(FAILED(result));
  EXPECT_FALSE(FileExists(linkPath));
}

TEST(CreateShellLink, OverlongLinkPathIsRefusedNotSavedUnderACutName) {
  ScratchFolder folder("tsarin-links");
  std::string linkPath = folder.path() + "\\";
  linkPath += std::string(MAX_PATH - linkPath.size() - 1, 'n');  // 259 characters: the limit
  std::string overlong = linkPath + ".Lnk";
  EXPECT_EQ(CreateShellLink(ExistingTarget().c_str(), "", overlong.c_str()),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_FALSE(FileExists(linkPath));
  EXPECT_FALSE(FileExists(linkPath.substr(0, linkPath.size() - 1)));
}

TEST(CreateShellLink, ThreadWithComAlreadyInitialisedGetsNoLinkAndKeepsItsCount) {
  ScratchFolder folder("tsarin-links");
  std::string linkPath = folder / "Tessarin.Lnk";
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CreateShellLink(ExistingTarget().c_str(), "", linkPath.c_str()), S_FALSE);
  CoUninitialize();
  // Had the refused call left its initialisation behind, COM would still be initialised here
  // and this call would be refused as well.
  EXPECT_EQ(CreateShellLink(ExistingTarget().c_str(), "", linkPath.c_str()), 0);
  EXPECT_TRUE(FileExists(linkPath));
}

int versionQueries = 0;
int CountingVersionQuery(void* record) {
  ++versionQueries;
  return GetVersionExA(static_cast<OSVERSIONINFOA*>(record));
}

TEST(GetWindowsMajorVersion, SystemIsAskedOnceWithTheFullRecordSize) {
  int (*saved)(void*) = windowsVersionQuery;
  windowsVersionQuery = CountingVersionQuery;
  ForgetWindowsVersion();
  versionQueries = 0;
  unsigned major = GetWindowsMajorVersion();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(GetWindowsMajorVersion(), major);
  EXPECT_TRUE(WindowsVersionAtLeast(major, 0));
  EXPECT_FALSE(WindowsVersionAtLeast(major + 1, 0));
  EXPECT_EQ(versionQueries, 1);
  EXPECT_GE(major, 5u);  // a short size field would make the system refuse and leave 0
  windowsVersionQuery = saved;
}

TEST(HardenDllSearchPath, ShellLinksAndFoldersStillWorkAfterwards) {
  // The restriction applies to the whole process, so this runs after the other link tests.
  EXPECT_TRUE(HardenDllSearchPath());
  ScratchFolder folder("tsarin-links");
  std::string linkPath = folder / "Tessarin.Lnk";
  EXPECT_EQ(CreateShellLink(ExistingTarget().c_str(), "x", linkPath.c_str()), 0);
  EXPECT_EQ(ReadLink(linkPath).arguments, "x");
  char buffer[kShellFolderSize];
  EXPECT_TRUE(GetProgramFilesFolder(buffer));
}

}  // namespace
