#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  for (const auto& [result, text] : std::vector<std::pair<uintptr_t, std::string>>{
           {0, "Out of Memory or Corrupted Application"},
           {5, "DDE, Sharing or Network Error"},
           {13, "Application was designed for MS-Dos 4.0"},
           {21, "Application requires Windows 32-bit extensions"},
           {31, "No Executable Application associated with this file"},
           {1, "Error #1"},
           {30, "Error #30"}}) {
    EXPECT_EQ(Describe("a", result), "ERROR viewing a|" + text);
  }
  // Success, and a "negative" handle value that must not index before the table.
  for (uintptr_t result : {uintptr_t{32}, uintptr_t{42}, ~uintptr_t{0}}) {
    EXPECT_EQ(Describe("a", result), "");
  }
}

TEST(ReportViewError, LongestPathFitsTheCaptionAndLongerOnesAreCut) {
  const std::string path(259, 'p');
  EXPECT_EQ(Describe(path, 3), "ERROR viewing " + path + "|Path not found");
  EXPECT_EQ(Describe(path + "qqqq", 3), "ERROR viewing " + path + "qq|Path not found");
}

}  // namespace
