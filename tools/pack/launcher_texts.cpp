#include "launcher_texts.h"

#include "base/utf16_text.h"
#include "entry_names.h"
#include "errors.h"
#include "target/placeholder_names.h"
#include "unicode.h"

namespace {

std::array<uint16_t, 4> versionNumbers(const std::string& option, const std::string& text) {
  std::array<uint16_t, 4> numbers;
  if (!parseVersionNumbers(text, numbers)) {
    throw UserError(option + " " + text +
                    ": expected one to four numbers from 0 to 65535 separated by dots");
  }
  return numbers;
}

// A text that the default spec uses as a folder name.
void checkFolderName(const std::string& option, const std::u16string& text) {
  std::string problem = entryNameProblem(text);
  if (problem.empty() && text.find_first_of(u"\\{}") != std::u16string::npos) {
    problem = "it holds a backslash or brace";
  }
  if (!problem.empty()) {
    throw UserError(option + " " + toUtf8(text) + " cannot be a folder name in the default spec (" +
                    problem + "); choose one with --spec");
  }
}

const PlaceholderName* findPlaceholder(const std::u16string& name) {
  const std::u16string upper = upperCase(name);
  for (const PlaceholderName& entry : kPlaceholderNames) {
    std::u16string known;
    for (const char* c = entry.name; *c != 0; ++c) known += static_cast<char16_t>(*c);
    if (upper == known) return &entry;
  }
  return nullptr;
}

const std::u16string* buildTimeText(Placeholder placeholder, const LauncherTexts& texts) {
  switch (placeholder) {
    case Placeholder::kCompany:
      return &texts.company;
    case Placeholder::kProduct:
      return &texts.product;
    case Placeholder::kVersion:
      return &texts.version;
    case Placeholder::kFileVersion:
      return &texts.fileVersion;
    case Placeholder::kProductVersion:
      return &texts.productVersion;
    default:
      return nullptr;
  }
}

// The spec's literal text and placeholders, in order. Empty `problem` when
// every brace belongs to a known placeholder.
struct SpecPart {
  std::u16string literal;
  const PlaceholderName* placeholder;
};

std::vector<SpecPart> splitSpec(const std::u16string& spec, std::string& problem) {
  std::vector<SpecPart> parts;
  size_t at = 0;
  for (;;) {
    const size_t open = spec.find_first_of(u"{}", at);
    parts.push_back({spec.substr(at, open - at), nullptr});
    if (open == std::u16string::npos) return parts;
    if (spec[open] == u'}') {
      problem = "has a \"}\" without its \"{\"";
      return parts;
    }
    const size_t close = spec.find_first_of(u"{}", open + 1);
    if (close == std::u16string::npos || spec[close] == u'{') {
      problem = "has a \"{\" without its \"}\"";
      return parts;
    }
    const std::u16string name = spec.substr(open + 1, close - open - 1);
    const PlaceholderName* const placeholder = findPlaceholder(name);
    if (placeholder == nullptr) {
      problem = "has the unknown placeholder {" + toUtf8(upperCase(name)) + "}";
      return parts;
    }
    parts.push_back({u"", placeholder});
    at = close + 1;
  }
}

bool isOneOf(const PlaceholderName* entry, std::initializer_list<Placeholder> set) {
  if (entry == nullptr) return false;
  for (const Placeholder p : set) {
    if (entry->placeholder == p) return true;
  }
  return false;
}

}  // namespace

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

std::string specProblem(const std::u16string& spec, const LauncherTexts& texts) {
  if (spec.empty()) return "is empty";
  std::string problem;
  const std::vector<SpecPart> parts = splitSpec(spec, problem);
  if (!problem.empty()) return problem;
  size_t fixed = 0;
  for (const SpecPart& part : parts) {
    fixed += part.literal.size();
    if (part.placeholder == nullptr) continue;
    if (const std::u16string* value = buildTimeText(part.placeholder->placeholder, texts)) {
      fixed += value->size();
    }
  }
  if (fixed + 1 > kPathCapacity) {
    return "its text and build-time values alone take " + std::to_string(fixed) +
           " UTF-16 units; the launcher's paths hold at most " + std::to_string(kPathCapacity - 1);
  }
  return {};
}

namespace {

// The placeholder a spec starts with, or null.
const PlaceholderName* leadingPlaceholder(const std::vector<SpecPart>& parts) {
  return parts.size() > 1 && parts[0].literal.empty() ? parts[1].placeholder : nullptr;
}

bool startsInUsersFolders(const PlaceholderName* first) {
  return isOneOf(first, {Placeholder::kTemp, Placeholder::kHome, Placeholder::kCacheDir});
}

}  // namespace

