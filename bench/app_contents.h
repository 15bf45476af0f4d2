// Contents for the synthetic application folder. A file is a run of stretches
// of 4 KiB to 1 MiB, each of one kind: noise (already compressed media),
// text, code-like bytes or sparse tables. Each profile mixes the kinds so that
// zstd at level 19 shrinks the whole folder to about a quarter, and decoding
// meets literals, matches and raw blocks the way it does on a real
// application.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app_layout.h"
#include "bench_random.h"

constexpr size_t kLongestStretch = 1 << 20;

struct ContentModel {
  BenchRandom random;
  std::vector<std::string> words;
  std::vector<uint16_t> wordBySlot;  // 65,536 slots, frequent words in more of them
  std::vector<std::string> codeBlocks;
  std::vector<std::vector<uint16_t>> operandOffsets;  // per code block
};

// The same model every time: contents depend only on the order of calls.
ContentModel makeContentModel();

// Fills the next stretch of a file of `profile` into `out` (room for
// kLongestStretch bytes) and returns its length, at most `left` (> 0).
size_t fillStretch(ContentModel& model, ContentProfile profile, unsigned char* out, uint64_t left);
