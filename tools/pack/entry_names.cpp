#include "entry_names.h"

#include "payload/format.h"
#include "unicode.h"

namespace {

bool isReservedDeviceName(const std::u16string& component) {
  // Windows reserves the name before the first dot, trailing blanks ignored.
  std::u16string base = component.substr(0, component.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = upperCase(base);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         base[3] >= u'1' && base[3] <= u'9';
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
    if (end == std::u16string::npos) return {};
    start = end + 1;
  }
}

bool hasExeSuffix(const std::u16string& name) {
  return name.size() > 4 && upperCase(name.substr(name.size() - 4)) == u".EXE";
}

std::u16string EntryNameSet::add(const std::u16string& name) {
  const std::u16string key = upperCase(name);
  for (size_t cut = key.find(u'\\'); cut != std::u16string::npos; cut = key.find(u'\\', cut + 1)) {
    const auto [place, added] = places_.emplace(key.substr(0, cut), Place{false, name});
    if (!added && place->second.isFile) return place->second.name;
  }
  const auto [place, added] = places_.emplace(key, Place{true, name});
  if (!added) return place->second.name;
  return {};
}
