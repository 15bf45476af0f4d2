// Writes the reader fuzz target's seed corpus into the folder named by the
// first argument: small attached data made by the writer, some of it
// decoding to several blocks.
#include <cstdio>
#include <string>
#include <vector>

#include "pack_in_memory.h"
#include "test_data.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  const std::vector<std::vector<TestEntry>> seeds = {
      {},
      {{u"a", ""}},
      {{u"app.exe", "MZ hello"}, {u"lib\\x.dll", patternedBytes(3000, 1)}, {u"lib\\e", ""}},
      {{u"zeros", std::string(300000, '\0')}, {u"b", "after the zeros"}},
      {{u"f", std::string(131072 - 16, 'r')}, {u"g", patternedBytes(100, 2)}},
      {{std::u16string(1023, u'n'), "long name"}},
      {{u"\u00e9\\\U0001F600", patternedBytes(200, 3)}},
  };
  int index = 0;
  for (const auto& entries : seeds) {
    for (const int level : {1, 19}) {
      std::string error;
      const std::vector<unsigned char> data = packInMemory(entries, {level, 0}, 4096, error);
      if (data.empty()) {
        std::fprintf(stderr, "seed %d: %s\n", index, error.c_str());
        return 1;
      }
      const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(index++);
      std::FILE* out = std::fopen(path.c_str(), "wb");
      if (out == nullptr || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
          std::fclose(out) != 0) {
        std::perror(path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
