#include "unicode.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "errors.h"

bool utf8ToUtf16(const std::string& text, std::u16string& out) {
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    uint32_t code = 0;
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F;
      extra = 1;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F;
      extra = 2;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07;
      extra = 3;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += extra + 1;
  }
  return true;
}

std::u16string toUtf16(const std::string& text, const std::string& what) {
  std::u16string out;
  if (!utf8ToUtf16(text, out)) throw UserError(what + " is not valid UTF-8");
  return out;
}

std::string toUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

namespace {

struct UpperCase {
  char16_t unit, upper;
};
constexpr UpperCase kUpperCase[] = {
#include "upper_case_table.inc"
};

}  // namespace

char16_t upperCaseUnit(char16_t unit) {
  // A table of our own, not the host's locale: the same names clash on every
  // machine that runs the tool.
  const UpperCase* const end = std::end(kUpperCase);
  const UpperCase* const found = std::lower_bound(
      std::begin(kUpperCase), end, unit, [](const UpperCase& e, char16_t u) { return e.unit < u; });
  return found != end && found->unit == unit ? found->upper : unit;
}

std::u16string upperCase(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& unit : out) unit = upperCaseUnit(unit);
  return out;
}
