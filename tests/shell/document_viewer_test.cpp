#include <gtest/gtest.h>

#include <string>

#include "shell/document_viewer.h"

namespace {

// "caption|text" of the message for a ShellExecuteA result, "" when none is shown.
std::string Describe(const std::string& path, uintptr_t result) {
  char caption[kViewCaptionSize];
  const char* text = nullptr;
  if (!DescribeViewError(path.c_str(), result, caption, &text)) return "";
  return std::string(caption) + "|" + text;
}

TEST(ReportViewError, FailuresBelow32ShowTheSystemsOwnWordsUnderTheCaption) {
  EXPECT_EQ(Describe("C:\\TSarin\\readme.txt", 2),
            "ERROR viewing C:\\TSarin\\readme.txt|File not found");
  EXPECT_EQ(Describe("a", 0), "ERROR viewing a|Out of Memory or Corrupted Application");
  EXPECT_EQ(Describe("a", 5), "ERROR viewing a|DDE, Sharing or Network Error");
  EXPECT_EQ(Describe("a", 13), "ERROR viewing a|Application was designed for MS-Dos 4.0");
  EXPECT_EQ(Describe("a", 21), "ERROR viewing a|Application requires Windows 32-bit extensions");
  EXPECT_EQ(Describe("a", 31),
            "ERROR viewing a|No Executable Application associated with this file");
  for (int reserved : {1, 4, 7, 9, 17, 18, 22, 23, 24, 25, 26, 27, 28, 29, 30}) {
    EXPECT_EQ(Describe("a", reserved), "ERROR viewing a|Error #" + std::to_string(reserved));
  }
}

TEST(ReportViewError, SuccessAndHugeHandleValuesShowNothing) {
  // A "negative" handle value must not index before the table.
  for (uintptr_t result : {uintptr_t{32}, uintptr_t{42}, ~uintptr_t{0}}) {
    EXPECT_EQ(Describe("a", result), "");
  }
}

TEST(ReportViewError, LongestPathFitsTheCaptionAndLongerOnesAreCut) {
  std::string path(259, 'p');
  EXPECT_EQ(Describe(path, 3), "ERROR viewing " + path + "|Path not found");
  EXPECT_EQ(Describe(path + "qqqq", 3), "ERROR viewing " + (path + "qqqq").substr(0, 261) + "|Path not found");
}

}  // namespace