bool specInUsersFolders(const std::u16string& spec) {
  std::string problem;
  return startsInUsersFolders(leadingPlaceholder(splitSpec(spec, problem)));
}

std::vector<std::string> specWarnings(const std::u16string& spec, const LauncherTexts& texts) {
  std::string problem;
  const std::vector<SpecPart> parts = splitSpec(spec, problem);
  std::vector<std::string> warnings;
  // A long spec is shown by its start: the warning stays one readable line.
  const std::string shown =
      "--spec " + (spec.size() > 60 ? toUtf8(spec.substr(0, 57)) + "..." : toUtf8(spec)) + ": ";
  const PlaceholderName* const first = leadingPlaceholder(parts);
  const std::u16string& start = parts[0].literal;
  const bool drive = start.size() >= 3 && start[1] == u':' && start[2] == u'\\';
  const bool unc = start.compare(0, 2, u"\\\\") == 0;
  if (!drive && !unc &&
      !isOneOf(first,
               {Placeholder::kTemp, Placeholder::kHome, Placeholder::kCacheDir,
                Placeholder::kProgram, Placeholder::kProgramDir, Placeholder::kProgramBase})) {
    warnings.push_back(shown +
                       "relative: the launcher unpacks below whatever folder it is started in");
  } else if (!startsInUsersFolders(first)) {
    warnings.push_back(shown +
                       "outside the user's own folders ({CACHE_DIR}, {HOME}, {TEMP}): users "
                       "may share it or be unable to write there");
  }
  bool changes = spec.find(texts.version) != std::u16string::npos;
  for (const SpecPart& part : parts) {
    changes = changes || isOneOf(part.placeholder,
                                 {Placeholder::kVersion, Placeholder::kFileVersion,
                                  Placeholder::kProductVersion, Placeholder::kPid,
                                  Placeholder::kRandom, Placeholder::kTime, Placeholder::kTimeUs});
  }
  if (!changes) {
    warnings.push_back(shown +
                       "the same for every version: a new version unpacks over the files of "
                       "the old one");
  }
  return warnings;
}

LauncherTexts launcherTexts(const LauncherTextOptions& options, const std::u16string& childName,
                            const std::string& outputName) {
  LauncherTexts texts;
  std::u16string defaultProduct = childName.substr(childName.rfind(u'\\') + 1);
  if (hasExeSuffix(defaultProduct)) defaultProduct.resize(defaultProduct.size() - 4);
  texts.product = options.hasProduct ? toUtf16(options.product, "--product") : defaultProduct;
  if (texts.product.empty()) throw UserError("--product is empty");
  texts.company = options.hasCompany ? toUtf16(options.company, "--company") : texts.product;
  const std::string& version = options.version;
  if (version.empty()) throw UserError("--version is empty");
  texts.version = toUtf16(version, "--version");
  // The resource's versions are numbers; the placeholders keep the texts.
  const std::string fileVersionOption = options.hasFileVersion ? "--file-version" : "--version";
  const std::string productVersionOption =
      options.hasProductVersion ? "--product-version" : "--version";
  const std::string fileVersion = options.hasFileVersion ? options.fileVersion : version;
  const std::string productVersion = options.hasProductVersion ? options.productVersion : version;
  texts.fileVersion = toUtf16(fileVersion, fileVersionOption);
  texts.productVersion = toUtf16(productVersion, productVersionOption);
  texts.resource.fileVersion = versionNumbers(fileVersionOption, fileVersion);
  texts.resource.productVersion = versionNumbers(productVersionOption, productVersion);

  if (options.hasSpec) {
    texts.spec = toUtf16(options.spec, "--spec");
  } else {
    checkFolderName("--product", texts.product);
    checkFolderName("--version", texts.version);
    texts.spec = u"{CACHE_DIR}\\" + texts.product + u"\\" + texts.version;
  }
  const std::string problem = specProblem(texts.spec, texts);
  if (!problem.empty()) throw UserError("--spec " + toUtf8(texts.spec) + ": " + problem);

  // One line, in the window and on the console, where a line end or a tab
  // would break the line that a carriage return takes off again.
  if (options.hasProgressText) {
    texts.progressText = toUtf16(options.progressText, "--progress-text");
    for (const char16_t unit : texts.progressText) {
      if (unit < 0x20 || unit == 0x7F) {
        throw UserError("--progress-text: a control character; the text must be one plain line");
      }
    }
  } else {
    texts.progressText = u"Preparing " + texts.product + u" for its first start";
  }

  texts.resource.companyName = texts.company;
  texts.resource.productName = texts.product;
  texts.resource.internalName = texts.product;
  texts.resource.originalFilename = toUtf16(outputName, "the output's file name");
  texts.resource.fileDescription =
      options.hasDescription ? toUtf16(options.description, "--description") : texts.product;
  return texts;
}
