// The bounded formatter that replaces snprintf in the install's messages and paths.
#include "shell/text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

// Without the printf-format attribute: lets the tests pass what the compiler would refuse.
int FormatUnchecked(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatTextV(out, size, format, args);
  va_end(args);
  return length;
}

TEST(TextFormat, CutTextStaysTerminatedAndReportsTheWholeLength) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(FormatText(buffer, 6, "\"%s\" %s", "abc", "defg"), 10);
  EXPECT_STREQ(buffer, "\"abc\"");
  EXPECT_EQ(buffer[6], 'x');  // nothing written past the given size
  // Exactly filling: the length equals the size, so the caller sees the cut.
  EXPECT_EQ(FormatText(buffer, 4, "%s", "abcd"), 4);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(FormatText(buffer, 5, "%s", "abcd"), 4);
  EXPECT_STREQ(buffer, "abcd");

  char c = 'x';  // a zero size writes nothing
  EXPECT_EQ(FormatText(&c, 0, "%s%%", "abc"), 4);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(FormatText(&c, 1, "%s", "abc"), 3);
  EXPECT_EQ(c, '\0');
}

TEST(TextFormat, NumbersAtTheirLimitsAndPercentSigns) {
  char buffer[64];
  EXPECT_EQ(FormatText(buffer, sizeof buffer, "%lu", ULONG_MAX),
            ULONG_MAX == 4294967295ul ? 10 : 20);
  EXPECT_STREQ(buffer, ULONG_MAX == 4294967295ul ? "4294967295" : "18446744073709551615");
  FormatText(buffer, sizeof buffer, "%d|%d|%u|%lu", INT_MIN, 0, 4294967295u, 0ul);
  EXPECT_STREQ(buffer, "-2147483648|0|4294967295|0");
  FormatUnchecked(buffer, sizeof buffer, "100%% %s%", "done");
  EXPECT_STREQ(buffer, "100% done%");
}

TEST(TextFormat, NullTextAndUnknownConversionsDoNotReadArguments) {
  char buffer[32];
  FormatUnchecked(buffer, sizeof buffer, "[%s]", nullptr);
  EXPECT_STREQ(buffer, "[(null)]");
  // An unknown conversion is copied and takes no argument: the %s after it gets "x".
  FormatUnchecked(buffer, sizeof buffer, "%q%s", "x");
  EXPECT_STREQ(buffer, "%qx");
}

}  // namespace
