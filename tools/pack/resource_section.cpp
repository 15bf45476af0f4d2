#include "resource_section.h"

#include <map>
#include <vector>

#include "payload/format.h"
#include "pe_image.h"

namespace {

constexpr uint32_t kIconType = 3, kIconGroupType = 14, kVersionType = 16, kManifestType = 24;
constexpr uint32_t kLanguage = 0x409;  // U.S. English
constexpr uint32_t kSubdirectoryFlag = 0x80000000;

void putU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value));
  out.push_back(static_cast<char>(value >> 8));
}

void putU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

void padTo4(std::string& out) {
  while (out.size() % 4 != 0) out.push_back('\0');
}

uint16_t u16At(const std::string& s, size_t at) {
  return loadU16(reinterpret_cast<const unsigned char*>(s.data()) + at);
}

uint32_t u32At(const std::string& s, size_t at) {
  return loadU32(reinterpret_cast<const unsigned char*>(s.data()) + at);
}

// One node of a version resource: u16 length, value length and type (1 for
// text), the key as UTF-16 with its terminator, then the value and the
// children, each starting on a 4-byte boundary.
std::string versionNode(const std::u16string& key, const std::string& value, uint16_t valueLength,
                        bool text, const std::string& children) {
  std::string node(6, '\0');
  for (const char16_t unit : key) putU16(node, unit);
  putU16(node, 0);
  padTo4(node);
  node += value;
  if (!children.empty()) {
    padTo4(node);
    node += children;
  }
  std::string header;
  putU16(header, static_cast<uint16_t>(node.size()));
  putU16(header, valueLength);
  putU16(header, text ? 1 : 0);
  node.replace(0, 6, header);
  return node;
}

std::string textValue(const std::u16string& value) {
  std::string out;
  for (const char16_t unit : value) putU16(out, unit);
  putU16(out, 0);
  return out;
}

std::u16string dotted(const std::array<uint16_t, 4>& numbers) {
  std::u16string out;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) out += u'.';
    for (const char c : std::to_string(numbers[i])) out += static_cast<char16_t>(c);
  }
  return out;
}

struct Resource {
  uint32_t type, id;
  std::string data;
};

}  // namespace

std::string versionInfo(const VersionResource& version) {
  const std::pair<const char16_t*, std::u16string> strings[] = {
      {u"FileVersion", dotted(version.fileVersion)},
      {u"ProductVersion", dotted(version.productVersion)},
      {u"CompanyName", version.companyName},
      {u"ProductName", version.productName},
      {u"InternalName", version.internalName},
      {u"OriginalFilename", version.originalFilename},
      {u"FileDescription", version.fileDescription},
  };
  std::string table;
  for (const auto& [key, value] : strings) {
    padTo4(table);
    table += versionNode(key, textValue(value), static_cast<uint16_t>(value.size() + 1), true, "");
  }
  // U.S. English, Unicode code page: the strings are UTF-16.
  const std::string stringFileInfo =
      versionNode(u"StringFileInfo", "", 0, true, versionNode(u"040904B0", "", 0, true, table));
  std::string translation;
  putU16(translation, 0x409);
  putU16(translation, 1200);
  const std::string varFileInfo = versionNode(
      u"VarFileInfo", "", 0, true, versionNode(u"Translation", translation, 4, false, ""));

  std::string fixed;
  const auto& f = version.fileVersion;
  const auto& p = version.productVersion;
  putU32(fixed, 0xFEEF04BD);  // signature
  putU32(fixed, 0x00010000);  // structure version 1.0
  putU32(fixed, uint32_t{f[0]} << 16 | f[1]);
  putU32(fixed, uint32_t{f[2]} << 16 | f[3]);
  putU32(fixed, uint32_t{p[0]} << 16 | p[1]);
  putU32(fixed, uint32_t{p[2]} << 16 | p[3]);
  putU32(fixed, 0x3F);     // flags mask
  putU32(fixed, 0);        // flags
  putU32(fixed, 0x40004);  // VOS_NT_WINDOWS32
  putU32(fixed, 1);        // VFT_APP
  putU32(fixed, 0);        // subtype
  putU32(fixed, 0);        // date, high
  putU32(fixed, 0);        // date, low
  std::string children = stringFileInfo;
  padTo4(children);
  children += varFileInfo;
  return versionNode(u"VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), false,
                     children);
}

std::string iconFileProblem(const std::string& icon) {
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries whose last two
  // fields are the image's size and offset in the file.
  if (icon.size() < 6 || u16At(icon, 0) != 0 || u16At(icon, 2) != 1) return "not an .ico file";
  const size_t count = u16At(icon, 4);
  if (count == 0) return "an .ico file without images";
  if (icon.size() < 6 + 16 * count) return "a cut .ico file";
  for (size_t i = 0; i < count; ++i) {
    const uint64_t size = u32At(icon, 6 + 16 * i + 8);
    const uint64_t offset = u32At(icon, 6 + 16 * i + 12);
    if (size == 0 || offset + size > icon.size()) {
      return "image " + std::to_string(i + 1) + " of the .ico file lies outside it";
    }
  }
  return {};
}

