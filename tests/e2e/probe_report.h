// The probe child's report format, shared by the probe and the tests that
// read it: "name: value" lines whose values are escaped to plain ASCII, a
// backslash as \\ and anything outside 0x20..0x7E as \uXXXX (UTF-16 units).
#pragma once
#include <cstdio>
#include <string>

inline std::string escapedForReport(const std::wstring& text) {
  std::string out;
  for (const wchar_t unit : text) {
    if (unit == L'\\') {
      out += "\\\\";
    } else if (unit >= 0x20 && unit <= 0x7E) {
      out += static_cast<char>(unit);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(unit));
      out += code;
    }
  }
  return out;
}
