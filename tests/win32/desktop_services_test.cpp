#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "setup/install_context.h"
#include "shell/desktop_services_win32.h"
#include "shell_test_support.h"

// The setup program defines the context; these tests stand in for it.
InstallContext installContext;

namespace {

const char kTestKey[] = "Software\\Tsarin Shell Test";

// "type:bytes" of a value under the test key.
std::string ReadMachineValue(const char* name) {
  char data[512];
  DWORD type = 0, size = sizeof data;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kTestKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                   &size) != ERROR_SUCCESS) {
    return "missing";
  }
  return std::to_string(type) + ":" + std::string(data, size);
}

TEST(Win32DesktopServices, ValuesReadBackWithTheirTypesAndExactBytes) {
  Win32DesktopServices desktop;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  for (const char* name : {"Tessarin", "Other"}) {  // the second round reopens the key
    RegistryKey key = desktop.CreateMachineKey(kTestKey);
    ASSERT_NE(key, nullptr);
    desktop.SetStringValue(key, "DisplayName", name, strlen(name) + 1);
    desktop.SetStringValue(key, "InstallLocation", "C:\\Program Files\\TSarin\\", 25);
    desktop.SetDwordValue(key, "EstimatedSize", 0x01020304);
    desktop.CloseKey(key);
    EXPECT_EQ(ReadMachineValue("DisplayName"), "1:" + std::string(name, strlen(name) + 1));
  }
  EXPECT_EQ(ReadMachineValue("InstallLocation"), std::string("1:C:\\Program Files\\TSarin\\", 27));
  EXPECT_EQ(ReadMachineValue("EstimatedSize"), std::string("4:\x04\x03\x02\x01", 6));
  desktop.SetStringValue(nullptr, "DisplayName", "x", 2);  // a key that never opened
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey), ERROR_SUCCESS);
}

TEST(Win32DesktopServices, MakeDirectoryAnswersTheRuntimesErrorNumbers) {
  Win32DesktopServices desktop;
  ScratchFolder folder("tsarin-desktop");
  EXPECT_EQ(desktop.MakeDirectory((folder / "Tessarin").c_str()), 0);
  EXPECT_EQ(desktop.MakeDirectory((folder / "Tessarin").c_str()), EEXIST);
  EXPECT_EQ(desktop.MakeDirectory((folder / "a\\b").c_str()), ENOENT);
}

TEST_F(SystemCallsTest, MissingDocumentIsReportedUnderTheViewerCaption) {
  installContext.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
  ScratchFolder folder("tsarin-view");
  Win32DesktopServices().ViewDocument((folder / "readme.txt").c_str());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "ERROR viewing " + folder / "readme.txt" + "|File not found");
}

}  // namespace
