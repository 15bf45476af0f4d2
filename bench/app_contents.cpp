#include "app_contents.h"

#include <algorithm>
#include <cstring>

namespace {

enum Kind { noise, text, code, table, kindCount };

// Percent of stretches of each kind. Alone, zstd -19 leaves about 100% of
// noise, 25% of text, 33% of code and 5% of tables.
struct Shares {
  int percent[kindCount];
};

Shares sharesOf(ContentProfile profile) {
  switch (profile) {
    case ContentProfile::program:
    case ContentProfile::library:
      return {{4, 10, 43, 43}};
    case ContentProfile::media:
      return {{70, 0, 0, 30}};
    case ContentProfile::text:
      return {{0, 95, 0, 5}};
    case ContentProfile::data:
      return {{8, 12, 20, 60}};
  }
  return {{0, 0, 0, 100}};
}

void makeVocabulary(ContentModel& model) {
  static const char kLetters[] = "etaoinshrdlcumwfgypbvkjxqz_";
  BenchRandom& random = model.random;
  for (int i = 0; i < 4096; ++i) {
    std::string word;
    const int length = 2 + static_cast<int>(random.below(9));
    for (int k = 0; k < length; ++k) word += kLetters[random.below(k == 0 ? 26 : 27)];
    model.words.push_back(word);
  }
  // Zipf's law: the word of rank r comes up in proportion to 1 / r.
  double sum = 0;
  for (size_t r = 1; r <= model.words.size(); ++r) sum += 1.0 / static_cast<double>(r);
  double below = 0;
  size_t word = 0;
  for (int slot = 0; slot < 65536; ++slot) {
    const double at = (slot + 0.5) / 65536.0 * sum;
    while (word + 1 < model.words.size() && below + 1.0 / static_cast<double>(word + 1) < at) {
      below += 1.0 / static_cast<double>(++word);
    }
    model.wordBySlot.push_back(static_cast<uint16_t>(word));
  }
}

// Basic blocks of instruction-like byte patterns. Some instructions carry a
// 16-bit operand, such as an offset, that differs from one use to the next.
void makeCodeBlocks(ContentModel& model) {
  BenchRandom& random = model.random;
  std::vector<std::string> instructions;
  for (int i = 0; i < 256; ++i) {
    std::string instruction;
    const int length = 1 + static_cast<int>(random.below(5));
    for (int k = 0; k < length; ++k) instruction += static_cast<char>(random.below(256));
    instructions.push_back(instruction);
  }
  for (int i = 0; i < 4096; ++i) {
    std::string block;
    std::vector<uint16_t> operands;
    const int count = 4 + static_cast<int>(random.below(40));
    for (int k = 0; k < count; ++k) {
      block += instructions[std::min(random.below(256), random.below(256))];
      if (random.below(3) == 0) {
        operands.push_back(static_cast<uint16_t>(block.size()));
        block += "..";
      }
    }
    model.codeBlocks.push_back(block);
    model.operandOffsets.push_back(operands);
  }
}

void fillNoise(BenchRandom& random, unsigned char* out, size_t length) {
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint64_t value = random.next();
    std::memcpy(out + i, &value, 8);
  }
  for (; i < length; ++i) out[i] = static_cast<unsigned char>(random.next());
}

void fillText(ContentModel& model, unsigned char* out, size_t length) {
  size_t i = 0;
  int column = 0;
  while (i < length) {
    const uint64_t bits = model.random.next();
    for (int shift = 0; shift < 48 && i < length; shift += 16) {
      const std::string& word = model.words[model.wordBySlot[(bits >> shift) & 0xFFFF]];
      const size_t take = std::min(word.size(), length - i);
      std::memcpy(out + i, word.data(), take);
      i += take;
      column += static_cast<int>(take) + 1;
      if (i < length) out[i++] = column > 72 ? '\n' : ' ';
      if (column > 72) column = 0;
    }
  }
}

void fillCode(ContentModel& model, unsigned char* out, size_t length) {
  size_t i = 0;
  while (i < length) {
    const uint64_t bits = model.random.next();
    // The smaller of two draws: low-numbered blocks are the common ones.
    const uint32_t which =
        std::min(static_cast<uint32_t>(bits & 0xFFF), static_cast<uint32_t>((bits >> 12) & 0xFFF));
    const std::string& block = model.codeBlocks[which];
    const size_t take = std::min(block.size(), length - i);
    std::memcpy(out + i, block.data(), take);
    uint64_t operandBits = model.random.next();
    for (const uint16_t at : model.operandOffsets[which]) {
      if (at + 2u > take) break;
      if (operandBits == 0) operandBits = model.random.next() | 1;
      std::memcpy(out + i + at, &operandBits, 2);
      operandBits >>= 16;
    }
    i += take;
  }
}

void fillTable(BenchRandom& random, unsigned char* out, size_t length) {
  std::memset(out, 0, length);
  for (size_t i = 0; i + 16 <= length; i += 16) {
    if (random.below(8) == 0) {
      const uint64_t value = random.next() & 0x0000FFFF00FF00FFull;
      std::memcpy(out + i, &value, 8);
    }
  }
}

}  // namespace

ContentModel makeContentModel() {
  ContentModel model{BenchRandom{20261209}, {}, {}, {}, {}};
  makeVocabulary(model);
  makeCodeBlocks(model);
  return model;
}

size_t fillStretch(ContentModel& model, ContentProfile profile, unsigned char* out, uint64_t left) {
  BenchRandom& random = model.random;
  const size_t length = static_cast<size_t>(std::min<uint64_t>(left, 4096u << random.below(9)));
  const Shares shares = sharesOf(profile);
  uint32_t roll = random.below(100);
  int kind = noise;
  while (kind < kindCount - 1 && roll >= static_cast<uint32_t>(shares.percent[kind])) {
    roll -= shares.percent[kind++];
  }
  switch (kind) {
    case noise:
      fillNoise(random, out, length);
      break;
    case text:
      fillText(model, out, length);
      break;
    case code:
      fillCode(model, out, length);
      break;
    default:
      fillTable(random, out, length);
      break;
  }
  return length;
}
