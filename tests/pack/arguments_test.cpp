#include "arguments.h"

#include <gtest/gtest.h>

#include "errors.h"

namespace {

const std::vector<OptionSpec> kSpecs = {
    {"--output", "-o", true}, {"--json", nullptr, false}, {"--level", nullptr, true}};

TEST(ParseArguments, TakesValuesInBothFormsAndPositionalsAnywhere) {
  const ParsedArguments parsed =
      parseArguments({"in", "-o", "a.exe", "--level=3", "--json", "--", "--odd"}, kSpecs);
  EXPECT_EQ(parsed.positional, (std::vector<std::string>{"in", "--odd"}));
  EXPECT_EQ(parsed.value("--output"), "a.exe");
  EXPECT_EQ(parsed.value("--level"), "3");
  EXPECT_TRUE(parsed.has("--json"));
  EXPECT_EQ(parseArguments({"--output="}, kSpecs).value("--output", "x"), "");
}

TEST(ParseArguments, RefusesWhatItCannotRead) {
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--nope"}, {"--output"}, {"-o", "a", "--output", "b"}, {"--json=yes"}}) {
    EXPECT_THROW(parseArguments(bad, kSpecs), UserError) << bad[0];
  }
}

TEST(ParseNumberOption, AcceptsTheRangeOnly) {
  EXPECT_EQ(parseNumberOption("--level", "19", 1, 22), 19);
  EXPECT_EQ(parseNumberOption("--threads", "0", 0, 256), 0);
  for (const char* bad : {"", "0", "23", "1x", "-", " 3", "99999999999"}) {
    EXPECT_THROW(parseNumberOption("--level", bad, 1, 22), UserError) << bad;
  }
}

}  // namespace
