#pragma once
#include <string>

// `text` as a JSON string literal: UTF-8, with quotes, backslashes and
// control characters escaped, and a lone surrogate (possible in names read
// from attached data) as its \u escape, so no unit is lost.
std::string jsonString(const std::u16string& text);
