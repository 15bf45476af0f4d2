// Writes the reader fuzz target's seed corpus into the folder named by the
// first argument: small attached data made by the writer, some of it
// decoding to several blocks, some in several frames; and, into the folder
// named by the second when given, the writer's entry tables of the same.
#include <cstdio>
#include <string>
#include <vector>

#include "pack_in_memory.h"
#include "test_data.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s folder [table-folder]\n", argv[0]);
    return 2;
  }
  const auto save = [](const std::string& path, const std::vector<unsigned char>& data) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
        std::fclose(out) != 0) {
      std::perror(path.c_str());
      return false;
    }
    return true;
  };
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
    for (const WriterSettings settings :
         {WriterSettings{1, 0, 0}, WriterSettings{19, 0, 0}, WriterSettings{1, 0, 100000}}) {
      std::string error;
      std::vector<unsigned char> table;
      const std::vector<unsigned char> data = packInMemory(entries, settings, 4096, error, &table);
      if (data.empty()) {
        std::fprintf(stderr, "seed %d: %s\n", index, error.c_str());
        return 1;
      }
      const std::string name = "/seed-" + std::to_string(index++);
      if (!save(argv[1] + name, data) || (argc == 3 && !save(argv[2] + name, table))) return 1;
    }
  }
  return 0;
}
