#include "launcher_sources.h"

#include <cstdio>
#include <stdexcept>

#include "unicode.h"

std::string unitArray(const std::u16string& text) {
  std::string out;
  char unit[16];
  for (const char16_t c : text) {
    std::snprintf(unit, sizeof unit, "0x%04x, ", static_cast<unsigned>(c));
    out += unit;
  }
  return out + "0";
}

std::string fillTemplate(const std::string& text,
                         const std::map<std::string, std::string>& values) {
  std::string out;
  size_t at = 0;
  for (;;) {
    const size_t open = text.find('@', at);
    if (open == std::string::npos) break;
    const size_t close = text.find('@', open + 1);
    if (close == std::string::npos) break;
    const std::string name = text.substr(open + 1, close - open - 1);
    const bool isPlaceholder =
        !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos;
    if (!isPlaceholder) {
      out.append(text, at, close - at);
      at = close;
      continue;
    }
    const auto value = values.find(name);
    if (value == values.end())
      throw std::runtime_error("template placeholder @" + name + "@ has no value");
    out.append(text, at, open - at);
    out += value->second;
    at = close + 1;
  }
  out.append(text, at, std::string::npos);
  return out;
}

bool parseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& numbers) {
  numbers = {};
  size_t part = 0;
  size_t at = 0;
  for (;;) {
    if (part == numbers.size()) return false;
    const size_t end = text.find('.', at);
    const std::string digits = text.substr(at, end - at);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const unsigned long value = std::stoul(digits);
    if (value > 65535) return false;
    numbers[part++] = static_cast<uint16_t>(value);
    if (end == std::string::npos) return true;
    at = end + 1;
  }
}

std::string specProblem(const std::u16string& spec) {
  static const char16_t* const kPlaceholders[] = {
      u"TEMP",         u"PROGRAM",         u"PROGRAM_BASE", u"PROGRAM_DIR", u"PID",
      u"HOME",         u"CACHE_DIR",       u"COMPANY",      u"PRODUCT",     u"VERSION",
      u"FILE_VERSION", u"PRODUCT_VERSION", u"RANDOM",       u"TIME_US",     u"TIME"};
  if (spec.empty()) return "is empty";
  size_t at = 0;
  for (;;) {
    const size_t open = spec.find_first_of(u"{}", at);
    if (open == std::u16string::npos) return {};
    if (spec[open] == u'}') return "has a \"}\" without its \"{\"";
    const size_t close = spec.find_first_of(u"{}", open + 1);
    if (close == std::u16string::npos || spec[close] == u'{') {
      return "has a \"{\" without its \"}\"";
    }
    const std::u16string name = upperCase(spec.substr(open + 1, close - open - 1));
    bool known = false;
    for (const char16_t* placeholder : kPlaceholders) known = known || name == placeholder;
    if (!known) return "has the unknown placeholder {" + toUtf8(name) + "}";
    at = close + 1;
  }
}

namespace {

// L"..." with every unit outside plain printable ASCII, and the quote and
// backslash, as a four-digit escape, which windres reads as one unit.
std::string wideLiteral(const std::u16string& text) {
  std::string out = "L\"";
  char escape[8];
  for (const char16_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(escape, sizeof escape, "\\x%04x", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out + "\"";
}

std::string versionNumbers(const std::array<uint16_t, 4>& numbers, const char* separator) {
  std::string out;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) out += separator;
    out += std::to_string(numbers[i]);
  }
  return out;
}

std::u16string versionText(const std::array<uint16_t, 4>& numbers) {
  std::u16string out;
  utf8ToUtf16(versionNumbers(numbers, "."), out);
  return out;
}

}  // namespace

std::string resourceScript(const VersionResource& version, const std::string& iconFile,
                           const std::string& manifestFile) {
  const std::pair<const char*, std::u16string> strings[] = {
      {"FileVersion", versionText(version.fileVersion)},
      {"ProductVersion", versionText(version.productVersion)},
      {"CompanyName", version.companyName},
      {"ProductName", version.productName},
      {"InternalName", version.internalName},
      {"OriginalFilename", version.originalFilename},
      {"FileDescription", version.fileDescription},
  };
  std::string out;
  out += "1 ICON \"" + iconFile + "\"\n";
  // Resource type 24 is the manifest; id 1 is the one the loader reads for
  // an executable.
  out += "1 24 \"" + manifestFile + "\"\n";
  out += "1 VERSIONINFO\n";
  out += "FILEVERSION " + versionNumbers(version.fileVersion, ",") + "\n";
  out += "PRODUCTVERSION " + versionNumbers(version.productVersion, ",") + "\n";
  out += "FILEFLAGSMASK 0x3f\nFILEFLAGS 0x0\n";
  out += "FILEOS 0x40004\n";  // VOS_NT_WINDOWS32
  out += "FILETYPE 0x1\n";    // VFT_APP
  out += "FILESUBTYPE 0x0\n";
  out += "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n";
  // U.S. English, Unicode code page: the strings are UTF-16.
  out += "    BLOCK \"040904B0\"\n    BEGIN\n";
  for (const auto& [key, value] : strings) {
    out += "      VALUE \"" + std::string(key) + "\", " + wideLiteral(value) + "\n";
  }
  out += "    END\n  END\n";
  out += "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\n";
  out += "END\n";
  return out;
}
