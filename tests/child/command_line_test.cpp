#include "child/command_line.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

std::u16string quoted(const std::u16string& argument) {
  clearChildCommandLine();
  appendQuotedArgument(argument.c_str());
  return childCommandLine;
}

std::u16string joined(const std::u16string& modulePath, const std::vector<std::u16string>& rest) {
  copyText(launcherModulePath, kPathCapacity, modulePath.c_str());
  std::vector<const Utf16Unit*> arguments{u"as typed by the user"};
  for (const std::u16string& argument : rest) arguments.push_back(argument.c_str());
  joinChildCommandLine(arguments.data(), static_cast<int>(arguments.size()));
  return childCommandLine;
}

TEST(AppendQuotedArgument, WorkedExamples) {
  EXPECT_EQ(quoted(u"hello"), u"hello");
  EXPECT_EQ(quoted(u""), u"\"\"");
  EXPECT_EQ(quoted(u"two words"), u"\"two words\"");
  EXPECT_EQ(quoted(u"say \"hi\""), u"\"say \\\"hi\\\"\"");
  EXPECT_EQ(quoted(u"a\"b"), u"\"a\\\"b\"");
  EXPECT_EQ(quoted(u"\""), u"\"\\\"\"");
  EXPECT_EQ(quoted(u"C:\\dir with space\\"), u"\"C:\\dir with space\\\\\"");
  EXPECT_EQ(quoted(u"a\\b c"), u"\"a\\b c\"");
  EXPECT_EQ(quoted(u"x\\\\\"y"), u"\"x\\\\\\\\\\\"y\"");
  EXPECT_EQ(quoted(u"a\\\""), u"\"a\\\\\\\"\"");
  EXPECT_EQ(quoted(u"C:\\path\\"), u"C:\\path\\");
  EXPECT_EQ(quoted(u"ab\\\\"), u"ab\\\\");
  EXPECT_EQ(quoted(u"two\twords"), u"\"two\twords\"");
}

TEST(AppendQuotedArgument, BackslashRunsDoubleOnlyBeforeAQuoteOrTheEnd) {
  // Unquoted: every backslash passes, however many.
  EXPECT_EQ(quoted(u"\\\\\\server\\\\share\\\\\\"), u"\\\\\\server\\\\share\\\\\\");
  // Inside quotes, runs in the middle stay as they are...
  EXPECT_EQ(quoted(u"a\\\\\\b c"), u"\"a\\\\\\b c\"");
  // ...runs at the end double (3 -> 6) so the closing quote stays a quote...
  EXPECT_EQ(quoted(u"a b\\\\\\"), u"\"a b\\\\\\\\\\\\\"");
  // ...and runs before a quote become 2n+1 (2 -> 5) followed by the quote.
  EXPECT_EQ(quoted(u"\\\\\"\\\\\""), u"\"\\\\\\\\\\\"\\\\\\\\\\\"\"");
  // A lone backslash argument needs no quotes; with a blank it doubles.
  EXPECT_EQ(quoted(u"\\"), u"\\");
  EXPECT_EQ(quoted(u" \\"), u"\" \\\\\"");
}

TEST(AppendQuotedArgument, OnlyBlankTabLineFeedVerticalTabAndQuoteForceQuotes) {
  EXPECT_EQ(quoted(u"a\nb"), u"\"a\nb\"");
  EXPECT_EQ(quoted(u"a\vb"), u"\"a\vb\"");
  EXPECT_EQ(quoted(u"\t"), u"\"\t\"");
  EXPECT_EQ(quoted(u"a\rb"), u"a\rb");
  EXPECT_EQ(quoted(u"a\fb"), u"a\fb");
  EXPECT_EQ(quoted(u"semi;colon&pipe|<>^%"), u"semi;colon&pipe|<>^%");
}

TEST(AppendQuotedArgument, NonAsciiTextPassesUnitForUnit) {
  EXPECT_EQ(quoted(u"Grüße"), u"Grüße");
  EXPECT_EQ(quoted(u"日本 語"), u"\"日本 語\"");
  // A surrogate pair, and a lone surrogate, are copied as they are.
  EXPECT_EQ(quoted(u"\U0001F600 x"), u"\"\U0001F600 x\"");
  const std::u16string lone(1, char16_t{0xD800});
  EXPECT_EQ(quoted(lone), lone);
  // A no-break space is not a blank to the platform's splitting.
  EXPECT_EQ(quoted(u"a\u00A0b"), u"a\u00A0b");
}

TEST(JoinChildCommandLine, ModulePathFirstThenEachArgumentAfterOneBlank) {
  EXPECT_EQ(joined(u"C:\\Program Files\\Tool\\run.exe", {u"a", u"", u"b c"}),
            u"\"C:\\Program Files\\Tool\\run.exe\" a \"\" \"b c\"");
  EXPECT_EQ(joined(u"C:\\Tool\\run.exe", {u"x", u""}), u"C:\\Tool\\run.exe x \"\"");
  // Without arguments the line is the module path alone, quoted if need be.
  EXPECT_EQ(joined(u"C:\\Tool\\run.exe", {}), u"C:\\Tool\\run.exe");
  EXPECT_EQ(joined(u"C:\\My Tool\\run.exe", {}), u"\"C:\\My Tool\\run.exe\"");
  // A second join starts afresh.
  EXPECT_EQ(joined(u"C:\\Tool\\run.exe", {u"y"}), u"C:\\Tool\\run.exe y");
}

TEST(ChildCommandLineDeathTest, ALineOf32767UnitsFitsAndOneMoreAborts) {
  // The silent abort, not a sanitizer's report of a write past the buffer.
  const auto aborted = testing::KilledBySignal(SIGABRT);
  // "x", a blank and 32765 units: 32767 in all, the terminator in the last
  // unit of the buffer.
  const std::u16string longest(32765, u'a');
  EXPECT_EQ(joined(u"x", {longest}).size(), 32767u);
  EXPECT_EQ(childCommandLine[32767], 0);

  EXPECT_EXIT(joined(u"x", {longest + u'a'}), aborted, "");
  // A quoted argument whose closing quote alone would not fit: the check is
  // made on every append, so no line without its closing quote is left.
  const std::u16string almost = u" " + std::u16string(32762, u'a');
  EXPECT_EQ(joined(u"x", {almost}).size(), 32767u);
  EXPECT_EXIT(joined(u"x", {almost + u'a'}), aborted, "");
  // Growth from escaping counts: 16383 quotes become 32766 units plus two.
  EXPECT_EXIT(joined(u"x", {std::u16string(16383, u'"')}), aborted, "");
}

}  // namespace
