#include "json.h"

#include <cstdio>

#include "unicode.h"

std::string jsonString(const std::u16string& text) {
  std::string out = "\"";
  char escape[8];
  size_t plainStart = 0;
  const auto flushPlain = [&](size_t end) {
    out += toUtf8(text.substr(plainStart, end - plainStart));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair: plain text
      continue;
    }
    if (unit >= 0x20 && unit != u'"' && unit != u'\\' && !high && !low) continue;
    flushPlain(i);
    plainStart = i + 1;
    if (unit == u'"') {
      out += "\\\"";
    } else if (unit == u'\\') {
      out += "\\\\";
    } else {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  flushPlain(text.size());
  return out + "\"";
}
