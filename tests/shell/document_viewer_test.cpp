#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/document_viewer.h"

namespace {

struct ViewMessage {
  bool shown;
  std::string caption;
  std::string text;
};

ViewMessage Describe(const char* path, uintptr_t result) {
  char caption[kViewCaptionSize];
  std::memset(caption, 'x', sizeof caption);
  const char* text = nullptr;
  bool shown = DescribeViewError(path, result, caption, &text);
  if (!shown) return {false, "", ""};
  return {true, caption, text ? text : "(null)"};
}

TEST(ViewErrorTable, TextsAreTheSystemsOwnWords) {
  // A wrong word or a shifted row would tell the user the wrong reason.
  EXPECT_STREQ(ViewErrorTable[0], "Out of Memory or Corrupted Application");
  EXPECT_STREQ(ViewErrorTable[2], "File not found");
  EXPECT_STREQ(ViewErrorTable[3], "Path not found");
  EXPECT_STREQ(ViewErrorTable[5], "DDE, Sharing or Network Error");
  EXPECT_STREQ(ViewErrorTable[13], "Application was designed for MS-Dos 4.0");
  EXPECT_STREQ(ViewErrorTable[21], "Application requires Windows 32-bit extensions");
  EXPECT_STREQ(ViewErrorTable[31], "No Executable Application associated with this file");
  // The reserved numbers name themselves.
  for (int reserved : {1, 4, 7, 9, 17, 18, 22, 23, 24, 25, 26, 27, 28, 29, 30}) {
    EXPECT_EQ(ViewErrorTable[reserved], "Error #" + std::to_string(reserved));
  }
}

TEST(ReportViewError, FailuresBelow32ShowTheirTextUnderTheCaption) {
  ViewMessage message = Describe("C:\\Program Files\\TSarin\\readme.txt", 2);
  EXPECT_TRUE(message.shown);
  EXPECT_EQ(message.text, "File not found");
  EXPECT_EQ(message.caption, "ERROR viewing C:\\Program Files\\TSarin\\readme.txt");
  EXPECT_EQ(Describe("a.txt", 0).text, "Out of Memory or Corrupted Application");
  EXPECT_EQ(Describe("a.txt", 31).text, "No Executable Application associated with this file");
}

TEST(ReportViewError, SuccessAndHugeHandleValuesShowNothing) {
  // 32 and above is success; a "negative" handle value must not index before the table.
  EXPECT_FALSE(Describe("a.txt", 32).shown);
  EXPECT_FALSE(Describe("a.txt", 42).shown);
  EXPECT_FALSE(Describe("a.txt", static_cast<uintptr_t>(-1)).shown);
}

TEST(ReportViewError, LongestPathFitsTheCaptionAndLongerOnesAreCutNotOverrun) {
  std::string path(259, 'p');
  EXPECT_EQ(Describe(path.c_str(), 3).caption, "ERROR viewing " + path);
  std::string overlong(400, 'q');
  std::string caption = Describe(overlong.c_str(), 3).caption;
  EXPECT_EQ(caption.size(), kViewCaptionSize - 1);
  EXPECT_EQ(caption, "ERROR viewing " + overlong.substr(0, kViewCaptionSize - 15));
}

}  // namespace
