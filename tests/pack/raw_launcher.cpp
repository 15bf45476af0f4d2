// Stamps a launcher without tavmor-pack's checks, for the end-to-end tests
// that need what the tool refuses to write: attached data made by hand, a
// first entry that is no program, or a launcher damaged on purpose.
//
//   raw_launcher OUT.exe (--data FILE | --entry NAME FILE) [--spec TEXT]
//                [--product TEXT] [--version TEXT]
//                [--damage unstamped|beyond|section|short]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "default_icon.h"
#include "launcher_image.h"
#include "launcher_stub.h"
#include "pack/writer.h"
#include "payload/format.h"
#include "unicode.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: raw_launcher OUT.exe (--data FILE | --entry NAME FILE) [--spec TEXT] "
               "[--product TEXT] [--version TEXT] [--damage unstamped|beyond|section|short]\n");
  return 2;
}

void patch(std::FILE* out, uint64_t offset, const void* data, size_t length) {
  std::fseek(out, static_cast<long>(offset), SEEK_SET);
  std::fwrite(data, 1, length, out);
}

// Damages a written launcher in one of four ways.
void damage(std::FILE* out, const std::string& how) {
  std::vector<unsigned char> head(65536);
  std::fseek(out, 0, SEEK_SET);
  head.resize(std::fread(head.data(), 1, head.size(), out));
  PeHeaders headers;
  readPeHeaders(head.data(), head.size(), headers);
  const uint64_t block = headers.section(kConfigurationSection)->rawOffset;
  const uint64_t lengthAt = block + offsetof(StampedConfiguration, inputLength);
  const uint64_t inputLength = loadU64(head.data() + lengthAt);
  unsigned char bytes[8] = {};
  if (how == "unstamped") {
    patch(out, block, bytes, sizeof bytes);  // no signature: the stub as built
  } else if (how == "beyond" || how == "short") {
    // Far past the image's end, or half of it: the frame cut.
    storeU64(bytes, how == "beyond" ? inputLength + (uint64_t{1} << 24) : inputLength / 2);
    patch(out, lengthAt, bytes, sizeof bytes);
  } else if (how == "section") {
    // .payload's table entry claims 16 bytes: the data lies past its end.
    for (size_t i = 0; i < headers.sections.size(); ++i) {
      if (headers.sections[i].name == ".payload") {
        storeU32(bytes, 16);
        patch(out, headers.sectionTable + pe::kSectionEntrySize * i + 8, bytes, 4);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return usage();
  std::map<std::string, std::vector<std::string>> options;
  for (int i = 2; i < argc; ++i) {
    const std::string name = argv[i];
    const int values = name == "--entry" ? 2 : 1;
    if (i + values >= argc) return usage();
    for (int k = 1; k <= values; ++k) options[name].push_back(argv[i + k]);
    i += values;
  }
  const auto text = [&](const char* name, const char* fallback) {
    std::u16string out;
    utf8ToUtf16(options.count(name) ? options[name][0] : fallback, out);
    return out;
  };
  LauncherSettings settings;
  settings.texts[kSpecText] = text("--spec", "{TEMP}\\TavmorTest\\1.0.0");
  settings.texts[kProductText] = settings.texts[kCompanyText] = text("--product", "TavmorTest");
  settings.texts[kVersionText] = settings.texts[kFileVersionText] =
      settings.texts[kProductVersionText] = text("--version", "1.0.0");
  settings.resources.version.productName = settings.texts[kProductText];
  settings.resources.icon = defaultIconFile();
  const EmbeddedFile manifest = launcherManifest();
  settings.resources.manifest.assign(reinterpret_cast<const char*>(manifest.data), manifest.size);
  const EmbeddedFile stub = launcherStub();
  LauncherImageWriter image(stub.data, stub.size, settings);

  std::FILE* out = std::fopen(argv[1], "w+b");
  if (out == nullptr) return usage();
  std::fseek(out, static_cast<long>(image.attachedDataOffset()), SEEK_SET);
  PeChecksum sum;
  uint64_t length = 0;
  if (options.count("--data")) {
    std::ifstream in(options["--data"][0], std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), {});
    std::fwrite(data.data(), 1, data.size(), out);
    sum.add(data.data(), data.size());
    length = data.size();
  } else if (options.count("--entry")) {
    AttachedDataWriter writer;
    writer.observeOutput([&](const unsigned char* data, size_t size) { sum.add(data, size); });
    std::string error;
    std::u16string name;
    utf8ToUtf16(options["--entry"][0], name);
    if (!writer.open(out, WriterSettings{3, 0}, error) ||
        !writer.addFile(name, options["--entry"][1], error) || !writer.finish(error)) {
      std::fprintf(stderr, "raw_launcher: %s\n", error.c_str());
      return 1;
    }
    length = writer.bytesWritten();
  } else {
    return usage();
  }
  image.finish(out, length, sum);
  if (options.count("--damage")) damage(out, options["--damage"][0]);
  return std::fclose(out) == 0 ? 0 : 1;
}