std::string resourceSection(const LauncherResources& resources, uint32_t rva) {
  // The icons become resources 1..n; the group lists them by those numbers,
  // in 14-byte entries: the .ico entry's first 12 bytes, then the number.
  std::vector<Resource> list;
  const std::string& icon = resources.icon;
  const uint16_t count = u16At(icon, 4);
  std::string group = icon.substr(0, 6);
  for (uint16_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * size_t{i};
    group += icon.substr(entry, 12);
    putU16(group, static_cast<uint16_t>(i + 1));
    list.push_back(
        {kIconType, i + 1u, icon.substr(u32At(icon, entry + 12), u32At(icon, entry + 8))});
  }
  list.push_back({kIconGroupType, 1, group});
  list.push_back({kVersionType, 1, versionInfo(resources.version)});
  list.push_back({kManifestType, 1, resources.manifest});

  // Root -> one directory per type -> one per id -> one language entry ->
  // data entry -> data. Entries sort by number; `list` is in that order.
  std::map<uint32_t, std::vector<const Resource*>> byType;
  for (const Resource& r : list) byType[r.type].push_back(&r);
  const auto directorySize = [](size_t entries) { return 16 + 8 * entries; };
  size_t typeDirs = directorySize(byType.size());
  size_t at = typeDirs;
  std::map<uint32_t, size_t> typeDirAt;
  for (const auto& [type, members] : byType) {
    typeDirAt[type] = at;
    at += directorySize(members.size());
  }
  std::vector<size_t> languageDirAt(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    languageDirAt[i] = at;
    at += directorySize(1);
  }
  std::vector<size_t> dataEntryAt(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    dataEntryAt[i] = at;
    at += 16;
  }
  std::vector<size_t> dataAt(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    at = alignUp(at, 8);
    dataAt[i] = at;
    at += list[i].data.size();
  }

  std::string out;
  const auto directory = [&out](size_t entries) {
    putU32(out, 0);  // characteristics
    putU32(out, 0);  // time stamp: none, so the bytes depend on the inputs alone
    putU32(out, 0);  // version
    putU16(out, 0);  // named entries
    putU16(out, static_cast<uint16_t>(entries));
  };
  directory(byType.size());
  for (const auto& [type, members] : byType) {
    putU32(out, type);
    putU32(out, kSubdirectoryFlag | static_cast<uint32_t>(typeDirAt[type]));
  }
  const auto indexOf = [&list](const Resource* r) { return static_cast<size_t>(r - list.data()); };
  for (const auto& [type, members] : byType) {
    directory(members.size());
    for (const Resource* r : members) {
      putU32(out, r->id);
      putU32(out, kSubdirectoryFlag | static_cast<uint32_t>(languageDirAt[indexOf(r)]));
    }
  }
  for (size_t i = 0; i < list.size(); ++i) {
    directory(1);
    putU32(out, kLanguage);
    putU32(out, static_cast<uint32_t>(dataEntryAt[i]));
  }
  for (size_t i = 0; i < list.size(); ++i) {
    putU32(out, rva + static_cast<uint32_t>(dataAt[i]));
    putU32(out, static_cast<uint32_t>(list[i].data.size()));
    putU32(out, 0);  // code page
    putU32(out, 0);
  }
  for (size_t i = 0; i < list.size(); ++i) {
    out.resize(dataAt[i], '\0');
    out += list[i].data;
  }
  return out;
}

std::string resourceSectionProblem(const unsigned char* section, size_t size, uint32_t rva) {
  // Walks the three levels, checking every offset against the section.
  const auto entries = [&](uint64_t at, std::vector<std::pair<uint32_t, uint32_t>>& out) {
    if (at + 16 > size) return false;
    const uint64_t count = uint64_t{loadU16(section + at + 12)} + loadU16(section + at + 14);
    if (at + 16 + 8 * count > size) return false;
    out.clear();
    for (uint64_t i = 0; i < count; ++i) {
      out.emplace_back(loadU32(section + at + 16 + 8 * i), loadU32(section + at + 20 + 8 * i));
    }
    return true;
  };
  std::map<uint32_t, std::map<uint32_t, std::pair<uint64_t, uint64_t>>> found;  // type, id -> data
  std::vector<std::pair<uint32_t, uint32_t>> types, ids, languages;
  if (!entries(0, types)) return "the resource directory lies outside its section";
  for (const auto& [type, typeDir] : types) {
    if (!(typeDir & kSubdirectoryFlag) || !entries(typeDir & ~kSubdirectoryFlag, ids)) {
      return "a resource type directory lies outside its section";
    }
    for (const auto& [id, idDir] : ids) {
      if (!(idDir & kSubdirectoryFlag) || !entries(idDir & ~kSubdirectoryFlag, languages) ||
          languages.size() != 1 || (languages[0].second & kSubdirectoryFlag) ||
          languages[0].second + 16ull > size) {
        return "a resource entry lies outside its section";
      }
      const uint64_t dataRva = loadU32(section + languages[0].second);
      const uint64_t dataSize = loadU32(section + languages[0].second + 4);
      if (dataRva < rva || dataRva - rva + dataSize > size) {
        return "resource data lies outside its section";
      }
      found[type][id] = {dataRva - rva, dataSize};
    }
  }
  for (const uint32_t type : {kIconGroupType, kVersionType, kManifestType}) {
    if (found[type].count(1) == 0) return "resource type " + std::to_string(type) + " is missing";
  }
  const auto [groupAt, groupSize] = found[kIconGroupType][1];
  const uint64_t icons = groupSize >= 6 ? loadU16(section + groupAt + 4) : 0;
  if (icons == 0 || groupSize < 6 + 14 * icons) return "the icon group is damaged";
  for (uint64_t i = 0; i < icons; ++i) {
    if (found[kIconType].count(loadU16(section + groupAt + 6 + 14 * i + 12)) == 0) {
      return "the icon group names a missing icon";
    }
  }
  return {};
}
