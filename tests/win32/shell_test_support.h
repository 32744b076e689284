// Scratch folders and replaced system calls for the shell services' tests under Wine.
#ifndef TSARIN_TESTS_WIN32_SHELL_TEST_SUPPORT_H
#define TSARIN_TESTS_WIN32_SHELL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/system_services.h"

inline bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder under the temp directory, removed with its contents at the end of the test.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + name + "." + std::to_string(GetCurrentProcessId());
    Remove(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  static void Remove(std::string path) {
    path.push_back('\0');  // the shell takes a list of names ended by an empty one
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = path.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
  }
  std::string path_;
};

// The launch probe built beside the test program.
inline std::string ProbePath() {
  char path[MAX_PATH];
  std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return self.substr(0, self.rfind('\\') + 1) + "tsarin_launch_probe.exe";
}

// Replaces the system calls under the services for one test and records what reached them.
class SystemCallsTest : public ::testing::Test {
 public:
  void SetUp() override {
    saved_ = systemServiceCalls;
    current = this;
    systemServiceCalls.messageBox = [](const char* text, const char* caption) {
      current->messages.push_back(std::string(caption) + "|" + text);
      return IDOK;
    };
  }
  void TearDown() override { systemServiceCalls = saved_; }

  static inline SystemCallsTest* current = nullptr;
  std::vector<std::string> messages;  // "caption|text" of every message box
  std::vector<std::string> loaded;    // libraries asked of the loader
  std::vector<unsigned> beeps;        // frequency * 10000 + milliseconds

 private:
  SystemServiceCalls saved_;
};

#endif  // TSARIN_TESTS_WIN32_SHELL_TEST_SUPPORT_H
