// Packs entries with AttachedDataWriter into memory, for tests and benchmarks.
#pragma once
#include <string>
#include <vector>

#include "pack/writer.h"

struct TestEntry {
  std::u16string name;
  std::string contents;
};

// The attached data for `entries`, each entry's contents added in pieces of
// `pieceSize` bytes. Empty, with the writer's reason in `error`, on failure.
// The writer's entry table goes to `entryTable` when given.
std::vector<unsigned char> packInMemory(const std::vector<TestEntry>& entries,
                                        const WriterSettings& settings, size_t pieceSize,
                                        std::string& error,
                                        std::vector<unsigned char>* entryTable = nullptr);
