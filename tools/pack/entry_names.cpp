#include "entry_names.h"

#include <algorithm>

#include "base/utf16_text.h"
#include "payload/cache_record.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "unicode.h"

namespace {

// The device names Windows reserves: CON, PRN, AUX, NUL, COM1-COM9 and
// LPT1-LPT9, and COM and LPT with a superscript 1, 2 or 3, which Windows
// reads as those digits (Microsoft's "Naming Files, Paths, and Namespaces").
// That page also lists COM0 and LPT0, which Windows creates as plain files;
// they are accepted.
bool isReservedDeviceName(const std::u16string& component) {
  // Windows reserves the name before the first dot, trailing blanks ignored.
  std::u16string base = component.substr(0, component.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = upperCase(base);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  if (base.size() != 4 || (base.compare(0, 3, u"COM") != 0 && base.compare(0, 3, u"LPT") != 0)) {
    return false;
  }
  const char16_t digit = base[3];
  return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
         digit == u'\u00B3';
}

// The 8.3 form a short name alias has: up to 8 units, "~" and digits at the
// end of the base, an extension of up to 3.
bool looksLikeShortAlias(const std::u16string& component, std::u16string& base,
                         std::u16string& extension) {
  const size_t dot = component.rfind(u'.');
  base = component.substr(0, dot);
  extension = dot == std::u16string::npos ? u"" : component.substr(dot + 1);
  const size_t tilde = base.rfind(u'~');
  if (base.size() > 8 || extension.size() > 3 || tilde == std::u16string::npos || tilde == 0 ||
      tilde + 1 == base.size()) {
    return false;
  }
  for (size_t i = tilde + 1; i < base.size(); ++i) {
    if (base[i] < u'0' || base[i] > u'9') return false;
  }
  base.resize(tilde);
  return true;
}

// Whether Windows could give `longName` the short alias `alias` (8.3 form):
// the alias starts with the first units of the long name's base, and its
// extension with the first units of the long name's extension, blanks and
// dots dropped, without regard to case.
bool mayBeShortAliasOf(const std::u16string& alias, const std::u16string& longName) {
  std::u16string aliasBase, aliasExtension;
  if (!looksLikeShortAlias(upperCase(alias), aliasBase, aliasExtension)) return false;
  const std::u16string name = upperCase(longName);
  if (name == upperCase(alias)) return false;
  const size_t dot = name.rfind(u'.');
  std::u16string base, extension;
  for (size_t i = 0; i < std::min(dot, name.size()); ++i) {
    if (name[i] != u' ' && name[i] != u'.') base += name[i];
  }
  if (dot != std::u16string::npos) {
    for (size_t i = dot + 1; i < name.size(); ++i) {
      if (name[i] != u' ') extension += name[i];
    }
  }
  return base.compare(0, aliasBase.size(), aliasBase) == 0 &&
         extension.substr(0, 3) == aliasExtension;
}

}  // namespace

std::string entryNameProblem(const std::u16string& name) {
  if (const char* fault = entryNameFault(name.data(), name.size())) return fault;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find(u'\\', start);
    const std::u16string component = name.substr(start, end - start);
    if (component.back() == u'.' || component.back() == u' ') {
      return "the name has a component ending in a dot or blank, which Windows drops";
    }
    if (isReservedDeviceName(component)) {
      return "the name has the component \"" + toUtf8(component) +
             "\", a reserved device name on Windows";
    }
    const std::u16string suffix = kPartialSuffix;
    if (component.size() >= suffix.size() &&
        upperCase(component.substr(component.size() - suffix.size())) == upperCase(suffix)) {
      return "the name has a component ending in \".tavmor-partial\", which the launcher uses "
             "for files it is writing";
    }
    if (start == 0 && upperCase(component) == upperCase(kCacheRecordName)) {
      return "the name starts with \".tavmor-record\", the launcher's record of the files it "
             "checked";
    }
    if (end == std::u16string::npos) return {};
    start = end + 1;
  }
}

bool hasExeSuffix(const std::u16string& name) {
  return name.size() > 4 && endsWithExe(name.data(), name.size());
}

std::u16string EntryNameSet::add(const std::u16string& name) {
  // A component in 8.3 alias form beside a long name it may stand for.
  const size_t cut = name.rfind(u'\\');
  const std::u16string folder = cut == std::u16string::npos ? u"" : upperCase(name.substr(0, cut));
  const std::u16string component = name.substr(cut + 1);
  // Alias forms are rare: each is compared with every other name, and every
  // name with the alias forms only.
  std::u16string aliasBase, aliasExtension;
  const bool isAliasForm = looksLikeShortAlias(upperCase(component), aliasBase, aliasExtension);
  for (const auto& [other, otherFolder] : isAliasForm ? names_ : aliasForms_) {
    const std::u16string otherComponent = other.substr(other.rfind(u'\\') + 1);
    if (otherFolder == folder && (mayBeShortAliasOf(component, otherComponent) ||
                                  mayBeShortAliasOf(otherComponent, component))) {
      return other;
    }
  }
  names_.emplace_back(name, folder);
  if (isAliasForm) aliasForms_.emplace_back(name, folder);
  const std::u16string key = upperCase(name);
  for (size_t cut = key.find(u'\\'); cut != std::u16string::npos; cut = key.find(u'\\', cut + 1)) {
    const auto [place, added] = places_.emplace(key.substr(0, cut), Place{false, name});
    if (!added && place->second.isFile) return place->second.name;
  }
  const auto [place, added] = places_.emplace(key, Place{true, name});
  if (!added) return place->second.name;
  return {};
}
