#include "diag/report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string stripped(std::string text) {
  const size_t length = stripTrailingLineEnds(text.data(), text.size());
  return text.substr(0, length);
}

TEST(StripTrailingLineEnds, RemovesEveryTrailingCrAndLfOnly) {
  EXPECT_EQ(stripped("Access is denied.\r\n"), "Access is denied.");
  EXPECT_EQ(stripped("text\n\r\n\r"), "text");
  EXPECT_EQ(stripped("\r\n\r\n"), "");
  EXPECT_EQ(stripped("a\r\nb"), "a\r\nb");
  EXPECT_EQ(stripped(""), "");
}

std::string osErrorLine(const char* message, uint32_t code) {
  testing::internal::CaptureStderr();
  printOsError(message, code);
  fflush(stderr);
  return testing::internal::GetCapturedStderr();
}

TEST(PrintOsError, WritesMessageCodeAndSystemTextOnOneLine) {
  const std::string line = osErrorLine("Error, couldn't launch child", 2);
  // "The system cannot find the file specified." in Wine's words, without its
  // line end, inside the brackets.
  ASSERT_EQ(line.rfind("Error, couldn't launch child ([Error 2] ", 0), 0u) << line;
  EXPECT_EQ(line.substr(line.size() - 2), ")\n");
  EXPECT_EQ(line.find('\r'), std::string::npos);
  EXPECT_GT(line.size(), std::strlen("Error, couldn't launch child ([Error 2] )\n"));
}

TEST(PrintOsError, CodesFromTwoToTheThirtyFirstPrintNegative) {
  EXPECT_NE(osErrorLine("m", 0x80000000u).find("[Error -2147483648]"), std::string::npos);
  EXPECT_NE(osErrorLine("m", 0xFFFFFFFFu).find("[Error -1]"), std::string::npos);
}

TEST(PrintOsError, CodeWithoutSystemTextPrintsEmptyText) {
  // No system message exists for this code.
  EXPECT_EQ(osErrorLine("Error, x", 0x2FFFFFFFu), "Error, x ([Error 805306367] )\n");
}

}  // namespace
