#include "app_bytes.h"

#include <cstdint>
#include <vector>

namespace {

struct Random {
  uint64_t state;
  uint32_t next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
};

}  // namespace

std::string applicationLikeBytes(size_t length) {
  Random random{42};
  std::vector<std::string> words(1024);
  for (std::string& word : words) {
    for (uint32_t n = 2 + random.next() % 9; n > 0; --n) word += char('a' + random.next() % 26);
  }
  std::string table(4096, '\0');
  for (char& c : table) c = static_cast<char>(random.next());

  std::string out;
  out.reserve(length + 65536);
  while (out.size() < length) {
    const uint32_t kind = random.next() % 10;
    const size_t stretch = 4096 + random.next() % 28672;
    const size_t end = out.size() + stretch;
    if (kind < 5) {
      while (out.size() < end) {
        // Squaring favours the first words, as real text favours a few.
        const uint32_t r = random.next();
        out += words[(r % 1024) * (r % 1024) / 1024];
        out += (r >> 20) % 8 != 0 ? ' ' : '\n';
      }
    } else if (kind < 9) {
      while (out.size() < end) {
        table[random.next() % table.size()] = static_cast<char>(random.next());
        out += table;
      }
    } else {
      while (out.size() < end) out += static_cast<char>(random.next());
    }
  }
  out.resize(length);
  return out;
}
