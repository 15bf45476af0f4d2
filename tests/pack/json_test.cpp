#include "json.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsEveryUnit) {
  EXPECT_EQ(jsonString(u"lib\\core.dll"), "\"lib\\\\core.dll\"");
  EXPECT_EQ(jsonString(u"say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(jsonString(u"a\x01\x1f"), "\"a\\u0001\\u001f\"");
  EXPECT_EQ(jsonString(u"\u00E4\xD83D\xDE00"), "\"\xC3\xA4\xF0\x9F\x98\x80\"");
  // Lone surrogates cannot be UTF-8; their escapes keep the name exact.
  EXPECT_EQ(jsonString(u"x\xD800y\xDFFF"), "\"x\\ud800y\\udfff\"");
  EXPECT_EQ(jsonString(u""), "\"\"");
}

}  // namespace
