#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "setup/install_context.h"
#include "shell/desktop_services_win32.h"
#include "shell/system_services.h"
#include "shell_test_support.h"

// The setup program defines the context; these tests stand in for it.
InstallContext installContext;

namespace {

const char kTestKey[] = "Software\\Tsarin Shell Test";

struct RegistryValue {
  LONG result;
  DWORD type;
  std::string bytes;
};

RegistryValue ReadMachineValue(const char* name) {
  RegistryValue value = {ERROR_FILE_NOT_FOUND, 0, ""};
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  char data[512];
  DWORD size = sizeof data;
  value.result =
      RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size);
  if (value.result == ERROR_SUCCESS) value.bytes.assign(data, size);
  RegCloseKey(key);
  return value;
}

TEST(Win32DesktopServices, UninstallValuesReadBackAsStringsWithTheirExactBytes) {
  Win32DesktopServices desktop;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  RegistryKey key = desktop.CreateMachineKey(kTestKey);
  ASSERT_NE(key, nullptr);
  const char location[] = "C:\\Program Files\\TSarin\\";
  desktop.SetStringValue(key, "DisplayName", "Tessarin", 9);
  desktop.SetStringValue(key, "InstallLocation", location, sizeof location);
  desktop.SetStringValue(key, "Empty", "", 1);
  desktop.CloseKey(key);

  RegistryValue name = ReadMachineValue("DisplayName");
  EXPECT_EQ(name.result, ERROR_SUCCESS);
  EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(name.bytes, std::string("Tessarin", 9));
  EXPECT_EQ(ReadMachineValue("InstallLocation").bytes, std::string(location, sizeof location));
  EXPECT_EQ(ReadMachineValue("Empty").bytes, std::string(1, '\0'));

  // A second open finds the key and replaces values in place.
  key = desktop.CreateMachineKey(kTestKey);
  ASSERT_NE(key, nullptr);
  desktop.SetStringValue(key, "DisplayName", "Other", 6);
  desktop.CloseKey(key);
  EXPECT_EQ(ReadMachineValue("DisplayName").bytes, std::string("Other", 6));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey), ERROR_SUCCESS);
}

TEST(Win32DesktopServices, ClosedOrNeverOpenedKeyIsPassedOver) {
  Win32DesktopServices desktop;
  desktop.SetStringValue(nullptr, "DisplayName", "Tessarin", 9);
  desktop.CloseKey(nullptr);
}

TEST(Win32DesktopServices, MakeDirectoryReportsTheRuntimesErrorNumbers) {
  Win32DesktopServices desktop;
  ScratchFolder folder("tsarin-desktop");
  std::string created = folder / "Tessarin";
  EXPECT_EQ(desktop.MakeDirectory(created.c_str()), 0);
  EXPECT_TRUE(FileExists(created));
  EXPECT_EQ(desktop.MakeDirectory(created.c_str()), EEXIST);
  EXPECT_EQ(desktop.MakeDirectory((folder / "a\\b").c_str()), ENOENT);
}

class ViewDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = systemServiceCalls;
    shown_ = &messages;
    systemServiceCalls.messageBox = [](const char* text, const char* caption) {
      shown_->push_back(std::string(caption) + "|" + text);
      return IDOK;
    };
    installContext.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    installContext.dialogWindow = nullptr;
  }
  void TearDown() override { systemServiceCalls = saved_; }

  static std::vector<std::string>* shown_;
  std::vector<std::string> messages;

 private:
  SystemServiceCalls saved_;
};
std::vector<std::string>* ViewDocumentTest::shown_ = nullptr;

TEST_F(ViewDocumentTest, MissingDocumentIsReportedWithTheViewerCaption) {
  ScratchFolder folder("tsarin-view");
  std::string path = folder / "readme.txt";
  Win32DesktopServices desktop;
  desktop.ViewDocument(path.c_str());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "ERROR viewing " + path + "|File not found");
}

}  // namespace
